#include "platform/CodePage.h"
#include "platform/CommandLine.h"

namespace lw {

// The shell has split the command line already; joined with spaces it reads
// as the user typed it, which is what the "-d" test looks at.
void SetCommandLine(int argc, const char* const* argv) {
  CString joined;
  for (int i = 0; i < argc; ++i) {
    if (i > 0) joined += ' ';
    joined += argv[i];
  }
  SetCommandLineString(joined);
}

// Map files carry no code page; single-byte scanning never splits a byte pair
// it does not know about.
unsigned SystemCodePage() { return CodePage::kSingleByte; }

}  // namespace lw
