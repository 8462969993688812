#pragma once

#include <cstdint>
#include <string>

namespace lw::test {

// Another program holding a file open, as an editor or the game does: on
// Windows an open that shares nothing, elsewhere an exclusive lock.
class HeldFile {
 public:
  explicit HeldFile(const std::string& path);
  ~HeldFile();
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  [[nodiscard]] bool Held() const { return held_; }

 private:
  std::intptr_t handle_ = -1;
  bool held_ = false;
};

// Sets or clears the file's read-only state: the write permission bits, or
// the read-only attribute on Windows.
void SetReadOnly(const std::string& path, bool readOnly);

}  // namespace lw::test
