#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "platform/CString.h"
#include "platform/FileSystem.h"

namespace lw {

// A file's new content as pieces in memory, written one after another.
using BytePieces = std::span<const std::span<const unsigned char>>;

// One save of one file, from taking hold of it to its new bytes on disk.
//
// The save goes to the file that the path's symbolic links finally name, so
// a link stays a link. The usual way is a new file in that file's folder,
// flushed and renamed over it, so that the file is either old or new at any
// moment. Where a rename would change what the file is (other hard links
// would keep the old bytes; a mounted file cannot be renamed over) or no new
// file can be made or given the file's owner, group and access list, the
// bytes go into the file itself: they are all in memory first, the new
// length is reserved before the first byte is written, so that a full disk
// or a size limit stops the save while the file is still whole, and a write
// that fails later puts the old bytes back.
class FileSave {
 public:
  explicit FileSave(FileSystem& files) : files_(files) {}
  ~FileSave() { Abort(); }
  FileSave(const FileSave&) = delete;
  FileSave& operator=(const FileSave&) = delete;

  // Takes hold of the file that `path` names and removes what killed saves
  // of it left behind. False when the file is read-only, held by another
  // program, or its links loop.
  bool Open(const CString& path);

  // Whether the file existed when it was taken hold of (a save that makes
  // it anew is possible, but a map that has gone must not be made again).
  [[nodiscard]] bool TargetExists();
  // The held file's stamp; false when the system cannot tell or the file
  // does not exist.
  bool HeldStamp(FileStamp& stamp);

  // Puts `pieces` on disk as the file's whole new content and lets go of the
  // file. Raises FileError when it cannot; the file then keeps its old bytes
  // (unless LeftDamaged) and no new file is left behind. A request to end
  // the program that comes while a new file is written stops the save in the
  // same way, and the program ends once the save has cleaned up.
  void Commit(BytePieces pieces);
  // The stamp of the file as the last Commit left it: with its new bytes, or
  // with its old ones put back after a failed save into it; nothing for a
  // stream or when the system cannot tell.
  [[nodiscard]] const std::optional<FileStamp>& WrittenStamp() const { return written_; }
  // Lets go of the file without saving. Never raises.
  void Abort() noexcept;

  // After a failed in-place save whose old bytes could not be put back.
  [[nodiscard]] bool LeftDamaged() const { return damaged_; }

 private:
  // False when no new file can be made beside the target.
  bool TryReplace(BytePieces pieces, const class SaveInterruptions& interruptions);
  void WriteInPlace(BytePieces pieces, const class SaveInterruptions& interruptions);
  void WriteThrough(BytePieces pieces);

  FileSystem& files_;
  CString target_;
  FileHandle held_ = kNoFile;
  FileHandle temp_ = kNoFile;
  CString tempPath_;
  bool damaged_ = false;
  std::optional<FileStamp> written_;
};

// Saves `bytes` as the whole content of the file `path` names, in the same
// way. False when it cannot be saved; the file is then as it was.
bool SaveFileBytes(FileSystem& files, const CString& path, std::string_view bytes);

}  // namespace lw
