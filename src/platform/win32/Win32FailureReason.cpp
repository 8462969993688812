#include <windows.h>

#include "platform/FailureReason.h"
#include "platform/win32/SystemErrorText.h"

namespace lw {
namespace {

// Opens `path` as a load (`access` GENERIC_READ) or a save would, sharing
// nothing; empty when that succeeds.
std::string WhyNotOpened(const CString& path, DWORD access) {
  const HANDLE file = CreateFileA(path.GetString(), access, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
      return "held open by another program (" + SystemErrorText(error) + ")";
    }
    return SystemErrorText(error);
  }
  CloseHandle(file);
  return {};
}

}  // namespace

std::string SystemErrorText(DWORD error) {
  char text[256] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                      text, sizeof(text), nullptr);
  if (length == 0) return "error " + std::to_string(error);
  std::string reason(text, length);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.')) {
    reason.pop_back();
  }
  return reason;
}

std::string WhyNotReadable(const CString& path) {
  const DWORD attributes = GetFileAttributesA(path.GetString());
  if (attributes == INVALID_FILE_ATTRIBUTES) return SystemErrorText(GetLastError());
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return "Is a directory";
  return WhyNotOpened(path, GENERIC_READ);
}

std::string WhyNotSavable(const CString& path) {
  const DWORD attributes = GetFileAttributesA(path.GetString());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    // A new file in a folder that is there is for the save to find out about.
    return error == ERROR_FILE_NOT_FOUND ? std::string() : SystemErrorText(error);
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return "Is a directory";
  // The read-only attribute is how a user marks a map "do not change".
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return "the map is read-only (its read-only attribute is set)";
  return WhyNotOpened(path, GENERIC_READ | GENERIC_WRITE);
}

}  // namespace lw
