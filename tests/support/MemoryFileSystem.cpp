#include "support/MemoryFileSystem.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace lw::test {

FileHandle MemoryFileSystem::Open(const std::string& path) {
  const FileHandle handle = next_++;
  open_[handle] = OpenFile{path, 0};
  return handle;
}

FileHandle MemoryFileSystem::OpenRead(const CString& path) {
  if (files.count(path.Str()) == 0) return kNoFile;
  return Open(path.Str());
}

FileHandle MemoryFileSystem::OpenForReplace(const CString& path) { return Open(path.Str()); }

SaveMethod MemoryFileSystem::ChooseSaveMethod(FileHandle held, const CString& /*target*/) {
  if (files.count(open_.at(held).path) == 0) return SaveMethod::kCreate;
  return inPlace ? SaveMethod::kInPlace : SaveMethod::kReplace;
}

FileHandle MemoryFileSystem::CreateTempBeside(const CString& target, CString& tempPath) {
  tempPath = target + "." + CString(std::to_string(++temps_)) + ".tmp";
  files[tempPath.Str()].clear();
  return Open(tempPath.Str());
}

bool MemoryFileSystem::QuerySize(FileHandle file, std::uint64_t& size) {
  const auto it = open_.find(file);
  if (it == open_.end()) return false;
  size = files[it->second.path].size();
  return true;
}

bool MemoryFileSystem::QueryStamp(FileHandle file, FileStamp& stamp) {
  const auto it = open_.find(file);
  if (it == open_.end()) return false;
  const auto found = files.find(it->second.path);
  if (found == files.end()) return false;
  std::uint64_t& number = numbers_[it->second.path];
  if (number == 0) number = nextNumber_++;
  stamp = {0, number, found->second.size(), static_cast<std::int64_t>(std::hash<std::string>()(found->second))};
  return true;
}

size_t MemoryFileSystem::Read(FileHandle file, void* buffer, size_t count) {
  OpenFile& open = open_.at(file);
  const std::string& bytes = files[open.path];
  const size_t n = std::min(count, bytes.size() - std::min(open.position, bytes.size()));
  if (n > 0) std::memcpy(buffer, bytes.data() + open.position, n);
  open.position += n;
  return n;
}

void MemoryFileSystem::Write(FileHandle file, const void* buffer, size_t count) {
  OpenFile& open = open_.at(file);
  std::string& bytes = files[open.path];
  if (bytes.size() < open.position + count) bytes.resize(open.position + count);
  if (count > 0) std::memcpy(bytes.data() + open.position, buffer, count);
  open.position += count;
}

void MemoryFileSystem::Reserve(FileHandle file, std::uint64_t size) {
  std::string& bytes = BytesOf(file);
  if (bytes.size() < size) bytes.resize(static_cast<size_t>(size));
}

void MemoryFileSystem::SetLength(FileHandle file, std::uint64_t size) {
  BytesOf(file).resize(static_cast<size_t>(size));
}

void MemoryFileSystem::Replace(const CString& tempPath, const CString& target) {
  const auto it = files.find(tempPath.Str());
  if (it == files.end()) throw FileError("rename: no such file");
  files[target.Str()] = std::move(it->second);
  files.erase(tempPath.Str());
  // The new file keeps its number under its new name.
  const auto number = numbers_.find(tempPath.Str());
  if (number != numbers_.end()) {
    numbers_[target.Str()] = number->second;
    numbers_.erase(number);
  } else {
    numbers_.erase(target.Str());
  }
}

}  // namespace lw::test
