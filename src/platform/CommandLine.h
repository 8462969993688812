#pragma once

#include "platform/CString.h"

namespace lw {

// The whole command line of the process as one string, the program's own path
// included, as the process received it.
CString GetCommandLineString();

// Front ends that receive argv record it here at start-up (POSIX joins the
// arguments with spaces; Windows reads its own command line).
void SetCommandLine(int argc, const char* const* argv);
void SetCommandLineString(const CString& commandLine);

}  // namespace lw
