#pragma once

#include <map>
#include <string>

#include "platform/FileSystem.h"

namespace lw::test {

// Files held in memory, for fuzzing and for tests that need no disk. Paths
// are plain keys; there are no folders, links, locks or permissions.
class MemoryFileSystem : public FileSystem {
 public:
  FileHandle OpenRead(const CString& path) override;
  FileHandle OpenForReplace(const CString& path) override;
  std::optional<CString> ResolveLinks(const CString& path) override { return path; }
  SaveMethod ChooseSaveMethod(FileHandle held, const CString& target) override;
  FileHandle CreateTempBeside(const CString& target, CString& tempPath) override;
  void RemoveStaleTemporaries(const CString& /*target*/) noexcept override {}
  bool QuerySize(FileHandle file, std::uint64_t& size) override;
  // Each file has a number of its own, which a rename takes along; its bytes
  // stand for when it was written.
  bool QueryStamp(FileHandle file, FileStamp& stamp) override;
  size_t Read(FileHandle file, void* buffer, size_t count) override;
  void Write(FileHandle file, const void* buffer, size_t count) override;
  void Seek(FileHandle file, std::uint64_t offset) override { open_.at(file).position = offset; }
  void Reserve(FileHandle file, std::uint64_t size) override;
  void SetLength(FileHandle file, std::uint64_t size) override;
  void Flush(FileHandle) override {}
  void Close(FileHandle file) override { open_.erase(file); }
  void Abort(FileHandle file) noexcept override { open_.erase(file); }
  void Replace(const CString& tempPath, const CString& target) override;
  void Remove(const CString& path) noexcept override {
    files.erase(path.Str());
    numbers_.erase(path.Str());
  }

  std::map<std::string, std::string> files;
  // Saves go into the file itself, as for a map with other hard links.
  bool inPlace = false;

 private:
  struct OpenFile {
    std::string path;
    size_t position = 0;
  };
  FileHandle Open(const std::string& path);
  std::string& BytesOf(FileHandle file) { return files[open_.at(file).path]; }
  std::map<FileHandle, OpenFile> open_;
  std::map<std::string, std::uint64_t> numbers_;
  std::uint64_t nextNumber_ = 1;
  FileHandle next_ = 1;
  int temps_ = 0;
};

}  // namespace lw::test
