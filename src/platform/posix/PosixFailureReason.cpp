#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/FailureReason.h"

namespace lw {
namespace {

constexpr const char* kHeldText = "held open by another program (it is locked)";

std::string SystemText(int error) { return std::strerror(error); }

// Opens `path` as a save or a load would and tries its lock; empty when both
// succeed.
std::string WhyNotOpened(const std::string& path, int flags) {
  const int fd = open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return SystemText(errno);
  std::string reason;
  struct stat info {};
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    reason = kHeldText;
  }
  close(fd);
  return reason;
}

}  // namespace

std::string WhyNotReadable(const CString& path) {
  struct stat info {};
  if (stat(path.GetString(), &info) != 0) return SystemText(errno);
  if (S_ISDIR(info.st_mode)) return SystemText(EISDIR);
  if (!S_ISREG(info.st_mode)) return "not a regular file";
  return WhyNotOpened(path.Str(), O_RDONLY);
}

std::string WhyNotSavable(const CString& path) {
  struct stat info {};
  if (stat(path.GetString(), &info) != 0) {
    if (errno != ENOENT) return SystemText(errno);
    // A new file: its folder must take it.
    std::string folder = path.Str();
    const size_t slash = folder.rfind('/');
    folder = slash == std::string::npos ? "." : folder.substr(0, slash + 1);
    if (stat(folder.c_str(), &info) != 0) return SystemText(errno);
    if (access(folder.c_str(), W_OK) != 0) return SystemText(errno);
    return {};
  }
  if (S_ISDIR(info.st_mode)) return SystemText(EISDIR);
  // The save refuses a map without write permission bits even to the
  // superuser: that is how a user marks a map "do not change".
  if ((info.st_mode & 0222) == 0) {
    char mode[8];
    std::snprintf(mode, sizeof(mode), "%04o", static_cast<unsigned>(info.st_mode & 07777));
    return std::string("the map is read-only (mode ") + mode + ")";
  }
  struct statvfs volume {};
  if (statvfs(path.GetString(), &volume) == 0 && (volume.f_flag & ST_RDONLY) != 0) return SystemText(EROFS);
  if (access(path.GetString(), W_OK) != 0) return SystemText(errno);
  return WhyNotOpened(path.Str(), O_RDWR);
}

}  // namespace lw
