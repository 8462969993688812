#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <string>

#include "platform/FileSystem.h"

namespace lw {
namespace {

int ToFd(FileHandle file) { return static_cast<int>(file); }

std::string ErrorText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Other programs that honour advisory locks (another copy of this one, most
// editors' save paths) then see the file as in use, as on Windows.
bool LockExclusive(int fd) {
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

FileHandle Locked(int fd) {
  if (fd < 0) return kNoFile;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || !LockExclusive(fd)) {
    close(fd);
    return kNoFile;
  }
  return fd;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The rename is done by then; syncing the folder makes it survive a power
// cut, and a failure here no longer puts the map at risk.
void SyncFolder(const std::string& path) {
  const int folder = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    fsync(folder);
    close(folder);
  }
}

class PosixFileSystem final : public FileSystem {
 public:
  FileHandle OpenRead(const CString& path) override {
    return Locked(open(path.GetString(), O_RDONLY | O_CLOEXEC));
  }

  FileHandle OpenWrite(const CString& path) override {
    const FileHandle file = Locked(open(path.GetString(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    if (file != kNoFile && ftruncate(ToFd(file), 0) != 0) {
      close(ToFd(file));
      return kNoFile;
    }
    return file;
  }

  FileHandle OpenForReplace(const CString& path) override {
    struct stat info {};
    if (stat(path.GetString(), &info) == 0) {
      if ((info.st_mode & 0222) == 0 || access(path.GetString(), W_OK) != 0) return kNoFile;
      return Locked(open(path.GetString(), O_WRONLY | O_CLOEXEC));
    }
    if (errno != ENOENT) return kNoFile;
    // The map is gone: hold its folder instead, so that a save that fails
    // does not leave an empty file behind.
    const int folder = open(FolderOf(path.Str()).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return folder < 0 ? kNoFile : folder;
  }

  FileHandle CreateTempBeside(const CString& target, CString& tempPath) override {
    const std::string targetPath = target.Str();
    std::string name = FolderOf(targetPath) + "/." + BaseNameOf(targetPath) + ".lumpwright-XXXXXX";
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return kNoFile;
    struct stat info {};
    mode_t mode = 0644;
    if (stat(targetPath.c_str(), &info) == 0) {
      mode = info.st_mode & 07777;
      // Keeps the map its owner's when someone else (root) saves it; only
      // the superuser may do this, and others need not.
      if (info.st_uid != geteuid() || info.st_gid != getegid()) {
        [[maybe_unused]] const int ignored = fchown(fd, info.st_uid, info.st_gid);
      }
    }
    if (fchmod(fd, mode) != 0 || !LockExclusive(fd)) {
      close(fd);
      unlink(name.c_str());
      return kNoFile;
    }
    tempPath = CString(name);
    return fd;
  }

  bool QuerySize(FileHandle file, std::uint64_t& size) override {
    struct stat info {};
    if (fstat(ToFd(file), &info) != 0 || info.st_size < 0) return false;
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
  }

  size_t Read(FileHandle file, void* buffer, size_t count) override {
    auto* out = static_cast<char*>(buffer);
    size_t total = 0;
    while (total < count) {
      const ssize_t got = read(ToFd(file), out + total, count - total);
      if (got < 0) {
        if (errno == EINTR) continue;
        throw FileError(ErrorText("read"));
      }
      if (got == 0) break;
      total += static_cast<size_t>(got);
    }
    return total;
  }

  void Write(FileHandle file, const void* buffer, size_t count) override {
    const auto* in = static_cast<const char*>(buffer);
    size_t total = 0;
    while (total < count) {
      const ssize_t put = write(ToFd(file), in + total, count - total);
      if (put < 0) {
        if (errno == EINTR) continue;
        throw FileError(ErrorText("write"));
      }
      if (put == 0) throw FileError("write: the disk is full");
      total += static_cast<size_t>(put);
    }
  }

  void Flush(FileHandle file) override {
    if (fsync(ToFd(file)) != 0) throw FileError(ErrorText("fsync"));
  }

  void Close(FileHandle file) override {
    if (close(ToFd(file)) != 0 && errno != EINTR) throw FileError(ErrorText("close"));
  }

  void Abort(FileHandle file) noexcept override { close(ToFd(file)); }

  void Replace(const CString& tempPath, const CString& target) override {
    if (rename(tempPath.GetString(), target.GetString()) != 0) throw FileError(ErrorText("rename"));
    if (deferFolderSyncs_) {
      pendingFolders_.insert(FolderOf(target.Str()));
    } else {
      SyncFolder(FolderOf(target.Str()));
    }
  }

  void DeferFolderSyncs(bool defer) override { deferFolderSyncs_ = defer; }

  void SyncDeferredFolders() override {
    for (const std::string& folder : pendingFolders_) SyncFolder(folder);
    pendingFolders_.clear();
  }

  void Remove(const CString& path) noexcept override { unlink(path.GetString()); }

 private:
  bool deferFolderSyncs_ = false;
  std::set<std::string> pendingFolders_;
};

}  // namespace

FileSystem& SystemFileSystem() {
  static PosixFileSystem files;
  return files;
}

}  // namespace lw
