// The batch commands against the editor itself: the same maps, the same
// handlers, the same bytes on disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "CliRun.h"
#include "TestPaths.h"
#include "cli/Cli.h"
#include "entities/EntityText.h"
#include "mapwriter/MapWriter.h"
#include "mapwriter/TestMaps.h"
#include "support/HeldFile.h"
#include "support/InMemorySettingsStore.h"
#include "support/RecordingMessages.h"
#include "support/ReferenceEntitySearch.h"
#include "support/TempDir.h"
#include "ui/CEntityEditorDlg.h"
#include "ui/InMemoryMainWindowView.h"

namespace lw {
namespace {

using test::CliResult;
using test::HeldFile;
using test::RunArgs;

namespace fs = std::filesystem;
namespace mw = lw::mapwriter;
using test::ReadFileBytes;
using test::WriteFileBytes;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string MadeMap(int entities, std::uint32_t seed) {
  return mw::WriteMap(mw::MakeMapContents(mw::MakeEntityText(entities, seed), seed, 8 * 1024, 2 * 1024));
}

std::string Display(const std::string& path) { return RunArgs({"show", path}).out; }
std::string Stored(const std::string& path) { return RunArgs({"export", path}).out; }

std::string LumpForm(const std::string& display) {
  CString text(display);
  ToLumpText(text);
  return text.Str();
}

std::string CountMessage(int count, const std::string& needle, const std::string& done = "were deleted") {
  return std::to_string(count) + " entities containing the string\n\"" + needle + "\"\n" + done + ".\n";
}

// The blocks of a display text that contain `part`, in order.
std::vector<std::string> BlocksWith(const std::string& display, const std::string& part) {
  std::vector<std::string> blocks;
  for (size_t at = 0; (at = display.find("{\r\n", at)) != std::string::npos;) {
    const size_t end = display.find("\r\n}\r\n", at);
    const std::string block = display.substr(at, end + 5 - at);
    if (Has(block, part)) blocks.push_back(block);
    at = end + 5;
  }
  return blocks;
}

// What the editor leaves on disk after choosing the map in its list, Delete
// All of `needle` and Save.
std::string EditorDeleteAllAndSave(const fs::path& folder, const std::string& name, const std::string& needle) {
  test::RecordingMessages messages;
  test::InMemorySettingsStore settings;
  InMemoryMainWindowView view(messages);
  CEntityEditorDlg dlg(view, settings, SystemFileSystem(), {[] { return CString("lumpwright"); }, CString()});
  const std::string mapFolder = folder.string() + "/";
  dlg.SetMapFolder(CString(mapFolder));
  dlg.FillMapList(CString(mapFolder + "*.bsp"));
  EXPECT_TRUE(view.SelectMap(CString(name))) << name;
  dlg.OnSelchangeMapList();
  view.TypeSearch(CString(needle));
  dlg.OnDeleteAll();
  // A text with errors is stored all the same, as --force stores it.
  messages.ScriptAnswers({true});
  dlg.OnSave();
  return ReadFileBytes(folder / name);
}

class BatchTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directory(maps); }

  std::string Put(const std::string& name, const std::string& bytes) const {
    WriteFileBytes(maps / name, bytes);
    return (maps / name).string();
  }
  std::string Folder() const { return maps.string(); }

  test::TempDir dir;
  fs::path maps = dir.Path() / "maps";
};

TEST_F(BatchTest, ListGivesTheEditorsMapsInItsOrder) {
  for (const char* name :
       {"de_b.bsp", "DE_A.BSP", "de_c.Bsp", "Zz.bsp", "aa.bsp", ".hidden.bsp", "notes.txt", "de_b.bsp.bak"}) {
    Put(name, "x");
  }
  fs::create_directory(maps / "folder.bsp");
  fs::create_directory(maps / "sub");
  Put("sub/inner.bsp", "x");
  fs::create_directory(dir.Path() / "empty");

  const std::string listed = ".hidden.bsp\naa.bsp\nDE_A.BSP\nde_b.bsp\nde_c.Bsp\nZz.bsp\n";
  struct Row {
    std::string folder;
    int status;
    std::string out;
    std::string errHas;
  };
  const std::vector<Row> rows = {
      {Folder(), 0, listed, ""},
      {Folder() + "/", 0, listed, ""},
      {(dir.Path() / "empty").string(), 0, "", ""},
      {dir.File("missing"), 1, "", "no such folder"},
      {(maps / "aa.bsp").string(), 1, "", "no such folder"},
  };
  for (const Row& row : rows) {
    const CliResult result = RunArgs({"list", row.folder});
    EXPECT_EQ(result.status, row.status) << row.folder << "\n" << result.err;
    EXPECT_EQ(result.out, row.out) << row.folder;
    EXPECT_TRUE(row.errHas.empty() ? result.err.empty() : Has(result.err, row.errHas)) << result.err;
  }
}

TEST_F(BatchTest, UsageAndFailureStatuses) {
  const std::string map = Put("de_made.bsp", MadeMap(20, 3));
  Put("notes.txt", "not a map");
  fs::create_directory(dir.Path() / "empty");
  struct Row {
    std::vector<std::string> args;
    int status;
    std::string errHas;
  };
  const std::vector<Row> rows = {
      {{"find", "light"}, 2, "usage: lumpwright-cli find STRING MAP..."},
      {{"find", "", map}, 2, "the search string is empty"},
      {{"delete-all", "", map}, 2, "the search string is empty"},
      {{"delete-all", "light", map, "--dry"}, 2, "unknown option '--dry'"},
      {{"dump", map}, 2, "dump needs -o FILE"},
      {{"list", Folder(), Folder()}, 2, "too many arguments"},
      {{"find", "light", dir.File("maps/missing.bsp")}, 1, "missing.bsp: error: No such file.\n"},
      {{"find", "light", dir.File("maps/notes.txt")}, 1, "notes.txt: error: Not a map: the editor lists only *.bsp"},
      {{"delete-all", "light", (dir.Path() / "empty").string(), "--dry-run"}, 1, "no maps in "},
      {{"dump", map, "-o", dir.File("no/such/folder.txt")}, 1, "Error writing the file: "},
  };
  for (const Row& row : rows) {
    const CliResult result = RunArgs(row.args);
    EXPECT_EQ(result.status, row.status) << row.args[0] << " " << row.errHas << "\n" << result.err;
    EXPECT_TRUE(Has(result.err, row.errHas)) << row.errHas << "\nstderr: " << result.err;
  }
  EXPECT_EQ(ReadFileBytes(map), MadeMap(20, 3)) << "no row above may change the map";
}

TEST_F(BatchTest, DeleteAllLeavesTheBytesTheEditorsDeleteAllAndSaveLeave) {
  struct Row {
    std::string name;
    std::string bytes;
    std::string needle;
    bool force = false;  // the text left has errors: stored as the editor stores it, with --force
  };
  const std::vector<Row> rows = {
      {"de_made.bsp", MadeMap(60, 3), "info_player_deathmatch"},
      {"de_made.bsp", MadeMap(60, 3), "infodecal"},  // "{target" values inside the blocks
      {"de_made.bsp", MadeMap(60, 3), "{target"},
      {"de_made.bsp", MadeMap(60, 3), "\"classname\"", true},  // every block
      {"cs_made.bsp", MadeMap(60, 9), "Door {"},
      {"crlf.bsp", mw::MakeTestMap("crlf_entities.bsp"), "light", true},  // worldspawn's "light" too
      {"swapped.bsp", mw::MakeTestMap("swapped_directory.bsp"), "hostage_entity"},
      {"trailing.bsp", mw::MakeTestMap("trailing_data.bsp"), "func_bomb_target"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name + " / " + row.needle);
    test::TempDir editorDir;
    WriteFileBytes(editorDir.Path() / row.name, row.bytes);
    const std::string path = Put(row.name, row.bytes);
    const std::string display = Display(path);
    const test::ReferenceDeleteAllResult reference = test::ReferenceDeleteAll(row.needle, display, 0);
    ASSERT_GT(reference.count, 0) << "a row must delete something";

    const CliResult result =
        row.force ? RunArgs({"delete-all", row.needle, path, "--force"}) : RunArgs({"delete-all", row.needle, path});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              path + ":\n" + CountMessage(reference.count, row.needle) + "The file:  " + row.name + "\nwas saved!\n");
    EXPECT_EQ(Has(result.err, path + ":1:1: warning: no worldspawn"), row.force) << result.err;
    EXPECT_EQ(ReadFileBytes(path), EditorDeleteAllAndSave(editorDir.Path(), row.name, row.needle));
    EXPECT_EQ(Stored(path), LumpForm(reference.text));
  }
}

TEST_F(BatchTest, DryRunAndMapsWithoutAMatchAreNotWritten) {
  const std::vector<std::string> paths = {Put("a.bsp", MadeMap(30, 1)), Put("b.bsp", MadeMap(30, 2)),
                                          Put("c.bsp", MadeMap(30, 4))};
  std::vector<std::string> before;
  std::vector<ino_t> inodes;
  for (const std::string& path : paths) {
    before.push_back(ReadFileBytes(path));
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    inodes.push_back(info.st_ino);
  }

  const CliResult dry = RunArgs({"delete-all", "--dry-run", "info_player_start", Folder()});
  EXPECT_EQ(dry.status, 0) << dry.err;
  for (const std::string& path : paths) {
    const int count = static_cast<int>(BlocksWith(Display(path), "\"info_player_start\"").size());
    ASSERT_GT(count, 0);
    EXPECT_TRUE(Has(
        dry.out, path + ":\n" + CountMessage(count, "info_player_start", "would be deleted") + "Dry run: not saved.\n"))
        << dry.out;
    // The blocks that would go, as find prints them.
    EXPECT_TRUE(Has(dry.out, RunArgs({"find", "info_player_start", path}).out)) << dry.out;
  }
  // Every CT spawn gone: the save's check says so, and stores the text all the same.
  std::string warned;
  for (const std::string& path : paths) {
    warned += path +
              ":1:1: warning: no Counter-Terrorist spawn (info_player_start): the team counts as full and no "
              "one can join it\n";
  }
  EXPECT_EQ(dry.err, warned + "lumpwright-cli: 3 maps read: 3 would change, 0 unchanged, 0 failed\n");

  const CliResult none = RunArgs({"delete-all", "weapon_awp", paths[0], Folder()});
  EXPECT_EQ(none.status, 0) << none.err;
  EXPECT_TRUE(Has(none.out, paths[0] + ": unchanged: no entity contains the string \"weapon_awp\"; not saved\n"))
      << none.out;
  EXPECT_FALSE(Has(none.out, "was saved!"));

  for (size_t i = 0; i < paths.size(); ++i) {
    EXPECT_EQ(ReadFileBytes(paths[i]), before[i]) << paths[i];
    struct stat info {};
    ASSERT_EQ(stat(paths[i].c_str(), &info), 0);
    EXPECT_EQ(info.st_ino, inodes[i]) << paths[i] << " was replaced";
  }
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(maps)) ++files;
  EXPECT_EQ(files, paths.size()) << "no file left behind";
}

TEST_F(BatchTest, AFailingMapIsReportedAndTheOthersAreStillDone) {
  // How the system says a file is read-only.
#if defined(_WIN32)
  const char* const kReadOnlyWords = "its read-only attribute is set";
#else
  const char* const kReadOnlyWords = "mode 0444";
#endif
  struct Row {
    std::string fault;
    std::function<void(const std::string&)> spoil;
    std::string errHas;
  };
  const std::vector<Row> rows = {
      {"broken", [](const std::string& path) { WriteFileBytes(path, mw::MakeTestMap("too_short.bsp")); },
       "b_middle.bsp"},
      {"read-only",
       [](const std::string& path) {
         fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                         fs::perm_options::remove);
       },
       "b_middle.bsp: error: 2 entities containing the string \"info_player_start\" were deleted. Error saving the "
       "file: b_middle.bsp. (the map is read-only (" +
           std::string(kReadOnlyWords) + "))\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.fault);
    fs::remove_all(maps);
    fs::create_directory(maps);
    const std::string first = Put("a_first.bsp", MadeMap(30, 1));
    const std::string middle = Put("b_middle.bsp", MadeMap(30, 2));
    const std::string last = Put("c_last.bsp", MadeMap(30, 4));
    row.spoil(middle);
    const std::string spoiled = ReadFileBytes(middle);

    const CliResult result = RunArgs({"delete-all", "info_player_start", Folder()});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(Has(result.err, row.errHas)) << result.err;
    EXPECT_TRUE(Has(result.err, "lumpwright-cli: 3 maps read: 2 changed, 0 unchanged, 1 failed\n")) << result.err;
    EXPECT_TRUE(Has(result.out, "The file:  a_first.bsp\nwas saved!\n")) << result.out;
    EXPECT_TRUE(Has(result.out, "The file:  c_last.bsp\nwas saved!\n")) << result.out;
    EXPECT_FALSE(Has(Display(first), "info_player_start"));
    EXPECT_FALSE(Has(Display(last), "info_player_start"));
    EXPECT_EQ(ReadFileBytes(middle), spoiled);

    // Reading commands go on past a broken map as well.
    const CliResult found = RunArgs({"find", "info_player_start", first, middle, last});
    EXPECT_EQ(found.status, row.fault == "broken" ? 1 : 0) << found.err;
    EXPECT_TRUE(Has(found.out, middle + ":") == (row.fault != "broken")) << found.out;
  }
}

TEST_F(BatchTest, FindSelectsWholeBlocksAroundBracesInQuotes) {
  const std::vector<std::string> blocks = {
      "{\r\n\"classname\" \"worldspawn\"\r\n\"message\" \"{braces} in the title\"\r\n}\r\n",
      "{\r\n\"origin\" \"1 2 3\"\r\n\"texture\" \"{target\"\r\n\"classname\" \"infodecal\"\r\n}\r\n",
      "{\r\n\"classname\" \"func_bomb_target\"\r\n\"target\" \"bomb_target_fx\"\r\n}\r\n",
      "{\r\n\"texture\" \"{TARGET2}\"\r\n\"classname\" \"infodecal\"\r\n}\r\n",
      "{\r\n\"classname\" \"info_player_deathmatch\"\r\n}\r\n",
  };
  std::string display;
  for (const std::string& block : blocks) display += block;
  const std::string bytes = mw::WriteMap(mw::MakeMapContents(LumpForm(display), 2, 4096, 1024));
  const std::string path = Put("de_decals.bsp", bytes);
  ASSERT_EQ(Display(path), display);

  struct Row {
    std::string needle;
    std::vector<size_t> selected;  // indices into `blocks`
  };
  const std::vector<Row> rows = {
      {"infodecal", {1, 3}},
      {"{target", {1}},
      {"bomb_target", {2}},  // twice in one block: selected once
      {"\"classname\"", {0, 1, 2, 3, 4}},
      {"{TARGET2}", {3}},
      {"weapon_awp", {}},
  };
  for (const Row& row : rows) {
    std::string expected;
    for (const size_t index : row.selected) {
      const size_t start = display.find(blocks[index]);
      expected += path + ":" + std::to_string(start) + "-" + std::to_string(start + blocks[index].size()) + "\n" +
                  blocks[index];
    }
    const CliResult result = RunArgs({"find", row.needle, path});
    EXPECT_EQ(result.status, row.selected.empty() ? kExitNothingMatched : 0) << result.err;
    EXPECT_EQ(result.out, expected) << row.needle;
  }
  EXPECT_EQ(ReadFileBytes(path), bytes);
}

TEST_F(BatchTest, AFolderStandsForTheMapsTheEditorListsThere) {
  Put("b.bsp", MadeMap(20, 2));
  Put("A.BSP", MadeMap(20, 1));
  Put("readme.txt", "x");
  fs::create_directory(maps / "old.bsp");
  const std::string a = (maps / "A.BSP").string();
  const std::string b = (maps / "b.bsp").string();

  const CliResult byFolder = RunArgs({"find", "func_bomb_target", Folder()});
  const CliResult byName = RunArgs({"find", "func_bomb_target", a, b});
  EXPECT_EQ(byFolder.status, 0) << byFolder.err;
  EXPECT_EQ(byFolder.out, byName.out);
  EXPECT_TRUE(Has(byFolder.out, a + ":") && Has(byFolder.out, b + ":")) << byFolder.out;

  // dump: every map's display text, one after another, in the list's order.
  const std::string file = dir.File("AllEntities.txt");
  const CliResult dumped = RunArgs({"dump", Folder(), b, "-o", file});
  EXPECT_EQ(dumped.status, 0) << dumped.err;
  EXPECT_EQ(dumped.out, "A file of all entities read during this session was dumped to:\n" + file + "\n");
  EXPECT_EQ(ReadFileBytes(file), Display(a) + Display(b) + Display(b));

  // A broken map leaves its place in the dump empty, and says so.
  Put("c.bsp", mw::MakeTestMap("version_29.bsp"));
  const CliResult partial = RunArgs({"dump", Folder(), "-o", file});
  EXPECT_EQ(partial.status, 1);
  EXPECT_TRUE(Has(partial.err, (maps / "c.bsp").string() + ": error: BSP is version 29, not 30\n")) << partial.err;
  EXPECT_EQ(ReadFileBytes(file), Display(a) + Display(b));
}

// A batch reads the folder once for what killed saves left, and each map's
// save still removes its own, and only where no save holds them.
TEST_F(BatchTest, DeleteAllRemovesWhatKilledSavesLeftBesideEachMap) {
  Put("de_a.bsp", MadeMap(20, 1));
  Put("de_b.bsp", MadeMap(20, 2));
  Put("de_c.bsp", MadeMap(20, 3));
  for (const char* name : {".de_a.bsp.lumpwright-AAAAAA", ".de_b.bsp.lumpwright-BBBBBB", ".de_b.bsp.lumpwright-Held12",
                           ".de_c.bsp.lumpwright-CCCCCC", ".de_gone.bsp.lumpwright-GGGGGG"}) {
    Put(name, "half a map");
  }
  CliResult result;
  {
    const HeldFile held((maps / ".de_b.bsp.lumpwright-Held12").string());
    ASSERT_TRUE(held.Held());
    // de_c.bsp is not saved, so what lies beside it stays.
    result = RunArgs({"delete-all", "\"classname\" \"worldspawn\"", (maps / "de_a.bsp").string(),
                      (maps / "de_b.bsp").string(), "--force"});
  }
  EXPECT_EQ(result.status, 0) << result.err;
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(maps)) left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{".de_b.bsp.lumpwright-Held12", ".de_c.bsp.lumpwright-CCCCCC",
                                            ".de_gone.bsp.lumpwright-GGGGGG", "de_a.bsp", "de_b.bsp", "de_c.bsp"}));
}

TEST(BatchRealMapTest, DeleteAllDecalsKeepsEveryOtherEntityOfDeTw) {
  const fs::path real = fs::path(test::kRealMapsDir) / "de_tw.bsp";
  if (!fs::exists(real)) GTEST_SKIP() << "no " << real;
  test::TempDir dir;
  const std::string map = dir.File("de_tw.bsp");
  WriteFileBytes(map, ReadFileBytes(real));
  const std::string before = Display(map);
  const size_t decals = BlocksWith(before, "\"infodecal\"").size();
  ASSERT_GT(decals, 0U);

  const CliResult result = RunArgs({"delete-all", "infodecal", map});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(Has(result.out, CountMessage(static_cast<int>(decals), "infodecal"))) << result.out;

  const std::string after = Display(map);
  EXPECT_EQ(BlocksWith(after, "").size(), BlocksWith(before, "").size() - decals);
  EXPECT_TRUE(BlocksWith(after, "infodecal").empty());
  // The blocks next to the decals, the bomb targets among them, are whole.
  for (const char* kept : {"bomb_target", "\"classname\" \"func_door\"", "\"classname\" \"light\""}) {
    EXPECT_EQ(BlocksWith(after, kept), BlocksWith(before, kept)) << kept;
  }
  for (const std::string& block : BlocksWith(before, "")) {
    if (!Has(block, "\"infodecal\"")) {
      EXPECT_TRUE(Has(after, block)) << block;
    }
  }
}

// An operator's nightly recipe over a folder of real maps: once into .ent
// files beside them, then into the maps; the next night changes nothing and
// says nothing.
TEST(BatchRealMapTest, RecipeStripsWeaponsAddsSpawnsAndChangesTheSkyOnce) {
  std::error_code error;
  if (!fs::exists(test::kRealMapsDir, error)) GTEST_SKIP() << "no " << test::kRealMapsDir;
  test::TempDir dir;
  const fs::path maps = dir.File("maps");
  const fs::path recipes = dir.File("recipes");
  const fs::path ents = dir.File("ents");
  for (const fs::path& folder : {maps, recipes, ents}) fs::create_directory(folder);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(test::kRealMapsDir)) {
    if (entry.path().extension() != ".bsp") continue;
    names.push_back(entry.path().filename().string());
    WriteFileBytes((maps / names.back()).string(), ReadFileBytes(entry.path().string()));
  }
  ASSERT_GT(names.size(), 1U);
  WriteFileBytes(
      (recipes / "global_filters.cfg").string(),
      "; every map\nfilter:\n{\n\t\"classname\" \"/^weapon_/\"\n}\n{\n\t\"classname\" \"game_player_equip\"\n}\n"
      "modify:\n{\n\tmatch:\n\t{\n\t\t\"classname\" \"worldspawn\"\n\t}\n\treplace:\n\t{\n"
      "\t\t\"skyname\" \"cx\"\n\t}\n\tinsert:\n\t{\n\t\t\"skyname\" \"cx\"\n\t}\n}\n");
  WriteFileBytes((recipes / "de_tw.cfg").string(),
                 "add:\n{ \"classname\" \"info_player_deathmatch\" \"origin\" \"-1024 512 36\" }\n"
                 "{ \"classname\" \"info_player_start\" \"origin\" \"1024 512 36\" }\n");
  const std::string tw = (maps / "de_tw.bsp").string();
  const std::string spawnsBefore = RunArgs({"spawns", tw}).out;
  const std::string twBefore = ReadFileBytes(tw);

  const CliResult toEnt = RunArgs({"patch", maps.string(), "--recipes", recipes.string(), "--ent-out", ents.string()});
  EXPECT_EQ(toEnt.status, 0) << toEnt.err;
  EXPECT_TRUE(ReadFileBytes(tw) == twBefore) << "--ent-out wrote into the map";
  std::vector<std::string> entFiles;
  for (const std::string& name : names) entFiles.push_back((ents / fs::path(name).replace_extension(".ent")).string());
  std::vector<std::string> check = {"check", "-q"};
  check.insert(check.end(), entFiles.begin(), entFiles.end());
  const CliResult checked = RunArgs(check);
  EXPECT_EQ(checked.status, 0) << checked.out << checked.err;

  const CliResult patched = RunArgs({"patch", maps.string(), "--recipes", recipes.string()});
  EXPECT_EQ(patched.status, 0) << patched.err;
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string map = (maps / names[i]).string();
    EXPECT_EQ(RunArgs({"export", map}).out, ReadFileBytes(entFiles[i])) << names[i];
    EXPECT_EQ(RunArgs({"get", "skyname", map, "--class", "worldspawn"}).out, map + "\t0\tworldspawn\tcx\n");
    EXPECT_FALSE(Has(RunArgs({"count", map}).out, "\tweapon_")) << names[i];
  }
  const auto spawns = [](const std::string& line, int column) {
    std::istringstream fields(line);
    std::string field;
    for (int i = 0; i <= column; ++i) std::getline(fields, field, '\t');
    return std::stoi(field);
  };
  const std::string spawnsAfter = RunArgs({"spawns", tw}).out;
  EXPECT_EQ(spawns(spawnsAfter, 1), spawns(spawnsBefore, 1) + 1);
  EXPECT_EQ(spawns(spawnsAfter, 2), spawns(spawnsBefore, 2) + 1);

  const CliResult again = RunArgs({"patch", "--quiet", maps.string(), "--recipes", recipes.string()});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.out + again.err, "");
}

}  // namespace
}  // namespace lw
