#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/CString.h"

namespace lw {

// Raised by a file operation that fails after the file was opened.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

// How a save puts a file's new bytes on disk (see FileSave).
enum class SaveMethod {
  // A new file beside it, flushed, then renamed over it in one step.
  kReplace,
  // Into the file itself: a new file renamed over it would change what the
  // file is (it has other hard links, or it is mounted on its own).
  kInPlace,
  // The file does not exist yet: a new file, renamed into place when whole.
  kCreate,
  // Not a regular file (a pipe, a terminal, /dev/null): written straight through.
  kStream,
};

// What tells one state of a file from another: which file it is (its
// volume and its number there), its size and when it was last written. A
// file written again, or another file put in its place, has another stamp.
struct FileStamp {
  std::uint64_t volume = 0;
  std::uint64_t file = 0;
  std::uint64_t size = 0;
  std::int64_t written = 0;  // in the system's own unit

  bool operator==(const FileStamp&) const = default;
};

// The operating system's files, behind one seam so that tests can fail any
// single operation. Opens report failure by returning kNoFile; the other
// operations raise FileError, except QuerySize (false), ResolveLinks
// (nothing) and the noexcept ones.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // An existing file, for reading, shared with no other program.
  virtual FileHandle OpenRead(const CString& path) = 0;
  // Takes hold of an existing file that is about to be saved, for reading
  // and writing: fails when it is read-only (no write permission bit, even
  // for the superuser) or held open by another program. The file's bytes
  // are left alone. A file that does not exist is not created: its folder
  // is held instead, and ChooseSaveMethod then says kCreate.
  virtual FileHandle OpenForReplace(const CString& path) = 0;
  // The file that `path` finally names when it is a symbolic link or a chain
  // of them (a missing file at the chain's end included); `path` itself when
  // it is none. Nothing when the chain loops or cannot be read.
  virtual std::optional<CString> ResolveLinks(const CString& path) = 0;
  // How a save of `target`, held as `held`, must reach the disk.
  virtual SaveMethod ChooseSaveMethod(FileHandle held, const CString& target) = 0;
  // A new, empty file in the folder of `target` that can take its place:
  // with `target`'s permissions, owner, group and access list when it
  // exists. Fails (kNoFile, nothing left behind) when no file can be made
  // there or one cannot be given those.
  virtual FileHandle CreateTempBeside(const CString& target, CString& tempPath) = 0;
  // Removes the new files that earlier saves of `target` left behind when
  // they were killed outright; one that another save is still writing stays.
  virtual void RemoveStaleTemporaries(const CString& target) noexcept = 0;

  virtual bool QuerySize(FileHandle file, std::uint64_t& size) = 0;
  // False when the system cannot tell.
  virtual bool QueryStamp(FileHandle file, FileStamp& stamp) = 0;
  // Reads up to `count` bytes; fewer only at the end of the file.
  virtual size_t Read(FileHandle file, void* buffer, size_t count) = 0;
  // Writes all `count` bytes or raises (a short write, as on a full disk, raises).
  virtual void Write(FileHandle file, const void* buffer, size_t count) = 0;
  // Moves the read and write position to `offset` bytes from the start.
  virtual void Seek(FileHandle file, std::uint64_t offset) = 0;
  // Extends the file to `size` bytes with the disk space for them set aside,
  // so that writing up to that size cannot run out of space or past a file
  // size limit. A file already that long is left as it is.
  virtual void Reserve(FileHandle file, std::uint64_t size) = 0;
  // Cuts the file to `size` bytes (or extends it with zero bytes).
  virtual void SetLength(FileHandle file, std::uint64_t size) = 0;
  // Forces the written bytes to the disk.
  virtual void Flush(FileHandle file) = 0;
  // Always releases the handle; raises when the system reports an error.
  virtual void Close(FileHandle file) = 0;
  virtual void Abort(FileHandle file) noexcept = 0;

  // Puts `tempPath` in place of `target` in one step, durably.
  virtual void Replace(const CString& tempPath, const CString& target) = 0;
  virtual void Remove(const CString& path) noexcept = 0;

  // A batch of saves (delete-all over a folder of maps) does once per folder
  // what a single save does each time: syncing the folder, which makes the
  // renames themselves survive a power cut, waits for EndSaveBatch; the
  // folder is read once for what killed saves left behind. The file's bytes
  // are still synced before every rename: a cut leaves each map either old
  // or new, never broken.
  virtual void BeginSaveBatch() {}
  virtual void EndSaveBatch() {}
};

// Passes every call to another file system; a layer over it (a failing one
// in the tests, one that skips the flush in a benchmark) overrides only what
// it changes.
class ForwardingFileSystem : public FileSystem {
 public:
  explicit ForwardingFileSystem(FileSystem& inner) : inner_(inner) {}

  FileHandle OpenRead(const CString& path) override { return inner_.OpenRead(path); }
  FileHandle OpenForReplace(const CString& path) override { return inner_.OpenForReplace(path); }
  std::optional<CString> ResolveLinks(const CString& path) override { return inner_.ResolveLinks(path); }
  SaveMethod ChooseSaveMethod(FileHandle held, const CString& target) override {
    return inner_.ChooseSaveMethod(held, target);
  }
  FileHandle CreateTempBeside(const CString& target, CString& tempPath) override {
    return inner_.CreateTempBeside(target, tempPath);
  }
  void RemoveStaleTemporaries(const CString& target) noexcept override { inner_.RemoveStaleTemporaries(target); }
  bool QuerySize(FileHandle file, std::uint64_t& size) override { return inner_.QuerySize(file, size); }
  bool QueryStamp(FileHandle file, FileStamp& stamp) override { return inner_.QueryStamp(file, stamp); }
  size_t Read(FileHandle file, void* buffer, size_t count) override { return inner_.Read(file, buffer, count); }
  void Write(FileHandle file, const void* buffer, size_t count) override { inner_.Write(file, buffer, count); }
  void Seek(FileHandle file, std::uint64_t offset) override { inner_.Seek(file, offset); }
  void Reserve(FileHandle file, std::uint64_t size) override { inner_.Reserve(file, size); }
  void SetLength(FileHandle file, std::uint64_t size) override { inner_.SetLength(file, size); }
  void Flush(FileHandle file) override { inner_.Flush(file); }
  void Close(FileHandle file) override { inner_.Close(file); }
  void Abort(FileHandle file) noexcept override { inner_.Abort(file); }
  void Replace(const CString& tempPath, const CString& target) override { inner_.Replace(tempPath, target); }
  void Remove(const CString& path) noexcept override { inner_.Remove(path); }
  void BeginSaveBatch() override { inner_.BeginSaveBatch(); }
  void EndSaveBatch() override { inner_.EndSaveBatch(); }

 protected:
  FileSystem& Inner() { return inner_; }

 private:
  FileSystem& inner_;
};

// The saves made during its lifetime are one batch.
class SaveBatch {
 public:
  explicit SaveBatch(FileSystem& files) : files_(files) { files_.BeginSaveBatch(); }
  ~SaveBatch() { files_.EndSaveBatch(); }
  SaveBatch(const SaveBatch&) = delete;
  SaveBatch& operator=(const SaveBatch&) = delete;

 private:
  FileSystem& files_;
};

// The real files of this system.
FileSystem& SystemFileSystem();

}  // namespace lw
