// lumpwright-cli: the command-line front end over the core.
#include <iostream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "platform/CodePage.h"
#include "platform/CommandLine.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// Only a terminal gets the progress line of long batches.
bool StandardErrorIsTerminal() {
#if defined(_WIN32)
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

}  // namespace

int main(int argc, char** argv) {
#if defined(_WIN32)
  // Entity text goes through byte for byte: no "\n" -> "\r\n" translation.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  lw::SetCommandLine(argc, argv);
  // Text is scanned in the system's code page unless --codepage says otherwise.
  lw::CodePage::SetActive(lw::SystemCodePage());
  const std::vector<std::string> args(argv + 1, argv + argc);
  return lw::RunCli(args, std::cin, std::cout, std::cerr, StandardErrorIsTerminal());
}
