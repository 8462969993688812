#pragma once

#include <string>

#include "platform/CString.h"

namespace lw {

// Why a map could not be opened or saved, in the system's words ("No such
// file or directory", "Permission denied", "the map is read-only ..."), found
// by looking at the file again after the failure. The command line prints it
// under the program's own message, which says only that the file failed.
// Empty when nothing about the file itself stands in the way now.

// Why `path` cannot be opened for reading.
std::string WhyNotReadable(const CString& path);
// Why `path` cannot be taken hold of for a save.
std::string WhyNotSavable(const CString& path);

}  // namespace lw
