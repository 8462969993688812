// Patch recipes: what each section does to a text, that a second run changes
// nothing, where a broken recipe is refused; and the patterns of their
// values, which must stay fast on megabyte values whatever the pattern.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entities/PatchRecipe.h"
#include "entities/ValuePattern.h"

namespace lw {
namespace {

struct PatternCase {
  const char* pattern;
  const char* value;
  bool matches;
};

TEST(ValuePatternTest, SearchesTheValue) {
  const std::vector<PatternCase> cases = {
      {"^weapon_", "weapon_ak47", true},
      {"^weapon_", "item_weapon_ak47", false},
      {"weapon_", "item_weapon_ak47", true},
      {"_ak47$", "weapon_ak47", true},
      {"_ak47$", "weapon_ak47s", false},
      {"^$", "", true},
      {"^(func_|trigger_)(door|once)$", "trigger_once", true},
      {"^(func_|trigger_)(door|once)$", "func_wall", false},
      {"^ammo_(9mm|556nato){1}$", "ammo_556nato", true},
      {"^a{2,3}$", "aaaa", false},
      {"^a{2,3}$", "aaa", true},
      {"^a{2,}b", "aaaaab", true},
      {"^x{0}y", "y", true},
      {"a{,2}", "a{,2}", true},  // no count: a literal brace, as in RE2 and PCRE
      {"^[^ ]+ [0-9-]+ \\d+$", "-1024 512 36", true},
      {"^[^ ]+ [0-9-]+ \\d+$", "0 0 z", false},
      {"[]x]", "]", true},
      {"[a\\-z]", "-", true},
      {"\\bdoor\\b", "func_door", false},
      {"\\bdoor\\b", "a door here", true},
      {"\\Bdoor", "func_door", true},  // '_' is a word byte
      {"\\Bdoor", "a door", false},
      {"^\\w+\\s\\S$", "ab c", true},
      {"\\.wad;", "halflife.wad;decals.wad", true},
      {"\\.wad;", "halflifeXwad;", false},
      {"^.*?x", "aaax", true},
      {"(?i)^WEAPON_", "weapon_ak47", true},
      {"(?i)^[A-C]x", "bX", true},
      {"(?i)[^a]", "A", false},
      {"^WEAPON_", "weapon_ak47", false},
      {"\\xe9t\\xe9", "\xe9t\xe9", true},  // bytes of the map's code page, one each
      {"^.$", "\xe9", true},
      {"(a*)*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
      {"(|a)+$", "aaa", true},
  };
  for (const PatternCase& c : cases) {
    std::string error;
    const std::optional<ValuePattern> pattern = ValuePattern::Compile(c.pattern, &error);
    ASSERT_TRUE(pattern) << c.pattern << ": " << error;
    EXPECT_EQ(pattern->Search(c.value), c.matches) << c.pattern << " in " << c.value;
  }
}

TEST(ValuePatternTest, RefusesWhatItCannotMatchFaithfully) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"(?=a)", "look-arounds"},
      {"(a)\\1", "the escape \\1 is not supported at 4"},
      {"\\p{L}", "\\p"},
      {"a**", "nothing to repeat"},
      {"*a", "nothing to repeat at 1"},
      {"a++", "possessive"},
      {"(a", "missing ')'"},
      {"a)", "unmatched ')' at 2"},
      {"[a", "missing ']'"},
      {"[z-a]", "out of order"},
      {"a{3,2}", "out of order"},
      {"\\x4", "two hex digits"},
      {"[[:digit:]]", "POSIX classes"},
      {"a\\", "at the end"},
      {"(x{1000}){1000}", "too large"},
      {std::string(ValuePattern::kMaxNesting + 2, '(') + std::string(ValuePattern::kMaxNesting + 2, ')'),
       "nested too deeply"},
  };
  for (const auto& [pattern, why] : cases) {
    std::string error;
    EXPECT_FALSE(ValuePattern::Compile(pattern, &error)) << pattern;
    EXPECT_NE(error.find(why), std::string::npos) << pattern << ": " << error;
  }
}

// A backtracking matcher takes exponential time or overflows its stack here.
TEST(ValuePatternTest, MegabyteValuesEndWithoutACrash) {
  const std::string as(1 << 20, 'a');
  std::string error;
  const auto alternation = ValuePattern::Compile("^(a|b)*c", &error);
  ASSERT_TRUE(alternation) << error;
  EXPECT_FALSE(alternation->Search(as));
  EXPECT_TRUE(alternation->Search(as + "c"));
  const auto nested = ValuePattern::Compile("(x+x+)+y|(a|aa)+$", &error);
  ASSERT_TRUE(nested) << error;
  EXPECT_TRUE(nested->Search(as));
  EXPECT_FALSE(nested->Search(std::string(1 << 20, 'x')));
}

struct RecipeCase {
  const char* label;
  std::string recipe;
  std::string text;
  std::string patched;  // the text afterwards; for a recipe refused, "LINE: message"
};

constexpr const char* kWorld = "{\n\"classname\" \"worldspawn\"\n\"skyname\" \"desert\"\n\"MaxRange\" \"8192\"\n}\n";
constexpr const char* kAk = "{\n\"classname\" \"weapon_ak47\"\n\"origin\" \"0 0 0\"\n}\n";
constexpr const char* kEquip = "{\n\"classname\" \"game_player_equip\"\n\"weapon_knife\" \"1\"\n}\n";
constexpr const char* kSpawn = "{\n\"classname\" \"info_player_deathmatch\"\n\"origin\" \"0 0 64\"\n}\n";

TEST(PatchRecipeTest, AppliesEachSectionAndChangesNothingTheSecondTime) {
  const std::string text = std::string(kWorld) + kAk + kEquip + kSpawn;
  const std::vector<RecipeCase> cases = {
      {"filter: exact and pattern; the equipment that names a weapon stays",
       "; strip weapons\nfilter:\n{\n\t\"classname\" \"/^weapon_/\"\n}\n", text, std::string(kWorld) + kEquip + kSpawn},
      {"remove: with every pair needed; a comment after a pair",
       "remove:\n{ \"classname\" \"weapon_ak47\" \"origin\" \"1 1 1\" }\n{\n\"classname\" \"game_player_equip\" // "
       "all\n}",
       text, std::string(kWorld) + kAk + kSpawn},
      {"add, in the text's own line ends, once though given twice",
       "add:\n{\n\"classname\" \"info_target\"\n}\n{ \"classname\" \"info_target\" }\n",
       "{\r\n\"classname\" \"worldspawn\"\r\n}\r\n",
       "{\r\n\"classname\" \"worldspawn\"\r\n}\r\n{\r\n\"classname\" \"info_target\"\r\n}\r\n"},
      {"add of a block that is there, its keys in another order",
       "add:\n{ \"origin\" \"0 0 64\" \"classname\" \"info_player_deathmatch\" }", text, text},
      {"modify: replace only keys there, delete any value, delete a value given, insert what lacks",
       "modify:\n{\n match:\n {\n  \"classname\" \"worldspawn\"\n }\n replace:\n {\n  \"skyname\" \"cx\"\n  \"wad\" "
       "\"x.wad\"\n"
       " }\n delete:\n {\n  \"MaxRange\" \"\"\n }\n insert:\n {\n  \"_note\" \"patched\"\n  \"skyname\" \"cx\"\n }\n}\n"
       "modify:\n{ match: { \"classname\" \"/^info_/\" } delete: { \"origin\" \"1 1 1\" } }\n",
       text,
       "{\n\"classname\" \"worldspawn\"\n\"skyname\" \"cx\"\n\"_note\" \"patched\"\n}\n" + std::string(kAk) + kEquip +
           kSpawn},
      {"filters, then adds, then modifies: the added spawn gets the angles, once",
       "modify:\n{ match: { \"classname\" \"info_player_deathmatch\" } insert: { \"angles\" \"0 90 0\" } }\n"
       "add:\n{ \"classname\" \"info_player_deathmatch\" \"origin\" \"9 9 9\" }\n"
       "filter:\n{ \"classname\" \"info_player_deathmatch\" \"origin\" \"0 0 64\" }\n",
       text,
       std::string(kWorld) + kAk + kEquip +
           "{\n\"classname\" \"info_player_deathmatch\"\n\"origin\" \"9 9 9\"\n\"angles\" \"0 90 0\"\n}\n"},
      {"the first classname is the class; other keys the last value",
       "filter:\n{ \"classname\" \"light\" \"style\" \"2\" }\n",
       "{\n\"classname\" \"light\"\n\"style\" \"1\"\n\"style\" \"2\"\n\"classname\" \"x\"\n}\n{\n\"classname\" "
       "\"x\"\n\"classname\" \"light\"\n\"style\" \"2\"\n}\n",
       "{\n\"classname\" \"x\"\n\"classname\" \"light\"\n\"style\" \"2\"\n}\n"},
      {"a pair sharing the brace's line",
       "modify:\n{ match: { \"a\" \"1\" } delete: { \"b\" \"\" } insert: { \"c\" \"3\" } }",
       "{ \"a\" \"1\" \"b\" \"2\" }\n", "{ \"a\" \"1\" \n\"c\" \"3\"\n}\n"},
      {"a block before any section", "{ \"a\" \"b\" }", text, "1: a block before any section header"},
      {"an unknown section", "filter:\n{ \"a\" \"b\" }\nfilters:\n", text, "3: unknown section 'filters:'"},
      {"a key without a value", "add:\n{\n\"classname\"\n}\n", text, "4: the key \"classname\" has no value"},
      {"a block not closed", "add:\n{\n\"a\" \"b\"\n", text, "4: the block opened on line 2 is not closed"},
      {"a quote not closed", "add:\n{\n\"a\" \"b\n}\n", text, "3: a '\"' not closed on its line"},
      {"an empty filter", "filter:\n\n{\n}\n", text, "3: an empty filter block would remove every block"},
      {"a modify without match:", "modify:\n{\n replace: { \"a\" \"b\" }\n}\n", text,
       "2: a modify block without match:"},
      {"match: outside a modify block", "match:\n{ \"a\" \"b\" }\n", text,
       "1: 'match:' stands outside a modify: block"},
      {"a pattern refused", "filter:\n{\n\"classname\" \"/(?!x)/\"\n}\n", text, "3: the pattern /(?!x)/: only (?: )"},
  };
  for (const RecipeCase& c : cases) {
    SCOPED_TRACE(c.label);
    RecipeError error;
    const std::optional<PatchRecipe> recipe = ParsePatchRecipe(c.recipe, error);
    if (!recipe) {
      EXPECT_EQ((std::to_string(error.line) + ": " + error.message).substr(0, c.patched.size()), c.patched);
      continue;
    }
    const PatchResult once = ApplyPatchRecipe(c.text, *recipe);
    EXPECT_EQ(once.text, c.patched);
    const PatchResult twice = ApplyPatchRecipe(once.text, *recipe);
    EXPECT_EQ(twice.text, once.text) << "a second run changed the text";
    EXPECT_EQ(twice.removed + twice.added + twice.modified, 0U);
  }
}

}  // namespace
}  // namespace lw
