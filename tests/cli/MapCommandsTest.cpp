// The commands a server operator runs over a folder of maps: what they print,
// the summary line, the exit statuses, and the bytes they leave.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "CliRun.h"
#include "cli/Cli.h"
#include "mapwriter/MapWriter.h"
#include "support/TempDir.h"

namespace lw {
namespace {

namespace fs = std::filesystem;
namespace mw = lw::mapwriter;
using test::ReadFileBytes;
using test::RunArgs;
using test::WriteFileBytes;

// A trigger that names the equipment entity is not one.
constexpr const char* kText =
    "{\n\"classname\" \"worldspawn\"\n\"skyname\" \"desert\"\n}\n"
    "{\n\"classname\" \"game_player_equip\"\n\"weapon_ak47\" \"1\"\n\"targetname\" \"game_player_equip\"\n}\n"
    "{\n\"classname\" \"trigger_auto\"\n\"target\" \"game_player_equip\"\n}\n"
    "{\n\"origin\" \"0 0 64\"\n\"classname\" \"info_player_deathmatch\"\n}\n"
    "{\n\"origin\" \"0 64 64\"\n\"classname\" \"info_player_deathmatch\"\n\"angles\" \"0 90 0\"\n}\n";

std::string Crlf(const std::string& text) {
  std::string wide;
  for (const char c : text) wide += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return wide;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string Summary(const std::string& counts) { return "lumpwright-cli: " + counts + "\n"; }

struct Row {
  std::string label;
  std::vector<std::string> args;  // "F" stands for the maps folder, "F/x" for a file in it
  int status;
  std::vector<std::string> outHas;  // "F" replaced likewise
  std::string err;                  // exact, "F" replaced; "*" for anything
  std::string storedA = {};         // a.bsp's entity text afterwards; empty: as it was
  bool bReadOnly = false;
  std::string input = {};
};

TEST(MapCommandsTest, OperatorCommandsOverAFolder) {
  const std::string lf = kText;
  const std::string crlf = Crlf(lf);
  const std::string removed = Replaced(
      lf, "{\n\"classname\" \"game_player_equip\"\n\"weapon_ak47\" \"1\"\n\"targetname\" \"game_player_equip\"\n}\n",
      "");
  const std::string added = "{\n\"classname\" \"info_target\"\n}\n";
  const std::vector<Row> rows = {
      {"count, zeros included; the macOS file left out",
       {"count", "F", "--class", "game_player_equip", "--class", "weapon_awp", "--exclude", "._*"},
       0,
       {"F/a.bsp\tgame_player_equip\t1\nF/a.bsp\tweapon_awp\t0\nF/b.bsp\tgame_player_equip\t1\n"},
       Summary("2 maps read, 0 failed")},
      {"count of every class",
       {"count", "F/b.bsp"},
       0,
       {"F/b.bsp\tgame_player_equip\t1\nF/b.bsp\tinfo_player_deathmatch\t2\nF/b.bsp\ttrigger_auto\t1\n"
        "F/b.bsp\tworldspawn\t1\n"},
       ""},
      {"a file that is no map fails the batch", {"count", "F", "-q"}, kExitFailure, {}, "*"},
      {"get: exact class, blocks counted from 0, \"\\r\\n\" text alike",
       {"get", "target", "F", "--class", "trigger_auto", "--exclude", "._*"},
       0,
       {"F/a.bsp\t2\ttrigger_auto\tgame_player_equip\nF/b.bsp\t2\ttrigger_auto\tgame_player_equip\n"},
       Summary("2 maps read, 0 failed")},
      {"options before the command, several --class",
       {"--class", "trigger_auto", "--class", "game_player_equip", "get", "target", "F/a.bsp"},
       0,
       {"F/a.bsp\t2\ttrigger_auto\tgame_player_equip\n"},
       ""},
      {"set where every block is as asked, with --expect-change",
       {"set", "skyname", "desert", "F/a.bsp", "--class", "worldspawn", "--expect-change"},
       kExitNothingMatched,
       {"unchanged: every matching block has \"skyname\" \"desert\"; not saved\n"},
       ""},
      {"get with --where",
       {"get", "origin", "F/a.bsp", "--where", "classname=info_player_deathmatch", "--where", "angles=0 90 0"},
       0,
       {"F/a.bsp\t4\tinfo_player_deathmatch\t0 64 64\n"},
       ""},
      {"nothing matched has its own status; a quiet run says nothing else",
       {"get", "skyname", "F", "--class", "light", "-q", "--exclude", "._*"},
       kExitNothingMatched,
       {},
       ""},
      {"remove the class, not the trigger naming it; \"\\r\\n\" kept; quiet",
       {"remove", "F", "--class", "game_player_equip", "--exclude", "._*", "--quiet"},
       0,
       {},
       "",
       removed},
      {"remove of a class no map has: the maps are as asked",
       {"remove", "F", "--class", "weapon_awp", "--exclude", "._*"},
       0,
       {"F/a.bsp: unchanged: no block matched; not saved\n"},
       Summary("2 maps read: 0 changed, 2 unchanged, 0 failed")},
      {"... unless a change was expected",
       {"remove", "F", "--class", "weapon_awp", "--exclude", "._*", "--expect-change", "-q"},
       kExitNothingMatched,
       {},
       ""},
      {"rename moves the name and its links, not the class of the same name",
       {"rename", "game_player_equip", "equip", "F/a.bsp"},
       0,
       {"\"game_player_equip\" renamed in 2 blocks\n"},
       "",
       Replaced(Replaced(lf, "\"targetname\" \"game_player_equip\"", "\"targetname\" \"equip\""),
                "\"target\" \"game_player_equip\"", "\"target\" \"equip\"")},
      {"rename refuses a name that is taken, on one line",
       {"rename", "game_player_equip", "game_player_equip", "F/a.bsp"},
       kExitUsage,
       {},
       "*"},
      {"patch from standard input: every map, quietly",
       {"patch", "F", "--recipe", "-", "--exclude", "._*", "-q"},
       0,
       {},
       "",
       Replaced(removed, "\"desert\"", "\"cx\""),
       false,
       "filter:\n{ \"classname\" \"/^game_player_/\" }\nmodify:\n{ match: { \"classname\" \"worldspawn\" }\n"
       "  replace: { \"skyname\" \"cx\" } }\n"},
      {"patch that finds the map as asked, with --expect-change",
       {"patch", "F/a.bsp", "--recipe", "-", "--expect-change"},
       kExitNothingMatched,
       {"unchanged: the recipe changes nothing; not saved\n"},
       "",
       "",
       false,
       "add:\n{ \"classname\" \"trigger_auto\" \"target\" \"game_player_equip\" }\n"},
      {"a recipe with a syntax error writes nothing",
       {"patch", "F", "--recipe", "-"},
       kExitUsage,
       {},
       "lumpwright-cli: <stdin>:2: expected a quoted key or '}', not 'classname'\n"
       "usage: lumpwright-cli patch MAP... (--recipe FILE | --recipes FOLDER) [--ent-out FOLDER] [--json]\n",
       "",
       false,
       "filter:\n{ classname \"x\" }\n"},
      {"entities: the outline's rows, \"\\r\\n\" text alike",
       {"entities", "F/b.bsp"},
       0,
       {"F/b.bsp\t0\t1\tworldspawn\t\t\nF/b.bsp\t1\t5\tgame_player_equip\tgame_player_equip\t\n"
        "F/b.bsp\t2\t10\ttrigger_auto\t\t\nF/b.bsp\t3\t14\tinfo_player_deathmatch\t\t0 0 64\n"
        "F/b.bsp\t4\t18\tinfo_player_deathmatch\t\t0 64 64\n"},
       ""},
      {"set adds the key where missing",
       {"set", "angles", "0 0 0", "F/a.bsp", "--class", "info_player_deathmatch"},
       0,
       {"\"angles\" set in 2 blocks\nThe file:  a.bsp\nwas saved!\n"},
       "",
       Replaced(Replaced(lf, "\"angles\" \"0 90 0\"", "\"angles\" \"0 0 0\""),
                "\"0 0 64\"\n\"classname\" \"info_player_deathmatch\"\n",
                "\"0 0 64\"\n\"classname\" \"info_player_deathmatch\"\n\"angles\" \"0 0 0\"\n")},
      {"a dry run shows the change and fails a read-only map",
       {"set", "skyname", "space", "F", "--class", "worldspawn", "--dry-run", "--exclude", "._*"},
       kExitFailure,
       {"--- F/a.bsp\n+++ F/a.bsp\n@@ -1,6 +1,6 @@\n {\n \"classname\" \"worldspawn\"\n-\"skyname\" \"desert\"\n"
        "+\"skyname\" \"space\"\n }\n {\n \"classname\" \"game_player_equip\"\n",
        "F/a.bsp: \"skyname\" set in 1 block; dry run: not saved\n", "+\"skyname\" \"space\"\r\n"},
       "*",
       "",
       true},
      {"add from standard input", {"add", "F/a.bsp", "-q"}, 0, {}, "", lf + added, false, added},
      {"dump to standard output, no message",
       {"dump", "F/a.bsp", "-o", "-"},
       0,
       {"{\r\n\"classname\" \"worldspawn\"\r\n"},
       ""},
      {"remove needs a class", {"remove", "F"}, kExitUsage, {}, "*"},
      {"a value with a quote", {"set", "message", "say \"hi\"", "F"}, kExitUsage, {}, "*"},
      {"--where without =", {"get", "origin", "F", "--where", "origin"}, kExitUsage, {}, "*"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    test::TempDir dir;
    const std::string folder = dir.File("maps");
    fs::create_directory(folder);
    // Maps in a folder are named with the system's separator.
    const std::string in = folder + static_cast<char>(fs::path::preferred_separator);
    const std::string a = in + "a.bsp";
    const std::string b = in + "b.bsp";
    WriteFileBytes(a, mw::WriteMap(mw::MakeMapContents(lf, 1, 4096, 1024)));
    WriteFileBytes(b, mw::WriteMap(mw::MakeMapContents(crlf, 2, 4096, 1024)));
    WriteFileBytes(in + "._a.bsp", "Mac OS X resource fork");
    const std::string before = ReadFileBytes(a);
    if (row.bReadOnly) fs::permissions(b, fs::perms::all, fs::perm_options::remove);
    const std::string bBefore = ReadFileBytes(b);

    std::vector<std::string> args;
    for (const std::string& arg : row.args) {
      args.push_back(arg == "F" ? folder : arg.rfind("F/", 0) == 0 ? in + arg.substr(2) : arg);
    }
    const test::CliResult result = RunArgs(args, row.input);
    EXPECT_EQ(result.status, row.status) << result.err;
    for (const std::string& part : row.outHas) {
      EXPECT_TRUE(Has(result.out, Replaced(part, "F/", in))) << part << "\n---\n" << result.out;
    }
    if (row.err != "*") {
      EXPECT_EQ(result.err, Replaced(row.err, "F/", in));
    }
    const std::string stored = RunArgs({"export", a}).out;
    EXPECT_EQ(stored, row.storedA.empty() ? lf : row.storedA);
    if (row.storedA.empty()) {
      EXPECT_TRUE(ReadFileBytes(a) == before) << "a.bsp was rewritten";
    }
    // The "\r\n" map gets the same edit and keeps its line ends.
    if (!row.bReadOnly && !row.storedA.empty() && row.args[1] == "F") {
      EXPECT_EQ(RunArgs({"export", b}).out, Crlf(row.storedA));
    }
    if (row.bReadOnly) {
      EXPECT_TRUE(
          Has(result.err, b + ": error: \"skyname\" set in 1 block; it would not be saved (the map is read-only"))
          << result.err;
      EXPECT_TRUE(Has(result.err, "1 would change, 0 unchanged, 1 failed")) << result.err;
      EXPECT_TRUE(ReadFileBytes(b) == bBefore);
      fs::permissions(b, fs::perms::owner_write, fs::perm_options::add);
    }
  }
}

}  // namespace
}  // namespace lw
