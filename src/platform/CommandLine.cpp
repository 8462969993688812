#include "platform/CommandLine.h"

namespace lw {
namespace {

CString& Stored() {
  static CString commandLine;
  return commandLine;
}

}  // namespace

CString GetCommandLineString() { return Stored(); }

void SetCommandLineString(const CString& commandLine) { Stored() = commandLine; }

}  // namespace lw
