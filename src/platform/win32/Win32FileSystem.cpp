#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "platform/FileSystem.h"
#include "platform/win32/SystemErrorText.h"

namespace lw {
namespace {

constexpr const char* kTempMarker = ".lumpwright-";
constexpr size_t kTempSuffixLength = 6;
// ReadFile and WriteFile take 32-bit counts.
constexpr size_t kMaxChunk = 1U << 30U;

HANDLE ToHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }
FileHandle FromHandle(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileHandle>(handle);
}

std::string ErrorText(const char* what, DWORD error = GetLastError()) {
  return std::string(what) + ": " + SystemErrorText(error);
}

size_t LastSeparator(const std::string& path) { return path.find_last_of("\\/:"); }

// The folder part of `path` with its separator ("C:\maps\"), or "" for the
// current folder.
std::string FolderOf(const std::string& path) {
  const size_t separator = LastSeparator(path);
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

std::string BaseNameOf(const std::string& path) {
  const size_t separator = LastSeparator(path);
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

// ".de_dust2.bsp.lumpwright-": what the new files of saves of `target` start with.
std::string TempPrefixFor(const std::string& target) {
  std::string prefix(1, '.');
  prefix += BaseNameOf(target);
  prefix += kTempMarker;
  return prefix;
}

std::string RandomSuffix() {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  static unsigned long long state = (static_cast<unsigned long long>(GetTickCount64()) << 20U) ^
                                    static_cast<unsigned long long>(GetCurrentProcessId());
  std::string suffix;
  for (size_t i = 0; i < kTempSuffixLength; ++i) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    suffix += kLetters[(state >> 33U) % (sizeof(kLetters) - 1)];
  }
  return suffix;
}

// Whether `path` names a device (NUL, CON) or a pipe rather than a file on a disk.
bool IsStream(HANDLE handle) { return GetFileType(handle) != FILE_TYPE_DISK; }

class Win32FileSystem final : public FileSystem {
 public:
  FileHandle OpenRead(const CString& path) override {
    // No sharing: while the map is open here no other program writes it, and
    // while another program has it open it cannot be read here.
    const HANDLE file = CreateFileA(path.GetString(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file != INVALID_HANDLE_VALUE && IsStream(file)) {
      CloseHandle(file);
      return kNoFile;
    }
    return FromHandle(file);
  }

  FileHandle OpenForReplace(const CString& path) override {
    const DWORD attributes = GetFileAttributesA(path.GetString());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      const DWORD error = GetLastError();
      if (error != ERROR_FILE_NOT_FOUND) {
        // A device name (NUL, CON) has no attributes but takes bytes.
        const HANDLE device = CreateFileA(path.GetString(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (device != INVALID_HANDLE_VALUE && !IsStream(device)) {
          CloseHandle(device);
          return kNoFile;
        }
        return FromHandle(device);
      }
      // Not there (any more): hold its folder instead, so that a save that
      // fails leaves no empty file behind.
      const std::string folder = FolderOf(path.Str());
      const HANDLE held = CreateFileA(folder.empty() ? "." : folder.c_str(), FILE_LIST_DIRECTORY,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
      if (held != INVALID_HANDLE_VALUE) heldFolders_.insert(held);
      return FromHandle(held);
    }
    // The read-only attribute is the user's "do not change this map".
    if ((attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) return kNoFile;
    // Read and write: an in-place save reads the old bytes first.
    HANDLE file = CreateFileA(path.GetString(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
      file = CreateFileA(path.GetString(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    return FromHandle(file);
  }

  std::optional<CString> ResolveLinks(const CString& path) override {
    const DWORD attributes = GetFileAttributesA(path.GetString());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return path;
    // A symbolic link: the save replaces the file at its end, so that the
    // link stays a link.
    const HANDLE file = CreateFileA(path.GetString(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    char target[MAX_PATH * 4] = {};
    const DWORD length = GetFinalPathNameByHandleA(file, target, sizeof(target), FILE_NAME_NORMALIZED);
    CloseHandle(file);
    if (length == 0 || length >= sizeof(target)) return std::nullopt;
    std::string resolved(target, length);
    if (resolved.starts_with("\\\\?\\UNC\\")) {
      resolved.replace(0, 8, "\\\\");
    } else if (resolved.starts_with("\\\\?\\")) {
      resolved = resolved.substr(4);
    }
    return CString(resolved);
  }

  SaveMethod ChooseSaveMethod(FileHandle held, const CString& /*target*/) override {
    if (heldFolders_.contains(ToHandle(held))) return SaveMethod::kCreate;
    if (IsStream(ToHandle(held))) return SaveMethod::kStream;
    BY_HANDLE_FILE_INFORMATION info{};
    // A new file would take this name only: the other names would keep the
    // old bytes.
    if (GetFileInformationByHandle(ToHandle(held), &info) && info.nNumberOfLinks > 1) return SaveMethod::kInPlace;
    return SaveMethod::kReplace;
  }

  FileHandle CreateTempBeside(const CString& target, CString& tempPath) override {
    const std::string prefix = FolderOf(target.Str()) + TempPrefixFor(target.Str());
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string name = prefix + RandomSuffix();
      // Shared for deletion only: the rename over the map needs that, and
      // no other program can read or write the file while it is written.
      const HANDLE file = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file != INVALID_HANDLE_VALUE) {
        tempPath = CString(name);
        temporaries_[name] = file;
        return FromHandle(file);
      }
      if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return kNoFile;
    }
    return kNoFile;
  }

  void RemoveStaleTemporaries(const CString& target) noexcept override {
    try {
      const std::string folder = FolderOf(target.Str());
      const std::string prefix = TempPrefixFor(target.Str());
      WIN32_FIND_DATAA found{};
      const HANDLE search = FindFirstFileA((folder + prefix + "*").c_str(), &found);
      if (search == INVALID_HANDLE_VALUE) return;
      do {
        const std::string name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !name.starts_with(prefix) ||
            name.size() != prefix.size() + kTempSuffixLength) {
          continue;
        }
        // A save still writing this one has it open without sharing it for
        // reading: the open fails and the file stays. Otherwise it goes when
        // this handle closes.
        const HANDLE stale = CreateFileA((folder + name).c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (stale != INVALID_HANDLE_VALUE) CloseHandle(stale);
      } while (FindNextFileA(search, &found));
      FindClose(search);
    } catch (...) {
      // Left for the next save.
    }
  }

  bool QuerySize(FileHandle file, std::uint64_t& size) override {
    LARGE_INTEGER length{};
    if (!GetFileSizeEx(ToHandle(file), &length) || length.QuadPart < 0) return false;
    size = static_cast<std::uint64_t>(length.QuadPart);
    return true;
  }

  bool QueryStamp(FileHandle file, FileStamp& stamp) override {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(ToHandle(file), &info)) return false;
    const auto join = [](DWORD high, DWORD low) { return (std::uint64_t{high} << 32U) | low; };
    stamp = {info.dwVolumeSerialNumber, join(info.nFileIndexHigh, info.nFileIndexLow),
             join(info.nFileSizeHigh, info.nFileSizeLow),
             static_cast<std::int64_t>(join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime))};
    return true;
  }

  size_t Read(FileHandle file, void* buffer, size_t count) override {
    auto* out = static_cast<char*>(buffer);
    size_t total = 0;
    while (total < count) {
      const auto chunk = static_cast<DWORD>(std::min(count - total, kMaxChunk));
      DWORD got = 0;
      if (!ReadFile(ToHandle(file), out + total, chunk, &got, nullptr)) {
        if (GetLastError() == ERROR_BROKEN_PIPE) break;  // the writer is done
        throw FileError(ErrorText("ReadFile"));
      }
      if (got == 0) break;
      total += got;
    }
    return total;
  }

  void Write(FileHandle file, const void* buffer, size_t count) override {
    const auto* in = static_cast<const char*>(buffer);
    size_t total = 0;
    while (total < count) {
      const auto chunk = static_cast<DWORD>(std::min(count - total, kMaxChunk));
      DWORD put = 0;
      if (!WriteFile(ToHandle(file), in + total, chunk, &put, nullptr)) throw FileError(ErrorText("WriteFile"));
      if (put == 0) throw FileError("WriteFile: the disk is full");
      total += put;
    }
  }

  void Seek(FileHandle file, std::uint64_t offset) override {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(ToHandle(file), to, nullptr, FILE_BEGIN)) throw FileError(ErrorText("SetFilePointerEx"));
  }

  void Reserve(FileHandle file, std::uint64_t size) override {
    std::uint64_t current = 0;
    if (!QuerySize(file, current)) throw FileError(ErrorText("GetFileSizeEx"));
    // Setting the end allocates the clusters: a disk without room says so
    // now, before a byte of the map has changed.
    if (current < size) SetLength(file, size);
  }

  void SetLength(FileHandle file, std::uint64_t size) override {
    LARGE_INTEGER here{};
    const LARGE_INTEGER zero{};
    if (!SetFilePointerEx(ToHandle(file), zero, &here, FILE_CURRENT)) throw FileError(ErrorText("SetFilePointerEx"));
    Seek(file, size);
    const bool cut = SetEndOfFile(ToHandle(file)) != 0;
    const DWORD error = GetLastError();
    SetFilePointerEx(ToHandle(file), here, nullptr, FILE_BEGIN);
    if (!cut) throw FileError(ErrorText("SetEndOfFile", error));
  }

  void Flush(FileHandle file) override {
    if (!FlushFileBuffers(ToHandle(file))) throw FileError(ErrorText("FlushFileBuffers"));
  }

  void Close(FileHandle file) override {
    if (Forget(ToHandle(file))) return;
    if (!CloseHandle(ToHandle(file))) throw FileError(ErrorText("CloseHandle"));
  }

  void Abort(FileHandle file) noexcept override {
    if (!Forget(ToHandle(file))) CloseHandle(ToHandle(file));
  }

  void Replace(const CString& tempPath, const CString& target) override {
    // The new file is let go of first: the system renames no file that is
    // open without sharing for reading.
    if (const auto open = temporaries_.find(tempPath.Str()); open != temporaries_.end()) {
      CloseHandle(open->second);
      closedEarly_.insert(open->second);
      temporaries_.erase(open);
    }
    // ReplaceFile keeps the map's attributes, owner and access list. A map
    // that does not exist yet, or a file system without it, takes the rename.
    if (ReplaceFileA(target.GetString(), tempPath.GetString(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                     nullptr)) {
      return;
    }
    if (!MoveFileExA(tempPath.GetString(), target.GetString(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      throw FileError(ErrorText("MoveFileEx"));
    }
  }

  void Remove(const CString& path) noexcept override {
    if (const auto open = temporaries_.find(path.Str()); open != temporaries_.end()) {
      CloseHandle(open->second);
      closedEarly_.insert(open->second);
      temporaries_.erase(open);
    }
    DeleteFileA(path.GetString());
  }

 private:
  // True when `handle` was closed already (a new file let go of before its
  // rename, a held folder): the caller's close is then done.
  bool Forget(HANDLE handle) {
    if (closedEarly_.erase(handle) > 0) return true;
    for (auto it = temporaries_.begin(); it != temporaries_.end(); ++it) {
      if (it->second == handle) {
        temporaries_.erase(it);
        break;
      }
    }
    heldFolders_.erase(handle);
    return false;
  }

  std::set<HANDLE> heldFolders_;
  std::map<std::string, HANDLE> temporaries_;
  std::set<HANDLE> closedEarly_;
};

}  // namespace

FileSystem& SystemFileSystem() {
  static Win32FileSystem files;
  return files;
}

}  // namespace lw
