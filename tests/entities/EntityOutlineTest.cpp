// The outline's rows and where the caret lands among them: the same blocks
// `count` and `get` read, whatever the line ends, braces or quotes inside
// values, or a last block left open.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entities/EntityBlocks.h"
#include "entities/EntityOutline.h"
#include "mapwriter/MapWriter.h"

namespace lw {
namespace {

// Each row as "BLOCK LINE CLASS|TARGETNAME|ORIGIN".
std::vector<std::string> Rows(const std::vector<OutlineRow>& rows) {
  std::vector<std::string> printed;
  for (const OutlineRow& row : rows) {
    printed.push_back(std::to_string(row.block) + " " + std::to_string(row.line) + " " + row.className + "|" +
                      row.targetname + "|" + row.origin);
  }
  return printed;
}

struct OutlineCase {
  const char* label;
  std::string text;
  std::vector<std::string> rows;
};

TEST(EntityOutlineTest, RowsAreTheBlocksTheCommandLineReads) {
  const std::vector<OutlineCase> cases = {
      {"empty", "", {}},
      {"CRLF lines, the first classname, the last origin",
       "{\r\n\"classname\" \"worldspawn\"\r\n}\r\n{\r\n\"classname\" \"info_player_start\"\r\n\"classname\" \"x\"\r\n"
       "\"origin\" \"1 2 3\"\r\n\"origin\" \"4 5 6\"\r\n}\r\n",
       {"0 1 worldspawn||", "1 4 info_player_start||4 5 6"}},
      {"braces and quotes inside values; a comment line between blocks",
       "{\n\"texture\" \"{TARGET2\"\n\"classname\" \"infodecal\"\n}\n// } {\n{ \"targetname\" \"door}1\" "
       "\"classname\" \"func_door\" }\n",
       {"0 1 infodecal||", "1 6 func_door|door}1|"}},
      {"a last block left open is no row; a block without a class is",
       "{\n\"origin\" \"0 0 0\"\n}\n{\n\"classname\" \"light\"\n",
       {"0 1 ||0 0 0"}},
  };
  for (const OutlineCase& c : cases) {
    EXPECT_EQ(Rows(BuildOutline(c.text)), c.rows) << c.label;
  }
}

TEST(EntityOutlineTest, TheCaretMarksTheBlockItIsInOrTheOneAbove) {
  const std::string text = "\n{\n\"classname\" \"a\"\n}\n\n{\n\"classname\" \"b\"\n}\n";
  const std::vector<OutlineRow> rows = BuildOutline(text);
  ASSERT_EQ(rows.size(), 2U);
  const struct {
    size_t offset;
    size_t row;
  } cases[] = {{0, 2}, {1, 0}, {5, 0}, {rows[0].close, 0}, {rows[0].close + 2, 0}, {rows[1].open, 1}, {text.size(), 1}};
  for (const auto& c : cases) EXPECT_EQ(OutlineRowAt(rows, c.offset), c.row) << c.offset;
  EXPECT_EQ(OutlineRowAt({}, 0), 0U);
}

TEST(EntityOutlineTest, FilterAndCountsOverTwentyThousandBlocks) {
  const std::string text = mapwriter::MakeEntityText(20000, 7);
  const std::vector<OutlineRow> rows = BuildOutline(text);
  ASSERT_EQ(rows.size(), ParseEntityBlocks(text).size());
  // The counts of all rows are count's; the filter finds keys and values, not
  // the quotes or braces between them.
  std::map<std::string, size_t> expected;
  for (const auto& [name, count] : CountClasses(text)) expected[name] = count;
  EXPECT_EQ(CountOutlineClasses(rows, FilterOutline(text, rows, "")), expected);
  const std::vector<size_t> spawns = FilterOutline(text, rows, "info_player_start");
  EXPECT_EQ(spawns.size(), expected["info_player_start"]);
  EXPECT_EQ(DescribeClassCounts(CountOutlineClasses(rows, spawns)),
            "info_player_start " + std::to_string(expected["info_player_start"]));
  EXPECT_TRUE(FilterOutline(text, rows, "\" \"").empty());
  EXPECT_EQ(FilterOutline(text, rows, "speed").size(), expected["func_door"]);
  EXPECT_EQ(
      rows.back().line,
      static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<long>(rows.back().open), '\n')) + 1);
}

}  // namespace
}  // namespace lw
