// check, and the same checks before import and delete-all store a text, on a
// copy of a real map.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "CliRun.h"
#include "TestPaths.h"
#include "support/TempDir.h"

namespace lw {
namespace {

namespace fs = std::filesystem;
using test::CliResult;
using test::ReadFileBytes;
using test::RunArgs;
using test::WriteFileBytes;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

class CheckCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path real = fs::path(test::kRealMapsDir) / "de_tw.bsp";
    if (!fs::exists(real)) GTEST_SKIP() << "no " << real;
    fs::create_directory(dir.Path() / "maps");
    original = ReadFileBytes(real);
    WriteFileBytes(map, original);
    text = RunArgs({"export", map}).out;
  }

  test::TempDir dir;
  std::string map = (dir.Path() / "maps" / "de_tw.bsp").string();
  std::string original;
  std::string text;
};

// Each edit of the table that kept the map from loading, or broke it: check
// finds it, import refuses it and leaves the map as it was, --force stores it.
TEST_F(CheckCommandTest, EditsTheGameRefusesAreFoundRefusedAndForced) {
  const size_t secondBlock = text.find("\n{", 1) + 1;
  std::string manyBlocks = text;
  for (int i = 0; i < 2700; ++i) manyBlocks += "{\n\"classname\" \"info_target\"\n}\n";
  struct Row {
    std::string name;
    std::string edited;
    std::string message;
  };
  const std::vector<Row> rows = {
      {"a block's } removed in the middle", Replaced(text, "}\n{", "\n{"), "error: '{' inside a block"},
      {"a stray word between two blocks", text.substr(0, secondBlock) + "oops\n" + text.substr(secondBlock),
       "error: text outside a block"},
      {"the text emptied", "", "error: entity text too short"},
      {"only a worldspawn", "{\n\"classname\" \"worldspawn\"\n}\n", "error: entity text too short"},
      {"2,700 small blocks", manyBlocks, "entities, more than the 1200 the engine holds"},
      {"every worldspawn deleted", text.substr(secondBlock), "error: no worldspawn"},
      {"the last block's } removed", text.substr(0, text.rfind('}')), "error: block not closed"},
      {"a value's closing quote removed", Replaced(text, "\"worldspawn\"", "\"worldspawn"),
       "error: the quotes on this line do not pair up"},
      {"a brush model another map has", Replaced(text, "\"*1\"", "\"*999\""),
       "error: \"model\" \"*999\" names a brush model the map does not have"},
  };
  const std::string file = dir.File("edited.ent");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    WriteFileBytes(file, row.edited);
    // A text on its own has no models lump to hold its "*N" against.
    const bool namesModels = Has(row.message, "brush model");
    const CliResult checked = RunArgs({"check", file});
    EXPECT_EQ(checked.status, namesModels ? 0 : 1) << checked.out;
    EXPECT_EQ(Has(checked.out, row.message), !namesModels) << checked.out;

    const CliResult refused = RunArgs({"import", map, file});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_TRUE(Has(refused.err, file + ":")) << refused.err;
    EXPECT_TRUE(Has(refused.err, row.message)) << refused.err;
    EXPECT_TRUE(Has(refused.err, "de_tw.bsp not saved: the text has errors")) << refused.err;
    EXPECT_EQ(ReadFileBytes(map), original);

    const CliResult forced = RunArgs({"import", map, file, "--force"});
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(forced.out, "The file:  de_tw.bsp\nwas saved!\n");
    EXPECT_FALSE(Has(forced.err, ": error: ")) << forced.err;
    EXPECT_NE(ReadFileBytes(map), original);
    WriteFileBytes(map, original);
  }
  // The limit is the server's to set.
  WriteFileBytes(file, manyBlocks);
  EXPECT_EQ(RunArgs({"check", file, "--max-entities", "4096"}).status, 0);
}

TEST_F(CheckCommandTest, DeleteAllOfTheWorldIsRefusedUnlessForced) {
  const CliResult refused = RunArgs({"delete-all", "worldspawn", map});
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(Has(refused.err, map + ":1:1: error: no worldspawn")) << refused.err;
  EXPECT_TRUE(Has(refused.err, "Not saved: the text left has errors")) << refused.err;
  EXPECT_EQ(ReadFileBytes(map), original);

  const CliResult forced = RunArgs({"delete-all", "worldspawn", map, "--force"});
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_TRUE(Has(forced.err, map + ":1:1: warning: no worldspawn")) << forced.err;
  EXPECT_FALSE(Has(RunArgs({"export", map}).out, "worldspawn"));
}

TEST_F(CheckCommandTest, MapsFoldersFilesAndUsage) {
  const std::string folder = (dir.Path() / "maps").string();
  const std::string beside = (dir.Path() / "maps" / "de_tw.ent").string();
  const size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
  struct Row {
    std::vector<std::string> args;
    std::string input;
    int status;
    std::string out;
    std::string errHas;
  };
  const std::vector<Row> rows = {
      {{"check", map}, "", 0, "", ""},
      {{"check", folder}, "", 0, "", ""},
      {{"check", "-"}, text, 0, "", ""},
      {{"check", "-"}, text + "}", 1, "<stdin>:" + std::to_string(lines + 1) + ":1: error: '}' closes no block\n", ""},
      {{"check", dir.File("missing.ent")}, "", 1, "", "Error reading the file: "},
      {{"check", dir.File("missing.bsp")}, "", 1, "", "missing.bsp"},
      {{"check", map, "--max-entities", "0"}, "", 2, "", "--max-entities needs a number above 0"},
      {{"check"}, "", 2, "", "usage: lumpwright-cli check"},
      {{"--help"}, "", 0, "check MAP|FILE|-", ""},
  };
  for (const Row& row : rows) {
    const CliResult result = RunArgs(row.args, row.input);
    EXPECT_EQ(result.status, row.status) << row.args.back() << "\n" << result.err;
    EXPECT_TRUE(row.args[0] == "--help" ? Has(result.out, row.out) : result.out == row.out) << result.out;
    EXPECT_TRUE(row.errHas.empty() ? result.err.empty() : Has(result.err, row.errHas)) << result.err;
  }
  // Some engines load maps/NAME.ent in place of the map's own entities.
  WriteFileBytes(beside, text);
  const CliResult withEnt = RunArgs({"check", folder});
  EXPECT_EQ(withEnt.status, 0);
  EXPECT_EQ(withEnt.out, map +
                             ":1:1: warning: de_tw.ent beside the map: some engines load its entities in place of "
                             "the map's own\n");
  // check -q prints only errors: a cron job hears of what breaks a map.
  const CliResult quiet = RunArgs({"check", "-q", folder});
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.out, "");
  const CliResult quietError = RunArgs({"-q", "check", "-"}, text + "}");
  EXPECT_EQ(quietError.out, "<stdin>:" + std::to_string(lines + 1) + ":1: error: '}' closes no block\n");
}

}  // namespace
}  // namespace lw
