#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace lw::test {

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
  // Path of `name` inside the folder, as a string.
  [[nodiscard]] std::string File(std::string_view name) const;
  // Names of the entries in the folder, sorted.
  [[nodiscard]] std::vector<std::string> Entries() const;

 private:
  std::filesystem::path path_;
};

std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);

}  // namespace lw::test
