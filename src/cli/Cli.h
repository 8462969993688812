#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace lw {

// Exit statuses of lumpwright-cli.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
// find, get, set and remove: every map was read, and nothing in any matched.
inline constexpr int kExitNothingMatched = 3;

// Runs one command line (the arguments after the program's name) with the
// given standard streams and returns the exit status. It prints nowhere else
// and never exits, so tests run it in the test process. With `errIsTerminal`
// long batches show their progress on `err`.
int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
           bool errIsTerminal = false);

}  // namespace lw
