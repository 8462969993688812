#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "TestPaths.h"
#include "ui/EntityClasses.h"

namespace lw {
namespace {

// The search box's class names are written twice: in the core, for the Linux
// window and the command line, and in the Windows resource script's dialog
// initialisation data, whose every record also carries the name's length.
TEST(ResourceScript, ListsTheEntityClassesInOrderWithTheirLengths) {
  std::ifstream script(test::kResourceScript);
  ASSERT_TRUE(script) << test::kResourceScript;
  const std::regex record(R"(^\s*IDC_ENTITY_COMBO, LW_DLGINIT_CB_ADDSTRING, (\d+), 0, "([^"\\]*)\\000",\s*$)");
  std::vector<std::string> names;
  std::string line;
  std::smatch match;
  while (std::getline(script, line)) {
    if (!std::regex_match(line, match, record)) continue;
    EXPECT_EQ(std::stoul(match[1].str()), match[2].length() + 1) << "the length of " << match[2];
    names.push_back(match[2]);
  }
  EXPECT_EQ(names, std::vector<std::string>(kEntityClassNames.begin(), kEntityClassNames.end()));
}

}  // namespace
}  // namespace lw
