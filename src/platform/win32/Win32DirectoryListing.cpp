#include <windows.h>

#include <algorithm>

#include "platform/DirectoryListing.h"

namespace lw {

// The system matches the pattern itself, letters without regard to case, and
// hands out hidden and system files too.
std::vector<DirectoryEntry> ListDirectory(const CString& pattern) {
  std::vector<DirectoryEntry> entries;
  WIN32_FIND_DATAA found{};
  const HANDLE search = FindFirstFileA(pattern.GetString(), &found);
  if (search == INVALID_HANDLE_VALUE) return entries;
  do {
    const CString name(found.cFileName);
    if (name == "." || name == "..") continue;
    entries.push_back(DirectoryEntry{name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(entries.begin(), entries.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name.View() < b.name.View(); });
  return entries;
}

}  // namespace lw
