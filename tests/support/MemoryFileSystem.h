#pragma once

#include <map>
#include <string>

#include "platform/FileSystem.h"

namespace lw::test {

// Files held in memory, for fuzzing and for tests that need no disk. Paths
// are plain keys; there are no folders, locks or permissions.
class MemoryFileSystem : public FileSystem {
 public:
  FileHandle OpenRead(const CString& path) override;
  FileHandle OpenWrite(const CString& path) override;
  FileHandle OpenForReplace(const CString& path) override;
  FileHandle CreateTempBeside(const CString& target, CString& tempPath) override;
  bool QuerySize(FileHandle file, std::uint64_t& size) override;
  size_t Read(FileHandle file, void* buffer, size_t count) override;
  void Write(FileHandle file, const void* buffer, size_t count) override;
  void Flush(FileHandle) override {}
  void Close(FileHandle file) override { open_.erase(file); }
  void Abort(FileHandle file) noexcept override { open_.erase(file); }
  void Replace(const CString& tempPath, const CString& target) override;
  void Remove(const CString& path) noexcept override { files.erase(path.Str()); }

  std::map<std::string, std::string> files;

 private:
  struct OpenFile {
    std::string path;
    size_t position = 0;
  };
  FileHandle Open(const std::string& path);
  std::map<FileHandle, OpenFile> open_;
  FileHandle next_ = 1;
  int temps_ = 0;
};

}  // namespace lw::test
