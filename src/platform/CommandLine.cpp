#include "platform/CommandLine.h"


namespace lw {
namespace {

CString& Stored() {
  static CString commandLine;
  return commandLine;
}

}  // namespace

CString GetCommandLineString() { return Stored(); }

void SetCommandLine(int argc, const char* const* argv) {
  CString joined;
  for (int i = 0; i < argc; ++i) {
    if (i > 0) joined += ' ';
    joined += argv[i];
  }
  Stored() = joined;
}

void SetCommandLineString(const CString& commandLine) { Stored() = commandLine; }

}  // namespace lw
