#include "support/HeldFile.h"

#include <filesystem>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace lw::test {

#if defined(_WIN32)
HeldFile::HeldFile(const std::string& path) {
  const HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  handle_ = reinterpret_cast<std::intptr_t>(file);
  held_ = true;
}

HeldFile::~HeldFile() {
  if (held_) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}
#else
HeldFile::HeldFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  handle_ = fd;
  held_ = flock(fd, LOCK_EX | LOCK_NB) == 0;
}

HeldFile::~HeldFile() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}
#endif

void SetReadOnly(const std::string& path, bool readOnly) {
  namespace fs = std::filesystem;
  constexpr fs::perms kWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  if (readOnly) {
    fs::permissions(path, kWrite, fs::perm_options::remove);
  } else {
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
  }
}

}  // namespace lw::test
