#include <windows.h>

#include "platform/CommandLine.h"

namespace lw {

// Windows hands the process its command line as one string, quotes and all;
// the arguments the runtime split from it are not needed.
void SetCommandLine(int /*argc*/, const char* const* /*argv*/) { SetCommandLineString(CString(GetCommandLineA())); }

unsigned SystemCodePage() { return GetACP(); }

}  // namespace lw
