#include "platform/posix/PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace lw {
namespace {

// Longer chains than this are taken for a loop, as the system does.
constexpr int kMaxLinkHops = 40;
constexpr const char* kTempMarker = ".lumpwright-";
constexpr size_t kTempSuffixLength = 6;
constexpr const char* kAccessListAttribute = "system.posix_acl_access";

int ToFd(FileHandle file) { return static_cast<int>(file); }

std::string ErrorText(const char* what, int error = errno) { return std::string(what) + ": " + std::strerror(error); }

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

// ".de_dust2.bsp.lumpwright-": what the new files of saves of `target` start with.
std::string TempPrefixFor(const std::string& target) {
  std::string prefix(1, '.');
  prefix += BaseNameOf(target);
  prefix += kTempMarker;
  return prefix;
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

// Where the link `path` leads: its text, taken from the link's own folder
// when relative. Nothing when `path` is no link or its text cannot be read.
std::optional<std::string> LinkTarget(const std::string& path) {
  std::array<char, 4096> text{};
  const ssize_t length = readlink(path.c_str(), text.data(), text.size());
  if (length <= 0 || static_cast<size_t>(length) >= text.size()) return std::nullopt;
  std::string next(text.data(), static_cast<size_t>(length));
  if (next.front() == '/' || path.find('/') == std::string::npos) return next;
  return FolderOf(path) + "/" + next;
}

// Whether `path` names a descriptor the program already has open
// (/dev/stdout, /dev/fd/N, /proc/self/fd/N), directly or through links. Such
// a file is written where the descriptor writes, as a shell redirection
// would: replacing the file behind it would lose what the shell or the
// program wrote there before.
bool NamesAnOpenDescriptor(const std::string& path) {
  std::optional<std::string> current = path;
  for (int hop = 0; hop < kMaxLinkHops && current; ++hop) {
    if (current->starts_with("/proc/") || current->starts_with("/dev/fd/")) return true;
    current = LinkTarget(*current);
  }
  return false;
}

// A name no other save picks at the same moment.
std::string RandomSuffix() {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static unsigned long long state =
      static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
      (static_cast<unsigned long long>(getpid()) << 32U);
  std::string suffix;
  for (size_t i = 0; i < kTempSuffixLength; ++i) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    suffix += kLetters[(state >> 33U) % (sizeof(kLetters) - 1)];
  }
  return suffix;
}

class PosixFileSystem final : public FileSystem {
 public:
  explicit PosixFileSystem(LockCall lock) : lock_(lock) {}

  FileHandle OpenRead(const CString& path) override {
    return LockedRegular(open(path.GetString(), O_RDONLY | O_CLOEXEC));
  }

  FileHandle OpenForReplace(const CString& path) override {
    if (NamesAnOpenDescriptor(path.Str())) {
      const int fd = open(path.GetString(), O_WRONLY | O_APPEND | O_NOCTTY | O_CLOEXEC);
      return fd < 0 ? kNoFile : fd;
    }
    struct stat info {};
    if (stat(path.GetString(), &info) == 0) {
      if ((info.st_mode & 0222) == 0 || access(path.GetString(), W_OK) != 0) return kNoFile;
      if (!S_ISREG(info.st_mode)) {
        // A pipe or a device takes the bytes as they come; there is nothing
        // to replace and nothing to lock.
        const int fd = open(path.GetString(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        return fd < 0 ? kNoFile : fd;
      }
      // Read and write: an in-place save reads the old bytes first.
      int fd = open(path.GetString(), O_RDWR | O_CLOEXEC);
      if (fd < 0 && errno == EACCES) fd = open(path.GetString(), O_WRONLY | O_CLOEXEC);
      return LockedRegular(fd);
    }
    if (errno != ENOENT) return kNoFile;
    // The file is not there (any more): hold its folder instead, so that a
    // save that fails does not leave an empty file behind.
    const int folder = open(FolderOf(path.Str()).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return folder < 0 ? kNoFile : folder;
  }

  std::optional<CString> ResolveLinks(const CString& path) override {
    if (NamesAnOpenDescriptor(path.Str())) return path;
    std::string current = path.Str();
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
      struct stat info {};
      if (lstat(current.c_str(), &info) != 0) {
        if (errno != ENOENT) return std::nullopt;
        // The chain ends at a missing file, which the save makes. A link
        // whose text is no path (/dev/stdout on a pipe leads to "pipe:[...]")
        // is left for the system to follow.
        struct stat followed {};
        return CString(stat(path.GetString(), &followed) == 0 ? path.Str() : current);
      }
      if (!S_ISLNK(info.st_mode)) return CString(current);
      std::optional<std::string> next = LinkTarget(current);
      if (!next) return std::nullopt;
      current = std::move(*next);
    }
    return std::nullopt;
  }

  SaveMethod ChooseSaveMethod(FileHandle held, const CString& target) override {
    struct stat info {};
    if (fstat(ToFd(held), &info) != 0) return SaveMethod::kReplace;
    if (S_ISDIR(info.st_mode)) return SaveMethod::kCreate;
    if (!S_ISREG(info.st_mode) || NamesAnOpenDescriptor(target.Str())) return SaveMethod::kStream;
    // A new file would take this name only: the other names would keep the
    // old bytes.
    if (info.st_nlink > 1) return SaveMethod::kInPlace;
    // A file mounted over its name (a bind mount, as containers use) cannot
    // be renamed over.
    if (IsMountedOnItsOwn(target.Str(), info)) return SaveMethod::kInPlace;
    return SaveMethod::kReplace;
  }

  FileHandle CreateTempBeside(const CString& target, CString& tempPath) override {
    const std::string targetPath = target.Str();
    struct stat info {};
    const bool exists = stat(targetPath.c_str(), &info) == 0;
    const std::string prefix = FolderOf(targetPath) + "/" + TempPrefixFor(targetPath);
    std::string name;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
      name = prefix + RandomSuffix();
      // 0666 less the umask, as any new file, when there is no file to match.
      fd = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd < 0 && errno != EEXIST) return kNoFile;
    }
    if (fd < 0) return kNoFile;
    if (!TakeLock(fd) || (exists && !MatchFile(fd, targetPath, info))) {
      close(fd);
      unlink(name.c_str());
      return kNoFile;
    }
    tempPath = CString(name);
    return fd;
  }

  void RemoveStaleTemporaries(const CString& target) noexcept override {
    try {
      const std::string folder = FolderOf(target.Str());
      const std::string prefix = TempPrefixFor(target.Str());
      std::vector<std::string>& found = FoundTemporaries(folder);
      for (auto it = found.begin(); it != found.end();) {
        if (!it->starts_with(prefix)) {
          ++it;
          continue;
        }
        const std::string path = folder + "/" + *it;
        // Only the plain files saves make; a pipe named like one would
        // otherwise keep the open waiting.
        const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        struct stat info {};
        // A save still writing this one holds its lock.
        if (fd >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && TakeLock(fd)) unlink(path.c_str());
        if (fd >= 0) close(fd);
        it = found.erase(it);
      }
      if (!inBatch_) foundTemporaries_.erase(folder);
    } catch (const std::bad_alloc&) {
      // Left for the next save.
    }
  }

  bool QuerySize(FileHandle file, std::uint64_t& size) override {
    struct stat info {};
    if (fstat(ToFd(file), &info) != 0 || info.st_size < 0) return false;
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
  }

  bool QueryStamp(FileHandle file, FileStamp& stamp) override {
    struct stat info {};
    if (fstat(ToFd(file), &info) != 0 || info.st_size < 0) return false;
    constexpr std::int64_t kNanoseconds = 1000000000;
    stamp = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
             static_cast<std::uint64_t>(info.st_size),
             static_cast<std::int64_t>(info.st_mtim.tv_sec) * kNanoseconds + info.st_mtim.tv_nsec};
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

  void Seek(FileHandle file, std::uint64_t offset) override {
    if (lseek(ToFd(file), static_cast<off_t>(offset), SEEK_SET) < 0) throw FileError(ErrorText("lseek"));
  }

  void Reserve(FileHandle file, std::uint64_t size) override {
    std::uint64_t current = 0;
    if (!QuerySize(file, current)) throw FileError(ErrorText("fstat"));
    if (current >= size) return;
    int error = 0;
    do {
      error = posix_fallocate(ToFd(file), static_cast<off_t>(current), static_cast<off_t>(size - current));
    } while (error == EINTR);
    if (error != 0) throw FileError(ErrorText("posix_fallocate", error));
  }

  void SetLength(FileHandle file, std::uint64_t size) override {
    while (ftruncate(ToFd(file), static_cast<off_t>(size)) != 0) {
      if (errno != EINTR) throw FileError(ErrorText("ftruncate"));
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
    if (inBatch_) {
      pendingFolders_.insert(FolderOf(target.Str()));
    } else {
      SyncFolder(FolderOf(target.Str()));
    }
  }

  void BeginSaveBatch() override { inBatch_ = true; }

  void EndSaveBatch() override {
    for (const std::string& folder : pendingFolders_) SyncFolder(folder);
    pendingFolders_.clear();
    foundTemporaries_.clear();
    inBatch_ = false;
  }

  void Remove(const CString& path) noexcept override { unlink(path.GetString()); }

 private:
  // Other programs that honour advisory locks (another copy of this one, most
  // editors' save paths) then see the file as in use, as on Windows. False
  // only when another program holds a lock on it.
  bool TakeLock(int fd) {
    int operation = LOCK_EX | LOCK_NB;
    for (;;) {
      if (lock_(fd, operation) == 0) return true;
      switch (errno) {
        case EINTR: continue;
        case EBADF:
          // NFS gives an exclusive lock only to a file open for writing; a
          // shared one still keeps a save of this file out.
          if (operation == (LOCK_SH | LOCK_NB)) return false;
          operation = LOCK_SH | LOCK_NB;
          continue;
        case ENOLCK:
        case EOPNOTSUPP:
        case ENOSYS:
          // The file system offers no locks (some FUSE file systems): go on
          // without, as every other program there must.
          return true;
        default: return false;
      }
    }
  }

  // Whether the file `path` (as `info` describes it) is a mount of its own,
  // apart from its folder's: a bind mount of a file on the same disk shows
  // only in the mount IDs.
  static bool IsMountedOnItsOwn(const std::string& path, const struct stat& info) {
#if defined(STATX_MNT_ID)
    struct statx file {};
    struct statx folder {};
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_MNT_ID, &file) == 0 &&
        statx(AT_FDCWD, FolderOf(path).c_str(), 0, STATX_MNT_ID, &folder) == 0 &&
        (file.stx_mask & folder.stx_mask & STATX_MNT_ID) != 0) {
      return file.stx_mnt_id != folder.stx_mnt_id;
    }
#endif
    struct stat folderInfo {};
    return stat(FolderOf(path).c_str(), &folderInfo) == 0 && folderInfo.st_dev != info.st_dev;
  }

  FileHandle LockedRegular(int fd) {
    if (fd < 0) return kNoFile;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || !TakeLock(fd)) {
      close(fd);
      return kNoFile;
    }
    return fd;
  }

  // Gives the new file `fd` what makes the file `path` (as `info` describes
  // it) what it is: its owner, group, access list and permissions. False when
  // any of them cannot be given, as when a map owned by another user is
  // saved by one who may write it but not give files away.
  static bool MatchFile(int fd, const std::string& path, const struct stat& info) {
    struct stat made {};
    if (fstat(fd, &made) != 0) return false;
    if (made.st_uid != info.st_uid || made.st_gid != info.st_gid) {
      const uid_t owner = made.st_uid != info.st_uid ? info.st_uid : static_cast<uid_t>(-1);
      const gid_t group = made.st_gid != info.st_gid ? info.st_gid : static_cast<gid_t>(-1);
      if (fchown(fd, owner, group) != 0) return false;
    }
    std::vector<char> accessList(4096);
    const ssize_t length = getxattr(path.c_str(), kAccessListAttribute, accessList.data(), accessList.size());
    if (length > 0 && fsetxattr(fd, kAccessListAttribute, accessList.data(), static_cast<size_t>(length), 0) != 0) {
      return false;
    }
    if (length < 0) {
      if (errno != ENODATA && errno != EOPNOTSUPP) return false;
      // A list the new file took from its folder's default one is not the map's.
      if (fremovexattr(fd, kAccessListAttribute) != 0 && errno != ENODATA && errno != EOPNOTSUPP) return false;
    }
    return fchmod(fd, info.st_mode & 07777) == 0;
  }

  // The names in `folder` that look like the new files of saves, of any map.
  // Read afresh for each save, but once per folder in a batch: reading a
  // folder of a thousand maps for each of its maps would cost more than
  // saving them.
  std::vector<std::string>& FoundTemporaries(const std::string& folder) {
    const auto cached = foundTemporaries_.find(folder);
    if (inBatch_ && cached != foundTemporaries_.end()) return cached->second;
    std::vector<std::string>& found = foundTemporaries_[folder];
    found.clear();
    if (DIR* listing = opendir(folder.c_str())) {
      while (const dirent* entry = readdir(listing)) {
        const std::string_view name(entry->d_name);
        const size_t marker = name.rfind(kTempMarker);
        if (name.starts_with('.') && marker != std::string_view::npos &&
            name.size() == marker + std::strlen(kTempMarker) + kTempSuffixLength) {
          found.emplace_back(name);
        }
      }
      closedir(listing);
    }
    return found;
  }

  LockCall lock_;
  bool inBatch_ = false;
  std::set<std::string> pendingFolders_;
  std::map<std::string, std::vector<std::string>> foundTemporaries_;
};

}  // namespace

std::unique_ptr<FileSystem> MakePosixFileSystem(LockCall lock) { return std::make_unique<PosixFileSystem>(lock); }

FileSystem& SystemFileSystem() {
  static PosixFileSystem files(::flock);
  return files;
}

}  // namespace lw
