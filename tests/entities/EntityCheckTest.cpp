#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestPaths.h"
#include "bsp/CBspFile.h"
#include "entities/EntityCheck.h"
#include "mapwriter/MapWriter.h"
#include "platform/CString.h"
#include "support/RecordingMessages.h"

namespace lw {
namespace {

namespace fs = std::filesystem;

// The findings as the command line prints them, for a text called "t".
std::vector<std::string> Printed(const std::string& text, const EntityCheckOptions& options = {}) {
  std::vector<std::string> lines;
  for (const CheckFinding& finding : CheckEntityText(text, options)) lines.push_back(FormatFinding("t", finding));
  return lines;
}

const std::string kWorld = "{\n\"classname\" \"worldspawn\"\n\"wad\" \"cs_dust.wad\"\n}\n";  // 47 bytes
std::string Light(const std::string& extra = "") {
  return "{\n\"classname\" \"light\"\n" + extra + "\"origin\" \"0 0 64\"\n}\n";
}
std::string Blocks(size_t count) {
  std::string text = kWorld;
  for (size_t i = 1; i < count; ++i) text += "{\"classname\" \"info_target\"}\n";
  return text;
}

EntityCheckOptions WithMax(size_t maxEntities) {
  EntityCheckOptions options;
  options.maxEntities = maxEntities;
  return options;
}
EntityCheckOptions WithModels(size_t modelCount) {
  EntityCheckOptions options;
  options.modelCount = modelCount;
  return options;
}
EntityCheckOptions WithLumpBytes(size_t lumpBytes) {
  EntityCheckOptions options;
  options.lumpBytes = lumpBytes;
  return options;
}

struct CheckCase {
  const char* name;
  std::string text;
  std::vector<std::string> expected;
  EntityCheckOptions options = {};
};

TEST(CheckEntityText, GivesEachProblemWhereItIs) {
  const std::string longKey(40, 'k');
  const std::string longerKey(128, 'k');
  const std::vector<CheckCase> cases = {
      {"a good text", kWorld + Light(), {}},
      {"braces and quotes inside values are values",
       kWorld + "{\n\"classname\" \"infodecal\"\n\"texture\" \"{target\"\n\"message\" \"it's } and {\"\n}\n",
       {}},
      {"CRLF line ends and tabs are blank", "{\r\n\t\"classname\" \"worldspawn\"\r\n\"wad\" \"x.wad\"\r\n}\r\n", {}},
      {"a block's } removed in the middle",
       kWorld + "{\n\"classname\" \"light\"\n" + Light(),
       {"t:7:1: error: '{' inside a block: the block before it has no '}'"}},
      {"a stray word between two blocks",
       kWorld + "garbage more\n" + Light(),
       {"t:5:1: error: text outside a block: only blank space may stand between blocks"}},
      {"a stray quoted string and a stray }",
       kWorld + "\"a\" }\n" + Light(),
       {"t:5:1: error: text outside a block: only blank space may stand between blocks",
        "t:5:5: error: '}' closes no block"}},
      {"the text emptied",
       "",
       {"t:1:1: error: entity text too short: 1 bytes with its NUL, the engine loads no fewer than 32",
        "t:1:1: error: no worldspawn: the first block must be the world's"}},
      {"only a worldspawn, under 32 bytes",
       "{\n\"classname\" \"worldspawn\"\n}\n",
       {"t:1:1: error: entity text too short: 30 bytes with its NUL, the engine loads no fewer than 32"}},
      {"the lump the text becomes decides the size",
       kWorld,
       {"t:1:1: error: entity text too short: 20 bytes with its NUL, the engine loads no fewer than 32"},
       WithLumpBytes(20)},
      {"too many entities for the engine",
       Blocks(1201),
       {"t:1204:1: error: 1201 entities, more than the 1200 the engine holds with the world and the players "
        "(--max-entities N for another limit)"}},
      {"a limit of one's own",
       Blocks(3),
       {"t:6:1: error: 3 entities, more than the 2 the engine holds with the world and the players "
        "(--max-entities N for another limit)"},
       WithMax(2)},
      {"more than servers before 2023 held",
       Blocks(901),
       {"t:904:1: warning: 901 entities: servers before the 2023 Half-Life update hold 900 with the world and the "
        "players"}},
      {"more than older compilers held",
       Blocks(2049),
       {"t:2052:1: warning: 2049 entities: older compilers hold 2048"},
       WithMax(20000)},
      {"every worldspawn deleted",
       Light() + Light(),
       {"t:1:1: error: no worldspawn: the first block must be the world's"}},
      {"worldspawn not first",
       Light() + kWorld,
       {"t:5:1: error: worldspawn is not the first block: the engine takes the first block for the world"}},
      {"two worldspawns",
       kWorld + kWorld,
       {"t:5:1: error: a second worldspawn: the engine keeps the first world and \"can't delete world\""}},
      {"the last block's } removed",
       kWorld + "{\n\"classname\" \"light\"\n",
       {"t:5:1: error: block not closed: no '}' before the end of the text"}},
      {"a value's closing quote removed",
       kWorld + "{\n\"classname\" \"light\n\"origin\" \"0 0 64\"\n}\n",
       {"t:6:13: error: the quotes on this line do not pair up: the engine runs this string on into the next line"}},
      {"a block without classname",
       kWorld + "{\n\"origin\" \"0 0 0\"\n}\n",
       {"t:5:1: error: block without \"classname\""}},
      {"a key without a value",
       kWorld + "{\n\"classname\" \"light\"\n\"angle\"\n}\n",
       {"t:7:1: error: key \"angle\" has no value: the engine finds '}' where the value belongs"}},
      {"a NUL in the text",
       kWorld + std::string("\0", 1) + Light(),
       {"t:5:1: error: a NUL byte: the engine's entity text ends here"}},
      {"brush models the map has, and one it has not",
       kWorld + Light("\"model\" \"*0\"\n") + Light("\"model\" \"*9\"\n") + Light("\"model\" \"*10\"\n"),
       {"t:17:9: error: \"model\" \"*10\" names a brush model the map does not have (it has *1 to *9)"},
       WithModels(10)},
      {"no brush models at all; models of files are not brush models",
       kWorld + Light("\"model\" \"*1\"\n") + Light("\"model\" \"models/can.mdl\"\n"),
       {"t:7:9: error: \"model\" \"*1\" names a brush model the map does not have (it has none)"},
       WithModels(1)},
      {"a text on its own has no brush model count", kWorld + Light("\"model\" \"*99\"\n"), {}},
      {"a key given twice, and twice with one value as the compile tools write worldspawn",
       "{\n\"classname\" \"worldspawn\"\n\"mapversion\" \"220\"\n\"mapversion\" \"220\"\n}\n" +
           Light("\"origin\" \"1 1 1\"\n"),
       {"t:9:1: warning: key \"origin\" given twice in this block with different values: most entities keep the last"}},
      {"keys longer than the compilers keep",
       kWorld + Light("\"" + longKey + "\" \"1\"\n\"" + longerKey + "\" \"1\"\n"),
       {"t:7:1: warning: key of 40 bytes: older compilers keep 31",
        "t:8:1: warning: key of 128 bytes: the compile tools keep 127"}},
      {"values longer than the engine and the compilers keep",
       kWorld + Light("\"a\" \"" + std::string(1024, 'v') + "\"\n\"b\" \"" + std::string(2048, 'v') + "\"\n\"c\" \"" +
                      std::string(4096, 'v') + "\"\n"),
       {"t:7:5: warning: value of 1024 bytes: older compilers keep 1023",
        "t:8:5: warning: value of 2048 bytes: the engine reads 2047",
        "t:9:5: warning: value of 4096 bytes: the compile tools keep 4095 and the engine reads 2047"}},
      {"the first classname is the block's class, a worldspawn here",
       "{\n\"classname\" \"worldspawn\"\n\"classname\" \"light\"\n}\n" + Light(),
       {"t:3:1: warning: key \"classname\" given twice in this block with different values: the engine takes the "
        "first, \"worldspawn\""}},
      {"a // comment between blocks and inside one is skipped, as the engine skips it",
       kWorld + "// removed the lights\n" + Light("// \"style\"\n"),
       {"t:5:1: warning: a // comment: the engine skips it to the line end, other tools may not",
        "t:8:1: warning: a // comment: the engine skips it to the line end, other tools may not"}},
      {"a value that ends in a backslash",
       "{\n\"classname\" \"worldspawn\"\n\"wad\" \"C:\\maps\\\"\n}\n" + Light(),
       {"t:3:7: warning: value ends in a backslash: Xash3D FWGS reads \\\" as a quote inside it and runs it on into "
        "the next line"}},
      {"larger than the engines accept",
       kWorld + Light(),
       {"t:9:1: warning: entity text of 2097153 bytes with its NUL, more than the engines' 2097152 (2 MiB)"},
       WithLumpBytes(0x200001)},
  };
  for (const CheckCase& c : cases) {
    EXPECT_EQ(Printed(c.text, c.options), c.expected) << c.name;
  }
}

TEST(CheckEntityText, ForcedErrorsPrintAsWarnings) {
  const std::vector<CheckFinding> findings = CheckEntityText("}");
  ASSERT_TRUE(HasErrors(findings));
  EXPECT_EQ(FormatFinding("m.ent", findings.front(), true), "m.ent:1:1: warning: '}' closes no block");
}

// What the compile tools wrote gives no error: the rules are the engine's and
// the tools', not stricter.
TEST(CheckEntityText, RealMapsAndMadeMapsHaveNoErrors) {
  std::vector<std::string> texts = {mapwriter::MakeEntityText(600, 3)};
  std::vector<std::string> names = {"made"};
  std::vector<size_t> models = {41};
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(test::kRealMapsDir, error)) {
    if (entry.path().extension() != ".bsp") continue;
    test::RecordingMessages messages;
    CBspFile map(messages);
    ASSERT_EQ(map.LoadMap(CString(entry.path().string())), 0) << entry.path();
    texts.emplace_back(map.GetEntityText());
    names.push_back(entry.path().filename().string());
    models.push_back(static_cast<size_t>(map.Lump(kModelsLump).length) / kModelRecordBytes);
  }
  if (fs::exists(test::kRealMapsDir)) {
    EXPECT_GT(texts.size(), 1U) << "no real maps read from " << test::kRealMapsDir;
  }
  for (size_t i = 0; i < texts.size(); ++i) {
    std::string errors;
    for (const CheckFinding& finding : CheckEntityText(texts[i], WithModels(models[i]))) {
      if (finding.severity == CheckSeverity::kError) errors += FormatFinding(names[i], finding) + "\n";
    }
    EXPECT_EQ(errors, "") << names[i];
  }
}

}  // namespace
}  // namespace lw
