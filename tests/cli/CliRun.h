#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"

namespace lw::test {

// What a user sees of one run of the command line.
struct CliResult {
  int status;
  std::string out;
  std::string err;
};

// Runs the command line in-process with `input` as its standard input.
inline CliResult RunArgs(const std::vector<std::string>& args, const std::string& input = {}) {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  const int status = RunCli(args, in, out, err);
  return {status, out.str(), err.str()};
}

}  // namespace lw::test
