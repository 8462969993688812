#include "platform/FilePattern.h"

#include <gtest/gtest.h>

#include <string>

namespace lw {
namespace {

TEST(FilePatternTest, MatchesAsTheMapListAndExcludeRead) {
  struct Row {
    std::string pattern;
    std::string name;
    bool matches;
  };
  const Row rows[] = {
      {"*.bsp", "de_dust2.bsp", true},
      {"*.bsp", "DE_DUST2.BSP", true},  // either case, as Windows names files
      {"*.bsp", "de_dust2.bsp.bak", false},
      {"*.bsp", ".bsp", true},
      {"._*", "._de_dust2.bsp", true},  // what macOS leaves beside a map
      {"._*", "de_._dust2.bsp", false},
      {"de_?ust*", "de_dust2.bsp", true},
      {"de_?ust*", "de_ust2.bsp", false},
      {"*_[0-9].bsp", "cs_map_7.bsp", true},
      {"*_[!0-9].bsp", "cs_map_7.bsp", false},
      {"[]x]*", "]map.bsp", true},  // a ']' first in a set is one of it
      {"map[1", "map[1", true},     // no ']': a plain '['
      {"*a*a*a*a*b", std::string(200, 'a'), false},
      {"", "", true},
      {"", "x", false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(MatchesFilePattern(row.name, row.pattern), row.matches) << row.pattern << " / " << row.name;
  }
}

}  // namespace
}  // namespace lw
