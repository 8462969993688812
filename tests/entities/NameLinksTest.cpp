// The names by which entities point at each other: the warnings of check for
// a link that names nothing, and rename, which must move every link along.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entities/EntityBlocks.h"
#include "entities/EntityCheck.h"

namespace lw {
namespace {

const std::string kWorld = "{\n\"classname\" \"worldspawn\"\n}\n";

// The link warnings of a text: "LINE: MESSAGE" for those that name nothing.
std::vector<std::string> LinkWarnings(const std::string& text) {
  std::vector<std::string> lines;
  for (const CheckFinding& finding : CheckEntityText(text)) {
    if (finding.message.find("names no entity") != std::string::npos ||
        finding.message.find("multi_manager") != std::string::npos) {
      lines.push_back(std::to_string(finding.line) + ": " + finding.message);
    }
  }
  return lines;
}

TEST(NameLinks, CheckWarnsOfEveryLinkThatNamesNothing) {
  std::string manyTargets = "{\n\"classname\" \"multi_manager\"\n";
  for (int i = 0; i < 17; ++i) manyTargets += "\"t#" + std::to_string(i) + "\" \"0\"\n";
  manyTargets += "}\n{\n\"classname\" \"info_target\"\n\"targetname\" \"t\"\n}\n";
  const struct {
    const char* name;
    std::string text;
    std::vector<std::string> expected;
  } rows[] = {
      {"target, killtarget and master, each dangling",
       kWorld +
           "{\n\"classname\" \"trigger_once\"\n\"target\" \"gone\"\n\"killtarget\" \"gone\"\n\"master\" \"m\"\n}\n",
       {"6: \"target\" \"gone\" names no entity: no block has \"targetname\" \"gone\"",
        "7: \"killtarget\" \"gone\" names no entity: no block has \"targetname\" \"gone\"",
        "8: \"master\" \"m\" names no entity: no block has \"targetname\" \"m\""}},
      {"a link to a name given later in the text",
       kWorld + "{\n\"classname\" \"func_button\"\n\"target\" \"door\"\n}\n"
                "{\n\"classname\" \"func_door\"\n\"targetname\" \"door\"\n}\n",
       {}},
      {"multi_manager keys: #N stripped, its own fields and wait are no links",
       kWorld + "{\n\"classname\" \"multi_manager\"\n\"targetname\" \"mm\"\n\"door#1\" \"0\"\n\"door#2\" \"1.5\"\n"
                "\"lost\" \"2\"\n\"wait\" \"1\"\n\"origin\" \"0 0 0\"\n\"spawnflags\" \"1\"\n}\n"
                "{\n\"classname\" \"func_door\"\n\"targetname\" \"door\"\n}\n",
       {"9: multi_manager key \"lost\" names no entity: no block has \"targetname\" \"lost\""}},
      {"a class's own link keys, and the same keys elsewhere no links",
       kWorld + "{\n\"classname\" \"func_door\"\n\"netname\" \"closed\"\n}\n"
                "{\n\"classname\" \"info_player_start\"\n\"netname\" \"closed\"\n}\n"
                "{\n\"classname\" \"path_corner\"\n\"message\" \"arrived\"\n}\n"
                "{\n\"classname\" \"game_text\"\n\"message\" \"arrived\"\n}\n"
                "{\n\"classname\" \"env_beam\"\n\"LightningStart\" \"a\"\n\"LightningEnd\" \"b\"\n"
                "\"targetname\" \"b\"\n}\n",
       {"6: \"netname\" \"closed\" names no entity: no block has \"targetname\" \"closed\"",
        "14: \"message\" \"arrived\" names no entity: no block has \"targetname\" \"arrived\"",
        "22: \"LightningStart\" \"a\" names no entity: no block has \"targetname\" \"a\""}},
      {"the first classname decides the class's keys",
       kWorld + "{\n\"classname\" \"game_text\"\n\"classname\" \"path_corner\"\n\"message\" \"hi\"\n}\n",
       {}},
      {"an empty value links nothing; names match case-sensitively",
       kWorld + "{\n\"classname\" \"trigger_once\"\n\"target\" \"\"\n\"master\" \"Door\"\n}\n"
                "{\n\"classname\" \"func_door\"\n\"targetname\" \"door\"\n}\n",
       {"7: \"master\" \"Door\" names no entity: no block has \"targetname\" \"Door\""}},
      {"a multi_manager fires 16 targets",
       kWorld + manyTargets,
       {"22: a multi_manager with more than 16 targets: the game fires the first 16"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(LinkWarnings(row.text), row.expected);
  }
}

TEST(NameLinks, RenameMovesTheNameAndEveryLinkAndNothingElse) {
  const struct {
    const char* name;
    std::string text;
    std::string from;
    std::string to;
    std::string expected;
    size_t changed;
  } rows[] = {
      {"targetname, target, master and multi_manager keys with #N",
       "{\n\"classname\" \"func_door\"\n\"targetname\" \"door\"\n}\n"
       "{\n\"classname\" \"func_button\"\n\"target\" \"door\"\n\"master\" \"door\"\n}\n"
       "{\n\"classname\" \"multi_manager\"\n\"door#1\" \"0\"\n\"door#12\" \"2\"\n\"door\" \"1\"\n\"doors\" \"3\"\n}\n",
       "door", "gate",
       "{\n\"classname\" \"func_door\"\n\"targetname\" \"gate\"\n}\n"
       "{\n\"classname\" \"func_button\"\n\"target\" \"gate\"\n\"master\" \"gate\"\n}\n"
       "{\n\"classname\" \"multi_manager\"\n\"gate#1\" \"0\"\n\"gate#12\" \"2\"\n\"gate\" \"1\"\n\"doors\" \"3\"\n}\n",
       3},
      {"the name inside other values and keys is no link",
       "{\n\"classname\" \"game_text\"\n\"message\" \"door\"\n\"door\" \"x\"\n\"target\" \"door2\"\n"
       "\"netname\" \"door\"\n}\n",
       "door", "gate",
       "{\n\"classname\" \"game_text\"\n\"message\" \"door\"\n\"door\" \"x\"\n\"target\" \"door2\"\n"
       "\"netname\" \"door\"\n}\n",
       0},
      {"bare tokens get quotes, so that a name with a blank stays one token; CRLF kept",
       "{\r\n classname multi_manager\r\n targetname door\r\n door#1 0\r\n}\r\n", "door", "big gate",
       "{\r\n classname multi_manager\r\n targetname \"big gate\"\r\n \"big gate#1\" 0\r\n}\r\n", 1},
      {"a multi_manager's own fields stay", "{\n\"classname\" \"multi_manager\"\n\"wait\" \"1\"\n}\n", "wait", "w",
       "{\n\"classname\" \"multi_manager\"\n\"wait\" \"1\"\n}\n", 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const TextEdit edit = RenameEntityName(row.text, row.from, row.to);
    EXPECT_EQ(edit.text, row.expected);
    EXPECT_EQ(edit.changed, row.changed);
  }
  EXPECT_EQ(CountNamed("{\n\"targetname\" \"a\"\n}\n{\n\"target\" \"a\"\n}\n{\n\"targetname\" \"a\"\n}\n", "a"), 2U);
}

}  // namespace
}  // namespace lw
