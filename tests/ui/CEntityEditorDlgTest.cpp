#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "bsp/BspTestSupport.h"
#include "entities/EntityText.h"
#include "mapwriter/MapWriter.h"
#include "platform/Paths.h"
#include "settings/MapFolderSettings.h"
#include "support/FailingFileSystem.h"
#include "support/HeldFile.h"
#include "support/InMemorySettingsStore.h"
#include "support/RecordingMessages.h"
#include "support/TempDir.h"
#include "ui/CEntityEditorDlg.h"
#include "ui/InMemoryMainWindowView.h"

namespace lw {
namespace {

using test::SetReadOnly;

constexpr const char* kWarning =
    "WARNING!\n\nThis program makes PERMANENT changes to your map files.\n"
    "Back Up all of your .bsp files before making changes to them.";

std::string Entities(const std::string& marker) {
  return "{\n\"classname\" \"worldspawn\"\n\"message\" \"" + marker +
         "\"\n}\n"
         "{\n\"classname\" \"info_player_deathmatch\"\n\"origin\" \"0 0 0\"\n}\n"
         "{\n\"classname\" \"light\"\n}\n"
         "{\n\"classname\" \"info_player_deathmatch\"\n\"origin\" \"8 8 8\"\n}\n";
}

std::string MakeMap(const std::string& marker) {
  return mapwriter::WriteMap(mapwriter::MakeMapContents(Entities(marker)));
}

// A message's first line: the program's own words, without the system's
// reason on the lines under it.
std::string FirstLine(const std::string& message) { return message.substr(0, message.find('\n')); }

// The window, its logic and a folder of maps, driven the way a user would.
class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    maps = dir.Path() / "maps";
    std::filesystem::create_directory(maps);
    test::WriteFileBytes(maps / "alpha.bsp", MakeMap("alpha"));
    test::WriteFileBytes(maps / "Beta.BSP", MakeMap("beta"));
    test::WriteFileBytes(maps / "notes.txt", "not a map");
    std::filesystem::create_directory(maps / "folder.bsp");
    settings.Put(kSettingsKey, kInstallPathValue, Folder());
  }

  std::string Folder() const { return maps.string() + kPathSeparator; }
  std::string MapFile(const std::string& name) const { return test::ReadFileBytes(maps / name); }

  void Start(const std::string& commandLine = "lumpwright") {
    commandLine_ = commandLine;
    CEntityEditorDlg::Options options{[this] { return CString(commandLine_); }, CString(dir.File("AllEntities.txt"))};
    dlg = std::make_unique<CEntityEditorDlg>(view, settings, files, options);
    dlg->OnInitDialog();
  }

  void Choose(const std::string& name) {
    ASSERT_TRUE(view.SelectMap(CString(name))) << name;
    dlg->OnSelchangeMapList();
  }

  void Type(const std::string& text) {
    view.edit.SetSel(0, 0);
    view.edit.ReplaceSel(CString(text));
  }

  test::TempDir dir;
  std::filesystem::path maps;
  test::RecordingMessages messages;
  test::InMemorySettingsStore settings;
  test::FailingFileSystem files;
  InMemoryMainWindowView view{messages};
  std::unique_ptr<CEntityEditorDlg> dlg;
  std::string commandLine_;
};

TEST_F(EditorTest, StartsWithTheStoredFolderListed) {
  Start();
  EXPECT_TRUE(messages.all.empty());
  EXPECT_EQ(dlg->GetMapFolder(), CString(Folder()));
  EXPECT_EQ(view.folderText, CString(Folder()));
  ASSERT_EQ(view.maps.size(), 2u);  // case-blind .bsp, no folder, sorted without regard to case
  EXPECT_EQ(view.maps[0], "alpha.bsp");
  EXPECT_EQ(view.maps[1], "Beta.BSP");
  EXPECT_EQ(view.statusText, "No map loaded");
  EXPECT_EQ(view.edit.GetLimitText(), 500000u);
  EXPECT_EQ(view.searchSelection, 0);
  EXPECT_EQ(view.SearchItem(0), "info_player_deathmatch");
  EXPECT_EQ(view.defaultButton, 6);
  EXPECT_EQ(view.searchFocusCount, 1);
  EXPECT_TRUE(view.pickerTitles.empty());
}

TEST_F(EditorTest, FirstRunWarnsAndTriesTheGameKeys) {
  const std::string game = dir.File("game");
  std::filesystem::create_directories(game + "/cstrike/maps");
  test::WriteFileBytes(game + "/cstrike/maps/de_x.bsp", MakeMap("x"));
  // A Steam install: the game in the second library that Steam's own folder lists.
  const std::string steam = dir.File("Steam");
  const std::string library = dir.File("SteamLibrary");
  const std::string steamGame = library + "/steamapps/common/Half-Life";
  std::filesystem::create_directories(steam + "/steamapps");
  std::filesystem::create_directories(steamGame + "/cstrike/maps");
  test::WriteFileBytes(steamGame + "/cstrike/maps/de_x.bsp", MakeMap("x"));
  // Steam doubles the backslashes of Windows paths in its files.
  const auto vdfPath = [](std::string path) {
    for (size_t at = 0; (at = path.find('\\', at)) != std::string::npos; at += 2) path.insert(at, 1, '\\');
    return path;
  };
  test::WriteFileBytes(steam + "/steamapps/libraryfolders.vdf",
                       "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"" + vdfPath(steam) +
                           "\"\n\t}\n\t\"1\"\n\t{\n\t\t\"path\"\t\t\"" + vdfPath(library) + "\"\n\t}\n}\n");
  const struct {
    const char* name;
    const char* key;
    const char* value;
    std::string stored;
    std::string gameFolder;
  } cases[] = {{"Counter-Strike key", kCounterStrikeKey, kInstallPathValue, game, game},
               {"Half-Life key", kHalfLifeKey, kInstallPathValue, game, game},
               {"Steam's key", kSteamKey, kSteamPathValue, steam, std::filesystem::canonical(steamGame).string()}};
  for (const auto& c : cases) {
    test::InMemorySettingsStore fresh;
    fresh.Put(c.key, c.value, c.stored);
    test::RecordingMessages recorded;
    InMemoryMainWindowView window(recorded);
    CEntityEditorDlg editor(window, fresh, files, {[] { return CString(); }, CString()});
    editor.OnInitDialog();
    EXPECT_EQ(recorded.shown, std::vector<std::string>{kWarning}) << c.name;
    EXPECT_EQ(editor.GetMapFolder(), GameMapsFolder(CString(c.gameFolder))) << c.name;
    EXPECT_EQ(window.maps, std::vector<CString>{"de_x.bsp"}) << c.name;
  }
}

// The map list's filter: names holding the text in either case; the map
// shown stays chosen while listed; F5 keeps the filter, another folder not.
TEST_F(EditorTest, TheMapFilterListsTheNamesHoldingItsText) {
  Start();
  Choose("alpha.bsp");
  dlg->OnMapFilterChanged("BETA");
  EXPECT_EQ(view.maps, std::vector<CString>{"Beta.BSP"});
  EXPECT_EQ(view.mapSelection, -1);
  dlg->OnMapFilterChanged("ph");
  EXPECT_EQ(view.maps, std::vector<CString>{"alpha.bsp"});
  EXPECT_EQ(view.mapSelection, 0);
  dlg->OnRefreshMapList();
  EXPECT_EQ(view.maps, std::vector<CString>{"alpha.bsp"});
  view.mapFilter = "ph";
  EXPECT_EQ(dlg->FillMapList(CString(Folder()) + "*.bsp"), 2);
  EXPECT_EQ(view.mapFilter, CString());
  dlg->OnRefreshMapList();
  EXPECT_EQ(view.maps.size(), 2u);
}

TEST_F(EditorTest, EmptyFolderOpensThePickerAtOnce) {
  settings.Put(kSettingsKey, kInstallPathValue, dir.File("nowhere") + "/");
  view.pickerAnswers.push_back(CString(maps.string()));
  Start();
  EXPECT_EQ(view.pickerTitles, std::vector<std::string>{"Select a folder that contains bsp files.."});
  EXPECT_EQ(dlg->GetMapFolder(), CString(Folder()));
  EXPECT_EQ(view.maps.size(), 2u);
}

TEST_F(EditorTest, StoredFolderWithoutSeparatorIsAPrefixPattern) {
  // "…/maps" lists the entries of the parent folder that begin with "maps".
  test::WriteFileBytes(dir.Path() / "maps_extra.bsp", MakeMap("extra"));
  settings.Put(kSettingsKey, kInstallPathValue, maps.string());
  Start();
  EXPECT_EQ(view.maps, std::vector<CString>{"maps_extra.bsp"});
  EXPECT_TRUE(messages.all.empty());
}

TEST_F(EditorTest, ChoosingAMapShowsItsEntities) {
  Start();
  Choose("alpha.bsp");
  EXPECT_EQ(view.statusText, "Entities for map alpha.bsp");
  EXPECT_EQ(view.edit.GetText(), ToDisplayText(Entities("alpha").c_str()));
  EXPECT_FALSE(view.edit.GetModify());
  EXPECT_EQ(dlg->GetMapPath(), CString(Folder() + "alpha.bsp"));
  EXPECT_FALSE(view.waitCursorShown);
}

TEST_F(EditorTest, FailedLoadKeepsThePreviousText) {
  test::WriteFileBytes(maps / "broken.bsp", "abc");
  Start();
  Choose("alpha.bsp");
  Choose("broken.bsp");
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_NE(messages.shown[0].find("broken.bsp"), std::string::npos);
  EXPECT_EQ(view.statusText, "No map loaded");
  EXPECT_EQ(view.edit.GetText(), ToDisplayText(Entities("alpha").c_str()));
  EXPECT_EQ(dlg->GetMapName(), "broken.bsp");
}

TEST_F(EditorTest, YesWhileSwitchingSavesThePreviousMapAndReadsTheNewOneTwice) {
  Start("lumpwright -d");
  Choose("alpha.bsp");
  Type("typed ");
  view.edit.SetSel(0, 0);
  messages.ScriptAnswers({true});
  Choose("Beta.BSP");
  EXPECT_EQ(messages.asked, std::vector<std::string>{"Do you want to save your changes to the map alpha.bsp ?"});
  EXPECT_EQ(messages.shown, std::vector<std::string>{"The file:  alpha.bsp\nwas saved!"});
  EXPECT_EQ(view.statusText, "Entities for map Beta.BSP");
  const CString alpha = ToDisplayText(Entities("alpha").c_str());
  const CString beta = ToDisplayText(Entities("beta").c_str());
  EXPECT_EQ(dlg->GetEntityDump(), alpha + beta + beta);
  EXPECT_EQ(view.waitCursorShows, 2);  // once per selection; the nested load keeps it up
  EXPECT_FALSE(view.waitCursorShown);
  // The typed text lay before the first brace, so the saved map has the same entities.
  CBspFile check(messages);
  ASSERT_EQ(check.LoadMap(CString(Folder() + "alpha.bsp")), 0);
  EXPECT_EQ(std::string(check.GetEntityText()), Entities("alpha"));
}

TEST_F(EditorTest, NoWhileSwitchingDropsTheEdits) {
  Start();
  Choose("alpha.bsp");
  const std::string before = MapFile("alpha.bsp");
  dlg->OnDeleteAll();
  messages.ScriptAnswers({false});
  Choose("Beta.BSP");
  EXPECT_EQ(messages.asked.size(), 1u);
  EXPECT_EQ(MapFile("alpha.bsp"), before);
  EXPECT_EQ(view.edit.GetText(), ToDisplayText(Entities("beta").c_str()));
}

TEST_F(EditorTest, SaveWritesTheMapAndShowsItAsSaved) {
  Start();
  Choose("alpha.bsp");
  dlg->OnDeleteAll();
  ASSERT_EQ(messages.shown.back(), "2 entities containing the string\n\"info_player_deathmatch\"\nwere deleted.");
  view.edit.SetSel(12, 20);
  view.edit.SetFirstVisibleLine(2);
  dlg->OnSave();
  EXPECT_EQ(messages.shown.back(), "The file:  alpha.bsp\nwas saved!");
  EXPECT_FALSE(view.edit.GetModify());
  // Shown again as stored, at the place the user was.
  int start = 0;
  int end = 0;
  view.edit.GetSel(start, end);
  EXPECT_EQ(std::make_pair(start, end), std::make_pair(12, 20));
  EXPECT_EQ(view.edit.GetFirstVisibleLine(), 2);
  const std::string expected =
      "{\n\"classname\" \"worldspawn\"\n\"message\" \"alpha\"\n}\n{\n\"classname\" \"light\"\n}\n";
  EXPECT_EQ(view.edit.GetText(), ToDisplayText(expected.c_str()));
  CBspFile check(messages);
  ASSERT_EQ(check.LoadMap(CString(Folder() + "alpha.bsp")), 0);
  EXPECT_EQ(std::string(check.GetEntityText()), expected);
}

TEST_F(EditorTest, FailedSaveKeepsTheEditsAndTheMap) {
  Start();
  Choose("alpha.bsp");
  dlg->OnDeleteAll();
  const CString edited = view.edit.GetText();
  const std::string before = MapFile("alpha.bsp");
  SetReadOnly((maps / "alpha.bsp").string(), true);
  dlg->OnSave();
  EXPECT_EQ(FirstLine(messages.shown.back()), "Error saving the file: alpha.bsp.");
  EXPECT_NE(messages.shown.back().find("\n("), std::string::npos) << "the reason, on a line of its own";
  EXPECT_EQ(view.edit.GetText(), edited);
  EXPECT_TRUE(view.edit.GetModify());
  EXPECT_EQ(MapFile("alpha.bsp"), before);
  // Once the cause is gone the same text saves.
  SetReadOnly((maps / "alpha.bsp").string(), false);
  dlg->OnSave();
  EXPECT_EQ(messages.shown.back(), "The file:  alpha.bsp\nwas saved!");
  EXPECT_FALSE(view.edit.GetModify());
}

// Wherever the user says Yes to saving and nothing can be saved, the edits
// stay: in the editor, with their modified flag, on the map they belong to.
TEST_F(EditorTest, ASaveThatFailsNeverLosesTheEdits) {
  const std::string alpha = (maps / "alpha.bsp").string();
  const struct {
    const char* name;
    bool loadFails;        // the chosen map cannot be read (no map is loaded)
    int action;            // 0 Save, 1 choose Beta.BSP and say Yes, 2 close and say Yes
    const char* expected;  // the message the failure shows
  } cases[] = {
      {"Save, map read-only", false, 0, "Error saving the file: alpha.bsp."},
      {"switch, map read-only", false, 1, "Error saving the file: alpha.bsp."},
      {"exit, map read-only", false, 2, "Error saving the file: alpha.bsp."},
      {"Save after a failed load", true, 0, "The changes were not saved: no map is loaded."},
      {"switch after a failed load", true, 1, "The changes were not saved: no map is loaded."},
      {"exit after a failed load", true, 2, "The changes were not saved: no map is loaded."},
  };
  const std::string before = MapFile("alpha.bsp");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    messages = test::RecordingMessages();
    Start();
    Choose("alpha.bsp");
    if (c.loadFails) {
      test::WriteFileBytes(maps / "alpha.bsp", "not a map");
      Choose("alpha.bsp");
      ASSERT_EQ(view.statusText, "No map loaded");
    }
    dlg->OnDeleteAll();
    const CString edited = view.edit.GetText();
    const int chosen = view.mapSelection;
    const std::string onDisk = MapFile("alpha.bsp");
    if (!c.loadFails) {
      SetReadOnly(alpha, true);
    }
    messages.shown.clear();
    if (c.action != 0) messages.ScriptAnswers({true});
    bool closed = false;
    switch (c.action) {
      case 0: dlg->OnSave(); break;
      case 1: Choose("Beta.BSP"); break;
      default: closed = dlg->OnCloseRequest(); break;
    }
    EXPECT_FALSE(closed);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(FirstLine(messages.shown.front()), c.expected);
    EXPECT_EQ(view.edit.GetText(), edited);
    EXPECT_TRUE(view.edit.GetModify());
    EXPECT_EQ(view.mapSelection, chosen) << "the map list moved on";
    EXPECT_EQ(dlg->GetMapName(), "alpha.bsp");
    EXPECT_EQ(MapFile("alpha.bsp"), onDisk);

    // A No lets the user go on, leaving the map as it is.
    messages.ScriptAnswers({false});
    EXPECT_TRUE(dlg->OnCloseRequest());
    dlg->OnDestroy();
    EXPECT_EQ(messages.asked.size(), c.action == 0 ? 1u : 2u) << "asked again at exit";
    SetReadOnly(alpha, false);
    test::WriteFileBytes(maps / "alpha.bsp", before);
  }
}

TEST_F(EditorTest, BrowseAsksAboutTheOldMapThenShowsNoMap) {
  const auto other = dir.Path() / "other";
  std::filesystem::create_directory(other);
  test::WriteFileBytes(other / "cs_new.bsp", MakeMap("new"));
  Start();
  Choose("alpha.bsp");
  dlg->OnDeleteAll();
  view.pickerAnswers.push_back(CString(other.string()));
  messages.ScriptAnswers({true});
  dlg->BrowseForMapFolder();
  EXPECT_EQ(messages.asked.back(), "Do you want to save your changes to the map alpha.bsp ?");
  CBspFile check(messages);
  ASSERT_EQ(check.LoadMap(CString(Folder() + "alpha.bsp")), 0);
  EXPECT_EQ(std::string(check.GetEntityText()).find("info_player_deathmatch"), std::string::npos);
  EXPECT_EQ(dlg->GetMapFolder(), CString(other.string() + kPathSeparator));
  EXPECT_EQ(view.maps, std::vector<CString>{"cs_new.bsp"});
  EXPECT_EQ(view.mapSelection, -1);
  EXPECT_EQ(view.edit.GetText(), "");
  EXPECT_FALSE(view.edit.GetModify());
  EXPECT_EQ(view.statusText, "No map loaded");
}

// Every way the window's questions, the disk or the map list could lose an
// edit or write a map that is not the one loaded, after the user added a
// block to alpha.bsp: what lands on disk and what the window keeps.
TEST_F(EditorTest, NoAnswerLosesAnEditOrWritesAMapChangedSinceItWasLoaded) {
  using Answer = MessageSink::Answer;
  const std::string original = MakeMap("alpha");
  // alpha.bsp as another program rewrote it: other geometry, other text.
  const std::string newer = mapwriter::WriteMap(mapwriter::MakeMapContents(Entities("newer"), 9));
  const std::string added = "{\r\n\"classname\" \"info_target\"\r\n}\r\n";
  const auto empty = dir.Path() / "empty";
  std::filesystem::create_directory(empty);
  enum class Disk { kOriginal, kNewer, kEditsSaved, kEditsIntoNewer, kGone };
  struct Row {
    const char* name;
    std::function<void()> act;
    Disk disk;
    bool keepsEdits;  // the user's text stays, with its modified flag
    std::vector<std::string> asked;
  };
  const std::string saveQuestion = "Do you want to save your changes to the map alpha.bsp ?";
  const std::string changedQuestion =
      "The map alpha.bsp has changed on disk since it was loaded.\n\n"
      "Do you want to store your text into the map as it is on disk now? Its own geometry is kept.";
  const std::string errorsQuestion =
      "The text has 1 error the game will refuse:\nline 5: text outside a block: only blank space may stand "
      "between blocks\n\nSave anyway?";
  const auto typeJunk = [&] {
    view.edit.SetSel(0, 0);
    const int afterWorld = view.edit.GetText().Find("}\r\n") + 3;
    view.edit.SetSel(afterWorld, afterWorld);
    view.edit.ReplaceSel("junk\r\n");
  };
  const Row rows[] = {
      {"changed on disk, Yes",
       [&] {
         test::WriteFileBytes(maps / "alpha.bsp", newer);
         messages.ScriptAnswers({true});
         dlg->OnSave();
       },
       Disk::kEditsIntoNewer,
       false,
       {changedQuestion}},
      {"changed on disk, No",
       [&] {
         test::WriteFileBytes(maps / "alpha.bsp", newer);
         messages.ScriptAnswers({false});
         dlg->OnSave();
       },
       Disk::kNewer,
       true,
       {changedQuestion}},
      {"deleted on disk",
       [&] {
         std::filesystem::remove(maps / "alpha.bsp");
         dlg->OnSave();
       },
       Disk::kGone,
       true,
       {}},
      {"Cancel at a switch",
       [&] {
         messages.ScriptAnswers({Answer::kCancel});
         Choose("Beta.BSP");
       },
       Disk::kOriginal,
       true,
       {saveQuestion}},
      {"Cancel at Browse",
       [&] {
         view.pickerAnswers.push_back(CString(empty.string()));
         messages.ScriptAnswers({Answer::kCancel});
         dlg->BrowseForMapFolder();
       },
       Disk::kOriginal,
       true,
       {saveQuestion}},
      {"Cancel at exit",
       [&] {
         messages.ScriptAnswers({Answer::kCancel});
         EXPECT_FALSE(dlg->OnCloseRequest());
       },
       Disk::kOriginal,
       true,
       {saveQuestion}},
      {"Browse to an empty folder, then Save",
       [&] {
         view.pickerAnswers.push_back(CString(empty.string()));
         messages.ScriptAnswers({Answer::kNo});
         dlg->BrowseForMapFolder();
         EXPECT_EQ(view.edit.GetText(), "");
         Type("typed into no map");
         dlg->OnSave();
       },
       Disk::kOriginal,
       false,
       {saveQuestion}},
      {"an emptied selection",
       [&] {
         view.mapSelection = -1;
         dlg->OnSelchangeMapList();
       },
       Disk::kOriginal,
       true,
       {}},
      {"Save with errors, Yes",
       [&] {
         typeJunk();
         messages.ScriptAnswers({true});
         dlg->OnSave();
       },
       Disk::kEditsSaved,
       false,
       {errorsQuestion}},
      {"Save with errors, No",
       [&] {
         typeJunk();
         messages.ScriptAnswers({false});
         dlg->OnSave();
         int start = 0;
         int caret = 0;
         view.edit.GetSel(start, caret);
         EXPECT_EQ(caret, view.edit.GetText().Find("junk")) << "the caret goes to the error";
       },
       Disk::kOriginal,
       true,
       {errorsQuestion}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    test::WriteFileBytes(maps / "alpha.bsp", original);
    settings.Put(kSettingsKey, kInstallPathValue, Folder());
    messages = test::RecordingMessages();
    Start();
    Choose("alpha.bsp");
    const int alpha = view.mapSelection;
    const int end = static_cast<int>(view.edit.GetText().Size());
    view.edit.SetSel(end, end);
    view.edit.ReplaceSel(CString(added));
    row.act();
    const CString left = view.edit.GetText();

    EXPECT_EQ(messages.asked, row.asked);
    const auto path = maps / "alpha.bsp";
    switch (row.disk) {
      case Disk::kOriginal: EXPECT_EQ(MapFile("alpha.bsp"), original); break;
      case Disk::kNewer: EXPECT_EQ(MapFile("alpha.bsp"), newer); break;
      case Disk::kGone:
        EXPECT_FALSE(std::filesystem::exists(path)) << "a deleted map is not made again";
        EXPECT_EQ(messages.shown, std::vector<std::string>{"Error saving the file: alpha.bsp.\nThe map no longer "
                                                           "exists; it is not made again."});
        break;
      case Disk::kEditsSaved:
      case Disk::kEditsIntoNewer: {
        CString lump = left;
        ToLumpText(lump);
        CBspFile check(messages);
        ASSERT_EQ(check.LoadMap(CString(path.string())), 0);
        EXPECT_EQ(std::string(check.GetEntityText()), lump.Str());
        // The geometry is the one on disk: the newer map's, or the original's.
        auto geometry = test::MapBlocks(row.disk == Disk::kEditsIntoNewer ? newer : original);
        auto saved = test::MapBlocks(MapFile("alpha.bsp"));
        geometry.erase("lump 0");
        saved.erase("lump 0");
        EXPECT_TRUE(saved == geometry) << "every other lump is the one on disk";
        EXPECT_NE(view.edit.GetText().Find("info_target"), -1) << "shown again as saved";
        break;
      }
    }
    if (row.keepsEdits) {
      EXPECT_NE(left.Find("info_target"), -1) << "the user's block";
      EXPECT_TRUE(view.edit.GetModify());
      EXPECT_EQ(view.mapSelection, alpha);
      EXPECT_EQ(dlg->GetMapName(), "alpha.bsp");
    }
  }
}

TEST_F(EditorTest, CancelledPickerChangesNothing) {
  Start();
  dlg->BrowseForMapFolder();
  EXPECT_EQ(dlg->GetMapFolder(), CString(Folder()));
  EXPECT_EQ(view.maps.size(), 2u);
}

TEST_F(EditorTest, ExitAsksStoresTheFolderAndWritesTheDump) {
  Start("/usr/bin/lumpwright -debug");
  Choose("alpha.bsp");
  dlg->OnDeleteAll();
  messages.ScriptAnswers({true});
  dlg->OnDestroy();
  const std::string dumpPath = dir.File("AllEntities.txt");
  ASSERT_GE(messages.all.size(), 3u);
  EXPECT_EQ(messages.all[messages.all.size() - 3], "? Do you want to save your changes to the map alpha.bsp ?");
  EXPECT_EQ(messages.all.back(), "A file of all entities read during this session was dumped to:\n" + dumpPath);
  EXPECT_EQ(settings.Get(kSettingsKey, kInstallPathValue), Folder());
  // The dump holds the first load and the reload after the save, in that order.
  const std::string dump = test::ReadFileBytes(dumpPath);
  EXPECT_EQ(dump, dlg->GetEntityDump().Str());
  const std::string saved =
      "{\n\"classname\" \"worldspawn\"\n\"message\" \"alpha\"\n}\n{\n\"classname\" \"light\"\n}\n";
  EXPECT_EQ(dump, ToDisplayText(Entities("alpha").c_str()).Str() + ToDisplayText(saved.c_str()).Str());
}

TEST_F(EditorTest, DumpIsOnlyWrittenWithTheSwitch) {
  Start("lumpwright");
  Choose("alpha.bsp");
  commandLine_ = "lumpwright -d";  // the switch is read afresh at exit
  dlg->OnDestroy();
  EXPECT_EQ(test::ReadFileBytes(dir.File("AllEntities.txt")), "");
  EXPECT_EQ(messages.shown.back(),
            "A file of all entities read during this session was dumped to:\n" + dir.File("AllEntities.txt"));
}

TEST_F(EditorTest, DumpWriteFailureIsReported) {
  Start("lumpwright -d");
  Choose("alpha.bsp");
  files.FailAt(test::FileOp::kWrite, 1);
  dlg->OnDestroy();
  EXPECT_EQ(messages.shown.back(), "Error writing the file: " + dir.File("AllEntities.txt") + ".");
}

// Find, Find Next, Delete and Delete All on a loaded map, step by step.
TEST_F(EditorTest, SearchStepsThroughTheBlocks) {
  view.hasFindFeedback = true;
  Start();
  Choose("alpha.bsp");
  const std::string text = view.edit.GetText().Str();
  const int first = static_cast<int>(text.find("{\r\n\"classname\" \"info_player_deathmatch\""));
  const int second = static_cast<int>(text.rfind("{\r\n\"classname\" \"info_player_deathmatch\""));
  const int secondEnd = static_cast<int>(text.size());
  int s = 0;
  int e = 0;

  const auto feedback = [this](const char* expected) { EXPECT_EQ(view.findFeedback, CString(expected)); };
  dlg->OnFind();
  view.edit.GetSel(s, e);
  EXPECT_EQ(s, first);
  EXPECT_EQ(view.edit.FocusCount(), 1);
  feedback("Block 1 of 2 containing \"info_player_deathmatch\"");
  dlg->OnFindNext();
  view.edit.GetSel(s, e);
  EXPECT_EQ(s, second);
  EXPECT_EQ(e, secondEnd);
  EXPECT_EQ(dlg->GetSearchPosition(), secondEnd + 1);
  feedback("Block 2 of 2 containing \"info_player_deathmatch\"");
  dlg->OnFindNext();  // past the end: starts again at the top
  view.edit.GetSel(s, e);
  EXPECT_EQ(s, first);
  feedback("Block 1 of 2 containing \"info_player_deathmatch\"");

  dlg->OnDelete();
  EXPECT_EQ(dlg->GetSearchPosition(), first + 1);
  EXPECT_TRUE(view.edit.GetModify());
  dlg->OnFindNext();
  view.edit.GetSel(s, e);
  EXPECT_EQ(e, static_cast<int>(view.edit.GetText().Size()));
  feedback("Block 1 of 1 containing \"info_player_deathmatch\"");

  // The world is the first block: after it, nothing more is found until the
  // search passes the end.
  view.TypeSearch("worldspawn");
  dlg->OnFind();
  feedback("Block 1 of 1 containing \"worldspawn\"");
  dlg->OnFindNext();
  feedback("No more blocks contain \"worldspawn\" after the caret");
  view.TypeSearch("INFO_PLAYER_DEATHMATCH");
  dlg->OnFind();
  feedback("No block contains \"INFO_PLAYER_DEATHMATCH\"");
  view.edit.SetModify(false);
  Choose("Beta.BSP");
  feedback("");

  view.TypeSearch("");
  const int before = dlg->GetSearchPosition();
  dlg->OnFindNext();
  EXPECT_EQ(dlg->GetSearchPosition(), before);
  dlg->OnDeleteAll();
  EXPECT_EQ(dlg->GetSearchPosition(), 0);
  view.TypeSearch("INFO_PLAYER_DEATHMATCH");
  dlg->OnDeleteAll();
  EXPECT_EQ(messages.shown.size(), 0u);
}

}  // namespace
}  // namespace lw
