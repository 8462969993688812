#pragma once

#include <cstdint>

#include "platform/CString.h"
#include "platform/FileSystem.h"

namespace lw {

// One file open for reading: the handle, whether to close it on destruction,
// and its path. A failed open returns false; a failed read or close raises
// FileError. Abort never raises and is harmless on a closed file.
class CFile {
 public:
  // Files are written through FileSave, which never truncates a file in use.
  enum class Mode { kRead };

  explicit CFile(FileSystem& files = SystemFileSystem()) : files_(&files) {}
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;
  virtual ~CFile();

  bool Open(const CString& path, Mode mode);
  [[nodiscard]] bool IsOpen() const { return handle_ != kNoFile; }
  [[nodiscard]] const CString& GetFilePath() const { return path_; }

  // The file's whole size; false when the system cannot tell it.
  bool GetStatus(std::uint64_t& size);
  // Which file is open and in what state (see FileStamp); false when the
  // system cannot tell.
  bool GetStamp(FileStamp& stamp);
  size_t Read(void* buffer, size_t count);
  // Moves the read position to `offset` bytes from the start.
  void Seek(std::uint64_t offset);
  void Close();
  void Abort() noexcept;

  [[nodiscard]] FileSystem& Files() const { return *files_; }

 private:
  FileSystem* files_;
  FileHandle handle_ = kNoFile;
  CString path_;
};

}  // namespace lw
