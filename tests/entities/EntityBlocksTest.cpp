#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "entities/EntityBlocks.h"

namespace lw {
namespace {

const std::string kWorld = "{\n\"classname\" \"worldspawn\"\n\"wad\" \"{target.wad\"\n}\n";
const std::string kAuto = "{\n\"classname\" \"trigger_auto\"\n\"target\" \"game_player_equip\"\n}\n";
const std::string kEquip = "{\n\"classname\" \"game_player_equip\"\n}\n";
const std::string kCrlfWorld = "{\r\n\"classname\" \"worldspawn\"\r\n}\r\n";
const std::string kCrlf = kCrlfWorld + "{\r\n\"classname\" \"light\"\r\n}\r\n";
const std::string kDecal = "{\n\"classname\" \"infodecal\"\n\"texture\" \"{target\"\n\"message\" \"a } b\"\n}\n";

BlockFilter Class(const std::string& name) { return {{name}, {}}; }
const BlockFilter kAll;

// `text` with its first `from` made `to`.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  return text.replace(text.find(from), from.size(), to);
}

enum class Op { kSet, kRemove, kAppend };

struct EditCase {
  const char* name;
  Op op;
  std::string text;
  std::string expected;
  size_t matched;
  size_t changed;
  BlockFilter filter = {};
  std::string key = "";  // for kAppend: the addition
  std::string value = "";
};

TEST(EntityBlocks, EditsOnlyTheBytesOfTheSelectedBlocks) {
  const std::string lights =
      "{\"classname\" \"light\" \"style\" \"32\"}\n{\"classname\" \"light\" \"style\" \"32\" "
      "\"spawnflags\" \"1\"}\n{\"classname\" \"light_spot\" \"style\" \"32\" \"spawnflags\" \"1\"}\n";
  const BlockFilter redLightsOff = {{"light"}, {{"spawnflags", "1"}, {"style", "32"}}};
  const std::vector<EditCase> cases = {
      {"--class is the classname, not a target naming it", Op::kSet, kWorld + kAuto + kEquip,
       kWorld + kAuto + "{\n\"classname\" \"game_player_equip\"\n\"weapon_knife\" \"1\"\n}\n", 1, 1,
       Class("game_player_equip"), "weapon_knife", "1"},
      {"every --where must hold", Op::kSet, lights, Replaced(lights, "\"1\"", "\"0\""), 1, 1, redLightsOff,
       "spawnflags", "0"},
      {"a missing key in CRLF text gets a CRLF line", Op::kSet, kCrlf,
       "{\r\n\"classname\" \"worldspawn\"\r\n}\r\n{\r\n\"classname\" \"light\"\r\n\"_light\" \"255 0 0\"\r\n}\r\n", 1,
       1, Class("light"), "_light", "255 0 0"},
      {"a present key changes between its quotes only", Op::kSet,
       "{\n\t\"classname\"\t\"light\"  \"style\" \"2\" \n}\n", "{\n\t\"classname\"\t\"light\"  \"style\" \"32\" \n}\n",
       1, 1, kAll, "style", "32"},
      {"a key given twice gets the value twice", Op::kSet, "{\n\"a\" \"1\"\n\"classname\" \"x\"\n\"a\" \"2\"\n}\n",
       "{\n\"a\" \"3\"\n\"classname\" \"x\"\n\"a\" \"3\"\n}\n", 1, 1, kAll, "a", "3"},
      {"the value already there changes nothing", Op::kSet, kCrlf, kCrlf, 1, 0, Class("worldspawn"), "classname",
       "worldspawn"},
      {"a bare value becomes quoted", Op::kSet, "{classname light}\n", "{classname \"spot\"}\n", 1, 1, kAll,
       "classname", "spot"},
      {"the '}' sharing a line gets one of its own", Op::kSet, "{\"classname\" \"info_target\"}\n",
       "{\"classname\" \"info_target\"\n\"targetname\" \"t\"\n}\n", 1, 1, kAll, "targetname", "t"},
      {"the new line is indented like the pairs", Op::kSet, "  {\n    \"classname\" \"light\"\n  }\n",
       "  {\n    \"classname\" \"light\"\n    \"style\" \"1\"\n  }\n", 1, 1, kAll, "style", "1"},
      {"a key without value stays last", Op::kSet, "{\n\"classname\" \"light\"\n\"orphan\"\n}\n",
       "{\n\"classname\" \"light\"\n\"style\" \"1\"\n\"orphan\"\n}\n", 1, 1, kAll, "style", "1"},
      {"braces and quotes inside values", Op::kSet, kWorld + kDecal,
       kWorld + "{\n\"classname\" \"infodecal\"\n\"texture\" \"}x{\"\n\"message\" \"a } b\"\n}\n", 1, 1,
       Class("infodecal"), "texture", "}x{"},
      {"remove the first block", Op::kRemove, kWorld + kAuto + kEquip, kAuto + kEquip, 1, 1, Class("worldspawn")},
      {"remove a middle block with braces in its values", Op::kRemove, kWorld + kDecal + kEquip, kWorld + kEquip, 1, 1,
       Class("infodecal")},
      {"remove the last CRLF block, text after it kept", Op::kRemove, kCrlf + "\r\n", kCrlfWorld + "\r\n", 1, 1,
       Class("light")},
      {"remove nothing", Op::kRemove, kCrlf + " x", kCrlf + " x", 0, 0, Class("lights")},
      {"remove the blocks of any class given", Op::kRemove, kWorld + kAuto + kEquip, kWorld, 2, 2,
       BlockFilter{{"game_player_equip", "trigger_auto"}, {}}},
      {"a block's class is its first classname", Op::kRemove,
       kWorld + "{\n\"classname\" \"light\"\n\"classname\" \"game_player_equip\"\n}\n", kWorld, 1, 1, Class("light")},
      {"a comment is no key, and a key's value may hold //", Op::kSet,
       "{\n// \"classname\" \"light\"\n\"classname\" \"info_target\"\n\"url\" \"a//b\"\n}\n",
       "{\n// \"classname\" \"light\"\n\"classname\" \"info_target\"\n\"url\" \"a//b\"\n\"t\" \"1\"\n}\n", 1, 1,
       Class("info_target"), "t", "1"},
      {"append to LF text before what follows its last block", Op::kAppend, kWorld + "\n", kWorld + kEquip + "\n", 1, 1,
       kAll, "junk " + kEquip.substr(0, kEquip.size() - 1) + " junk"},
      {"append to CRLF text", Op::kAppend, kCrlf,
       kCrlf + "{\r\n\"classname\" \"a\"\r\n}\r\n{\r\n\"classname\" \"b\"\r\n}\r\n", 2, 2, kAll,
       "{\n\"classname\" \"a\"\r\n}\n{\n\"classname\" \"b\"\n}"},
      {"append after a '}' without line end", Op::kAppend, "{\"classname\" \"worldspawn\"}",
       "{\"classname\" \"worldspawn\"}\n{}\n", 1, 1, kAll, "{}"},
  };
  for (const EditCase& row : cases) {
    SCOPED_TRACE(row.name);
    const TextEdit edit = row.op == Op::kSet      ? SetKeyValue(row.text, row.filter, row.key, row.value)
                          : row.op == Op::kRemove ? RemoveBlocks(row.text, row.filter)
                                                  : AppendBlocks(row.text, row.key);
    EXPECT_EQ(edit.text, row.expected);
    EXPECT_EQ(edit.matched, row.matched);
    EXPECT_EQ(edit.changed, row.changed);
  }
}

TEST(EntityBlocks, ReadsTokensAsTheEngineDoes) {
  // A bare value ends at a quote, an open quote at its line's "\r\n"; a '{'
  // inside a block cuts that block off.
  const std::string text = "{ \"k\" v\"q\" \"open\r\n\"w\" }\n{ \"a\" \"b\" { \"c\" \"d\" } } {";
  size_t unclosed = 0;
  const std::vector<EntityBlock> blocks = ParseEntityBlocks(text, &unclosed);
  ASSERT_EQ(blocks.size(), 2U);
  EXPECT_EQ(unclosed, 2U);
  ASSERT_EQ(blocks[0].pairs.size(), 2U);
  EXPECT_EQ(SpanText(text, blocks[0].pairs[0].valueToken), "v");
  EXPECT_EQ(SpanText(text, blocks[0].pairs[1].valueToken), "\"open");
  ASSERT_TRUE(blocks[0].keyWithoutValue);
  EXPECT_EQ(SpanText(text, *blocks[0].keyWithoutValue), "\"w\"");
  EXPECT_EQ(ValueOf(text, blocks[0], "w"), std::nullopt);
  EXPECT_EQ(ValueOf(text, blocks[1], "c"), "d");
  EXPECT_EQ(SetKeyValue(text, {{}, {{"k", "v"}}}, "q", "shut").text, Replaced(text, "open", "shut"));
}

TEST(EntityBlocks, CountsClassesByTheFirstClassname) {
  const auto counts = CountClasses(kWorld + kAuto + kEquip + kEquip + "{\"x\" \"1\"}\n{\"classname\" \"a\" " +
                                   "\"classname\" \"game_player_equip\"}\n");
  const std::map<std::string, size_t, std::less<>> expected = {
      {"a", 1}, {"game_player_equip", 2}, {"trigger_auto", 1}, {"worldspawn", 1}};
  EXPECT_EQ(counts, expected);
}

TEST(EntityBlocks, RefusesWhatQuotesCannotHold) {
  EXPECT_EQ(WhyNotStorable("{target } '"), std::nullopt);
  for (const std::string& bad : std::vector<std::string>{"a\"b", "a\nb", "a\rb", std::string("a\0b", 3)}) {
    EXPECT_TRUE(WhyNotStorable(bad)) << bad;
  }
  EXPECT_EQ(SetKeyValue(kWorld, {}, "wad", "x\"y").text, kWorld);
}

}  // namespace
}  // namespace lw
