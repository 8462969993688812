#pragma once

#include <string>
#include <vector>

#include "platform/CString.h"

namespace lw {

struct DirectoryEntry {
  CString name;  // without the folder
  bool isDirectory = false;
};

// The entries that match `pattern`: a folder part (everything up to the last
// separator; none means the current folder) followed by a name pattern with
// '*' and '?' wildcards, whose letters match without regard to case. Hidden
// and system files are included. A missing folder yields nothing.
std::vector<DirectoryEntry> ListDirectory(const CString& pattern);

}  // namespace lw
