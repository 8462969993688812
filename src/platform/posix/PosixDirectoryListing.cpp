#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "platform/DirectoryListing.h"
#include "platform/FilePattern.h"

namespace lw {
namespace {

bool IsDirectoryEntry(const std::string& folder, const dirent& entry) {
  if (entry.d_type == DT_DIR) return true;
  if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return false;
  // A link counts as what it points to; a dangling one as a file.
  struct stat info {};
  return stat((folder + "/" + entry.d_name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

std::vector<DirectoryEntry> ListDirectory(const CString& pattern) {
  const std::string& text = pattern.Str();
  const size_t slash = text.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string(".") : text.substr(0, slash + 1);
  const std::string_view namePattern =
      slash == std::string::npos ? std::string_view(text) : std::string_view(text).substr(slash + 1);

  std::vector<DirectoryEntry> entries;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return entries;
  while (const dirent* entry = readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (!MatchesFilePattern(name, namePattern)) continue;
    entries.push_back(DirectoryEntry{CString(name), IsDirectoryEntry(folder, *entry)});
  }
  closedir(dir);
  // The system hands entries out in no useful order; callers and tests get
  // the same order every time.
  std::sort(entries.begin(), entries.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name.View() < b.name.View(); });
  return entries;
}

}  // namespace lw
