#pragma once

#include <cstdint>
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

// The operating system's files, behind one seam so that tests can fail any
// single operation. Opens report failure by returning kNoFile; the other
// operations raise FileError, except QuerySize (false) and Abort/Remove (never).
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // An existing file, for reading, shared with no other program.
  virtual FileHandle OpenRead(const CString& path) = 0;
  // A file for writing, created or truncated, shared with no other program.
  virtual FileHandle OpenWrite(const CString& path) = 0;
  // Takes hold of an existing file that is about to be replaced: fails when it
  // is read-only (no write permission bit, even for the superuser) or held
  // open by another program. The file's bytes are left alone.
  virtual FileHandle OpenForReplace(const CString& path) = 0;
  // A new, empty file in the folder of `target`, with `target`'s permissions.
  virtual FileHandle CreateTempBeside(const CString& target, CString& tempPath) = 0;

  virtual bool QuerySize(FileHandle file, std::uint64_t& size) = 0;
  // Reads up to `count` bytes; fewer only at the end of the file.
  virtual size_t Read(FileHandle file, void* buffer, size_t count) = 0;
  // Writes all `count` bytes or raises (a short write, as on a full disk, raises).
  virtual void Write(FileHandle file, const void* buffer, size_t count) = 0;
  // Forces the written bytes to the disk.
  virtual void Flush(FileHandle file) = 0;
  // Always releases the handle; raises when the system reports an error.
  virtual void Close(FileHandle file) = 0;
  virtual void Abort(FileHandle file) noexcept = 0;

  // Puts `tempPath` in place of `target` in one step, durably.
  virtual void Replace(const CString& tempPath, const CString& target) = 0;
  virtual void Remove(const CString& path) noexcept = 0;

  // While deferred, Replace leaves syncing the folder (which makes the
  // rename itself survive a power cut) to SyncDeferredFolders, so that a
  // batch of saves syncs each folder once. The file's bytes are still synced
  // before every rename: a cut leaves each map either old or new, never broken.
  virtual void DeferFolderSyncs(bool defer) { static_cast<void>(defer); }
  virtual void SyncDeferredFolders() {}
};

// Defers folder syncs for its lifetime and syncs the folders at its end.
class DeferredFolderSyncs {
 public:
  explicit DeferredFolderSyncs(FileSystem& files) : files_(files) { files_.DeferFolderSyncs(true); }
  ~DeferredFolderSyncs() {
    files_.SyncDeferredFolders();
    files_.DeferFolderSyncs(false);
  }
  DeferredFolderSyncs(const DeferredFolderSyncs&) = delete;
  DeferredFolderSyncs& operator=(const DeferredFolderSyncs&) = delete;

 private:
  FileSystem& files_;
};

// The real files of this system.
FileSystem& SystemFileSystem();

}  // namespace lw
