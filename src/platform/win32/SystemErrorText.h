#pragma once

#include <windows.h>

#include <string>

namespace lw {

// The system's own words for a Windows error code, without the trailing
// full stop and line end ("The system cannot find the file specified").
std::string SystemErrorText(DWORD error);

}  // namespace lw
