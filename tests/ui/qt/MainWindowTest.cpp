// The real Qt main window over a folder of maps made for the test, worked with
// the mouse and the keyboard as a user works it; the messages it shows come to
// a recorder that answers them. What is checked is what the user sees: the
// editor's own bytes, the selection, the messages, and what lands on disk.

#include <Qsci/qsciscintilla.h>

#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "TestPaths.h"
#include "bsp/CBspFile.h"
#include "entities/EntityText.h"
#include "mapwriter/MapWriter.h"
#include "settings/MapFolderSettings.h"
#include "support/HeldFile.h"
#include "support/InMemorySettingsStore.h"
#include "support/RecordingMessages.h"
#include "support/TempDir.h"
#include "ui/Resource.h"
#include "ui/qt/QtMainWindow.h"

namespace lw::qt {
namespace {

// The Exit button: the system's OK command.
constexpr int kIdOk = 1;
constexpr const char* kPickerTitle = "Select a folder that contains bsp files..";
constexpr const char* kSaveQuestion = "? Do you want to save your changes to the map alpha.bsp ?";
constexpr const char* kSaveFailed = "Error saving the file: alpha.bsp.\n(the map is read-only (mode 0444))";
constexpr const char* kSaved = "The file:  alpha.bsp\nwas saved!";

// alpha.bsp's entity blocks, in lump form.
enum Block { kWorld, kDeathmatch1, kStart, kDeathmatch2, kLight, kDeathmatch3 };
constexpr const char* kAlphaBlocks[] = {
    "{\n\"classname\" \"worldspawn\"\n\"message\" \"alpha\"\n}\n",
    "{\n\"classname\" \"info_player_deathmatch\"\n\"origin\" \"0 0 0\"\n}\n",
    "{\n\"classname\" \"info_player_start\"\n\"origin\" \"1 1 1\"\n}\n",
    "{\n\"classname\" \"info_player_deathmatch\"\n\"origin\" \"8 8 8\"\n}\n",
    "{\n\"classname\" \"light\"\n\"_light\" \"255 255 128 200\"\n}\n",
    "{\n\"classname\" \"info_player_deathmatch\"\n\"origin\" \"9 9 9\"\n}\n",
};
const std::vector<int> kAllBlocks = {kWorld, kDeathmatch1, kStart, kDeathmatch2, kLight, kDeathmatch3};

std::string Crlf(const std::string& lump) {
  std::string display;
  for (const char c : lump) display += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return display;
}

std::string LumpOf(const std::vector<int>& blocks) {
  std::string text;
  for (const int b : blocks) text += kAlphaBlocks[b];
  return text;
}

// Where block `b` lies in the display text of `blocks`: its '{' up to the line
// end after its '}'.
std::pair<long, long> SpanOf(const std::vector<int>& blocks, int b) {
  long start = 0;
  for (const int other : blocks) {
    const auto length = static_cast<long>(Crlf(kAlphaBlocks[other]).size());
    if (other == b) return {start, start + length};
    start += length;
  }
  return {-1, -1};
}

// The map's lumps, as its directory gives them.
std::vector<std::string> Lumps(const std::string& map) {
  const auto field = [&map](size_t at) {
    std::uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i)
      value |= static_cast<std::uint32_t>(static_cast<unsigned char>(map.at(at + i))) << (8 * i);
    return static_cast<size_t>(value);
  };
  std::vector<std::string> lumps;
  for (size_t i = 0; i < mapwriter::kLumpCount; ++i) lumps.push_back(map.substr(field(4 + 8 * i), field(8 + 8 * i)));
  return lumps;
}

std::pair<long, long> Caret(long at) { return {at, at}; }

class QtMainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    maps_ = dir_.Path() / "maps";
    std::filesystem::create_directory(maps_);
    test::WriteFileBytes(maps_ / "alpha.bsp", mapwriter::WriteMap(mapwriter::MakeMapContents(LumpOf(kAllBlocks))));
    test::WriteFileBytes(maps_ / "Beta.BSP", mapwriter::WriteMap(mapwriter::MakeMapContents(kAlphaBlocks[kWorld], 2)));
    settings_.Put(kSettingsKey, kInstallPathValue, Folder(maps_));
  }

  void TearDown() override {
    window_.reset();
    test::SetReadOnly(Map("alpha.bsp"), false);
  }

  static std::string Folder(const std::filesystem::path& path) { return path.string() + "/"; }
  std::string Map(const std::string& name) const { return (maps_ / name).string(); }

  void Start() {
    MainWindowServices services;
    services.settings = &settings_;
    services.messages = realBoxes_ ? nullptr : &messages_;
    // No "-d", whatever this test's own command line holds.
    services.commandLine = [] { return CString("lumpwright"); };
    services.entityDumpPath = CString(dir_.File("AllEntities.txt"));
    services.pickFolder = [this](const CString& title) {
      pickerTitles_.push_back(title.Str());
      return picked_;
    };
    window_ = CreateMainWindow<QtMainWindow>(services);
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }

  template <typename T = QWidget>
  T* Control(int id) const {
    auto* control = qobject_cast<T*>(window_->Control(id));
    EXPECT_NE(control, nullptr) << id;
    return control;
  }
  QsciScintilla* Edit() const { return Control<QsciScintilla>(IDC_ENTITY_TEXT); }

  // The editor's own bytes, read from its buffer.
  std::string Bytes() const {
    const long length = Edit()->SendScintilla(QsciScintilla::SCI_GETLENGTH);
    const auto* chars =
        static_cast<const char*>(Edit()->SendScintillaPtrResult(QsciScintilla::SCI_GETCHARACTERPOINTER));
    return {chars, static_cast<size_t>(length)};
  }
  std::pair<long, long> Selection() const {
    return {Edit()->SendScintilla(QsciScintilla::SCI_GETSELECTIONSTART),
            Edit()->SendScintilla(QsciScintilla::SCI_GETSELECTIONEND)};
  }
  void Select(long start, long end) const {
    Edit()->SendScintilla(QsciScintilla::SCI_SETSEL, static_cast<unsigned long>(start), end);
  }
  bool Modified() const { return window_->Entities().GetModify(); }
  std::string Status() const { return window_->Control(IDC_MAP_STATUS)->property("text").toString().toStdString(); }

  void Click(int id) { QTest::mouseClick(Control(id), Qt::LeftButton); }
  void ChooseMap(const std::string& name) {
    auto* list = Control<QListWidget>(IDC_MAP_LIST);
    const QList<QListWidgetItem*> found = list->findItems(QString::fromStdString(name), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name;
    list->scrollToItem(found.front());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.front()).center());
  }
  std::vector<std::string> ListedMaps() const {
    std::vector<std::string> names;
    auto* list = Control<QListWidget>(IDC_MAP_LIST);
    for (int i = 0; i < list->count(); ++i) names.push_back(list->item(i)->text().toStdString());
    return names;
  }
  // A key as the keyboard gives it to `target`. A mnemonic shows its button
  // down and clicks it a moment later, as the mouse would.
  void Press(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(target, key, modifiers);
    const auto down = [this] {
      const QList<QPushButton*> buttons = window_->findChildren<QPushButton*>();
      return std::any_of(buttons.begin(), buttons.end(), [](const QPushButton* b) { return b->isDown(); });
    };
    for (int wait = 0; wait < 100 && down(); ++wait) QTest::qWait(10);
  }
  // Typed at the caret, into the focused editor.
  void Type(const std::string& text) {
    Edit()->setFocus();
    QTest::keyClicks(Edit(), QString::fromStdString(text));
  }
  std::string EntityTextOnDisk(const std::string& path) {
    test::RecordingMessages messages;
    CBspFile map(messages);
    if (map.LoadMap(CString(path)) != 0) return "(unreadable)";
    return map.GetEntityText();
  }

  test::TempDir dir_;
  std::filesystem::path maps_;
  test::InMemorySettingsStore settings_;
  test::RecordingMessages messages_;
  std::vector<std::string> pickerTitles_;
  std::optional<CString> picked_;
  bool realBoxes_ = false;
  std::unique_ptr<QtMainWindow> window_;
};

// The whole cycle with the mouse: a map, a class from the search box's list,
// Find Next, Delete All, typing, Save; each step's text, selection, message.
TEST_F(QtMainWindowTest, SearchDeleteTypeAndSaveActOnTheEditorAndTheDisk) {
  Start();
  EXPECT_EQ(Status(), "No map loaded");
  ChooseMap("alpha.bsp");
  EXPECT_EQ(Status(), "Entities for map alpha.bsp");
  const std::vector<int> noDeathmatch = {kWorld, kStart, kLight};
  auto* combo = Control<QComboBox>(IDC_ENTITY_COMBO);
  const struct {
    const char* step;
    std::function<void()> act;
    std::vector<int> blocks;  // left in the editor
    std::pair<long, long> selection;
    std::vector<std::string> messages;
  } rows[] = {
      {"the list's info_player_start",
       [&] { QTest::keyClick(combo, Qt::Key_Down); },
       kAllBlocks,
       SpanOf(kAllBlocks, kStart),
       {}},
      {"back to info_player_deathmatch",
       [&] { QTest::keyClick(combo, Qt::Key_Up); },
       kAllBlocks,
       SpanOf(kAllBlocks, kDeathmatch1),
       {}},
      {"Find Next", [&] { Click(IDC_FIND_NEXT); }, kAllBlocks, SpanOf(kAllBlocks, kDeathmatch2), {}},
      {"Find starts at the top", [&] { Click(IDC_FIND); }, kAllBlocks, SpanOf(kAllBlocks, kDeathmatch1), {}},
      {"Delete",
       [&] { Click(IDC_DELETE); },
       {kWorld, kStart, kDeathmatch2, kLight, kDeathmatch3},
       Caret(SpanOf(kAllBlocks, kDeathmatch1).first),
       {}},
      {"Undo", [&] { Edit()->undo(); }, kAllBlocks, {-1, -1}, {}},
      {"Delete All",
       [&] { Click(IDC_DELETE_ALL); },
       noDeathmatch,
       Caret(static_cast<long>(Crlf(LumpOf(noDeathmatch)).size())),
       {"3 entities containing the string\n\"info_player_deathmatch\"\nwere deleted."}},
      {"one Undo brings every block back", [&] { Edit()->undo(); }, kAllBlocks, {-1, -1}, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.step);
    messages_.all.clear();
    row.act();
    EXPECT_EQ(Bytes(), Crlf(LumpOf(row.blocks)));
    // After an Undo the flag is the editor's to keep; the text is what counts.
    if (row.selection.first >= 0) {
      EXPECT_EQ(Selection(), row.selection);
      EXPECT_EQ(Modified(), row.blocks != kAllBlocks);
    }
    EXPECT_EQ(messages_.all, row.messages);
  }

  // Typed text, a line break included, is saved in lump form and shown again
  // as read back from the disk.
  const long value = static_cast<long>(Bytes().find("alpha"));
  Select(value, value + 5);
  Type("edited by hand\r");
  const std::string typed = Bytes();
  ASSERT_EQ(typed.substr(static_cast<size_t>(value), 16), "edited by hand\r\n");
  EXPECT_TRUE(Modified());
  messages_.all.clear();
  // The broken quotes are errors the game refuses: Save asks first.
  messages_.ScriptAnswers({true});
  Click(IDC_SAVE);
  ASSERT_EQ(messages_.all.size(), 2u);
  EXPECT_EQ(messages_.all[0].rfind("? The text has 3 errors the game will refuse:\nline 3: ", 0), 0u)
      << messages_.all[0];
  EXPECT_EQ(messages_.all[1], kSaved);
  CString lump(typed);
  ToLumpText(lump);
  EXPECT_EQ(EntityTextOnDisk(Map("alpha.bsp")), lump.Str());
  EXPECT_EQ(Bytes(), ToDisplayText(lump.GetString()).Str());
  EXPECT_FALSE(Modified());
}

// Every map shows its entity text byte for byte as the core reads it, and a
// Save without edits leaves its lumps as they were: two made maps with 8-bit
// and control bytes (one valid UTF-8, one not), and the real maps when present.
TEST_F(QtMainWindowTest, MapsShowTheirExactBytesAndSaveUnchanged) {
  const std::filesystem::path copies = dir_.Path() / "copies";
  std::filesystem::create_directory(copies);
  const auto made = [&copies](const std::string& name, const std::string& message) {
    const std::string text =
        "{\n\"classname\" \"worldspawn\"\n\"message\" \"" + message + "\"\n}\n" + kAlphaBlocks[kStart];
    test::WriteFileBytes(copies / name, mapwriter::WriteMap(mapwriter::MakeMapContents(text)));
  };
  made("made_8bit.bsp", "Caf\xE9 \x01\x1F\x7F\x80\xFF\tend");
  made("made_utf8.bsp", "Caf\xC3\xA9 \xE2\x9C\x93 \x01");
  const std::filesystem::path real = test::kRealMapsDir;
  if (std::filesystem::is_directory(real)) {
    for (const auto& entry : std::filesystem::directory_iterator(real)) {
      if (entry.path().extension() != ".bsp") continue;
      std::filesystem::copy_file(entry.path(), copies / entry.path().filename());
      std::filesystem::permissions(copies / entry.path().filename(), std::filesystem::perms::owner_write,
                                   std::filesystem::perm_options::add);
    }
  }
  settings_.Put(kSettingsKey, kInstallPathValue, Folder(copies));
  Start();
  const std::vector<std::string> listed = ListedMaps();
  EXPECT_GE(listed.size(), 2u);
  for (const std::string& name : listed) {
    SCOPED_TRACE(name);
    const std::string path = (copies / name).string();
    const std::string before = test::ReadFileBytes(path);
    test::RecordingMessages messages;
    CBspFile map(messages);
    ASSERT_EQ(map.LoadMap(CString(path)), 0);
    const std::string expected = ToDisplayText(map.GetEntityText()).Str();
    ChooseMap(name);
    EXPECT_EQ(Status(), "Entities for map " + name);
    EXPECT_TRUE(Bytes() == expected) << "the editor's bytes differ from the core's display text";
    EXPECT_FALSE(Modified());
    messages_.all.clear();
    Click(IDC_SAVE);
    EXPECT_EQ(messages_.all, std::vector<std::string>{"The file:  " + name + "\nwas saved!"});
    // Every lump as it was; the entity lump in the core's lump form of the
    // text shown, which is its old bytes unless the map used "\r\n" ends.
    const std::vector<std::string> old = Lumps(before);
    std::vector<std::string> saved = Lumps(test::ReadFileBytes(path));
    ASSERT_EQ(saved.size(), old.size());
    CString lump(expected);
    ToLumpText(lump);
    const auto entities = static_cast<size_t>(map.EntityLumpIndex());
    EXPECT_TRUE(saved[entities] == lump.Str() + '\0') << "the entity lump";
    if (old[entities].find('\r') == std::string::npos) {
      EXPECT_TRUE(saved[entities] == old[entities]);
    }
    saved[entities] = old[entities];
    EXPECT_TRUE(saved == old) << "an unedited save changed a lump";
    EXPECT_TRUE(Bytes() == expected) << "after the save's reload";
  }
}

// A save refused at a switch or at exit keeps the window, the chosen map and
// the edits; once the map can be written, Esc saves them and closes.
TEST_F(QtMainWindowTest, ASaveThatFailsKeepsTheWindowOpenWithTheEdits) {
  Start();
  ChooseMap("alpha.bsp");
  const std::string onDisk = test::ReadFileBytes(Map("alpha.bsp"));
  const struct {
    const char* how;
    std::function<void()> act;
  } rows[] = {
      {"choosing another map", [&] { ChooseMap("Beta.BSP"); }},
      {"Exit", [&] { Click(kIdOk); }},
      {"Esc in the entity edit", [&] { QTest::keyClick(Edit(), Qt::Key_Escape); }},
  };
  std::string expected = LumpOf(kAllBlocks);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.how);
    const long value = static_cast<long>(Bytes().find("alpha"));
    Select(value, value);
    Type("x");
    expected.insert(expected.find("alpha"), "x");
    const std::string edited = Bytes();
    test::SetReadOnly(Map("alpha.bsp"), true);
    messages_.all.clear();
    messages_.ScriptAnswers({true});
    row.act();
    EXPECT_EQ(messages_.all, (std::vector<std::string>{kSaveQuestion, kSaveFailed}));
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(Bytes(), edited);
    EXPECT_TRUE(Modified());
    EXPECT_EQ(window_->MapListSelection(), 0) << "alpha.bsp stays chosen";
    EXPECT_EQ(Status(), "Entities for map alpha.bsp");
    EXPECT_EQ(test::ReadFileBytes(Map("alpha.bsp")), onDisk);
    test::SetReadOnly(Map("alpha.bsp"), false);
  }
  messages_.all.clear();
  messages_.ScriptAnswers({true});
  QTest::keyClick(Edit(), Qt::Key_Escape);
  EXPECT_EQ(messages_.all, (std::vector<std::string>{kSaveQuestion, kSaved}));
  EXPECT_FALSE(window_->isVisible());
  EXPECT_EQ(EntityTextOnDisk(Map("alpha.bsp")), expected);
}

// Each key from a control with the focus, after Find and Find Next have
// selected the second info_player_deathmatch block: Enter presses Find except
// in the entity edit, the mnemonics press their buttons, Esc closes.
TEST_F(QtMainWindowTest, KeysPressTheirButtonsFromTheFocusedControl) {
  const std::vector<int> noSecond = {kWorld, kDeathmatch1, kStart, kLight, kDeathmatch3};
  const std::pair<long, long> second = SpanOf(kAllBlocks, kDeathmatch2);
  const std::string lineBreak =
      Crlf(LumpOf({kWorld, kDeathmatch1, kStart})) + "\r\n" + Crlf(LumpOf({kLight, kDeathmatch3}));
  const std::string all = Crlf(LumpOf(kAllBlocks));
  const std::string deleted = Crlf(LumpOf({kWorld, kStart, kLight}));
  const struct {
    const char* name;
    int focus;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    std::string text;
    std::pair<long, long> selection;
    std::vector<std::string> messages;
    bool open;
  } rows[] = {
      {"Enter in the folder display",
       IDC_MAP_FOLDER,
       Qt::Key_Return,
       {},
       all,
       SpanOf(kAllBlocks, kDeathmatch1),
       {},
       true},
      {"Enter in the map list", IDC_MAP_LIST, Qt::Key_Return, {}, all, SpanOf(kAllBlocks, kDeathmatch1), {}, true},
      {"Enter in the search field",
       IDC_ENTITY_COMBO,
       Qt::Key_Enter,
       {},
       all,
       SpanOf(kAllBlocks, kDeathmatch1),
       {},
       true},
      {"Enter in the entity edit", IDC_ENTITY_TEXT, Qt::Key_Return, {}, lineBreak, Caret(second.first + 2), {}, true},
      {"Alt+F", IDC_ENTITY_TEXT, Qt::Key_F, Qt::AltModifier, all, SpanOf(kAllBlocks, kDeathmatch1), {}, true},
      {"Alt+N", IDC_MAP_LIST, Qt::Key_N, Qt::AltModifier, all, SpanOf(kAllBlocks, kDeathmatch3), {}, true},
      {"Alt+D", IDC_ENTITY_TEXT, Qt::Key_D, Qt::AltModifier, Crlf(LumpOf(noSecond)), Caret(second.first), {}, true},
      {"Alt+A",
       IDC_ENTITY_TEXT,
       Qt::Key_A,
       Qt::AltModifier,
       deleted,
       Caret(static_cast<long>(deleted.size())),
       {"3 entities containing the string\n\"info_player_deathmatch\"\nwere deleted."},
       true},
      // The reload after the save keeps the place.
      {"Alt+S", IDC_MAP_FOLDER, Qt::Key_S, Qt::AltModifier, all, second, {kSaved}, true},
      {"Alt+B", IDC_ENTITY_TEXT, Qt::Key_B, Qt::AltModifier, all, second, {}, true},
      {"Esc in the entity edit", IDC_ENTITY_TEXT, Qt::Key_Escape, {}, all, second, {}, false},
      {"Esc in the map list", IDC_MAP_LIST, Qt::Key_Escape, {}, all, second, {}, false},
      {"Alt+X", IDC_ENTITY_COMBO, Qt::Key_X, Qt::AltModifier, all, second, {}, false},
      {"F3 in the entity edit", IDC_ENTITY_TEXT, Qt::Key_F3, {}, all, SpanOf(kAllBlocks, kDeathmatch3), {}, true},
      {"F3 in the map list", IDC_MAP_LIST, Qt::Key_F3, {}, all, SpanOf(kAllBlocks, kDeathmatch3), {}, true},
      {"Ctrl+S in the search field", IDC_ENTITY_COMBO, Qt::Key_S, Qt::ControlModifier, all, second, {kSaved}, true},
      {"F5 keeps the map and its place", IDC_ENTITY_TEXT, Qt::Key_F5, {}, all, second, {}, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Start();
    ChooseMap("alpha.bsp");
    // Through the handlers, not the buttons: a clicked button would stand in
    // as the default one.
    window_->Editor().OnFind();
    window_->Editor().OnFindNext();
    ASSERT_EQ(Selection(), second);
    pickerTitles_.clear();
    messages_.all.clear();
    Control(row.focus)->setFocus();
    QWidget* focused = QApplication::focusWidget();
    ASSERT_TRUE(focused == Control(row.focus) || Control(row.focus)->isAncestorOf(focused));
    Press(focused, row.key, row.modifiers);
    EXPECT_EQ(Bytes(), row.text);
    EXPECT_EQ(Selection(), row.selection);
    EXPECT_EQ(messages_.all, row.messages);
    EXPECT_EQ(pickerTitles_, std::string_view(row.name) == "Alt+B" ? std::vector<std::string>{kPickerTitle}
                                                                   : std::vector<std::string>{});
    EXPECT_EQ(window_->isVisible(), row.open);
    if (row.key == Qt::Key_F5) {
      EXPECT_EQ(window_->MapListSelection(), 0);
    }
  }
}

// Ctrl+F goes to the search field from the text; the caption has a "*" while
// the text has unsaved changes, and F5 lists a map added meanwhile.
TEST_F(QtMainWindowTest, CtrlFTheCaptionsStarAndF5) {
  Start();
  ChooseMap("alpha.bsp");
  const QString caption = window_->windowTitle();
  Control(IDC_ENTITY_TEXT)->setFocus();
  Press(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
  EXPECT_TRUE(Control(IDC_ENTITY_COMBO)->isAncestorOf(QApplication::focusWidget()) ||
              QApplication::focusWidget() == Control(IDC_ENTITY_COMBO));
  Control(IDC_ENTITY_TEXT)->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_X);
  EXPECT_EQ(window_->windowTitle(), "*" + caption);
  window_->Entities().SetModify(false);
  EXPECT_EQ(window_->windowTitle(), caption);

  const int maps = window_->findChild<QListWidget*>()->count();
  test::WriteFileBytes(maps_ / "aaa_new.bsp", test::ReadFileBytes(maps_ / "alpha.bsp"));
  Press(QApplication::focusWidget(), Qt::Key_F5, {});
  EXPECT_EQ(window_->findChild<QListWidget*>()->count(), maps + 1);
  EXPECT_EQ(window_->MapListItem(window_->MapListSelection()), CString("alpha.bsp"));
}

// The outline beside the text: a row chosen selects its block as Find does,
// the caret marks the row it is in, the filter and the counts, and edits are
// followed once typing pauses.
TEST_F(QtMainWindowTest, TheOutlineChoosesBlocksAndFollowsTheText) {
  Start();
  ChooseMap("alpha.bsp");
  OutlinePanel& outline = *window_->Outline();
  const auto rows = [&outline] { return outline.View()->model()->rowCount(); };
  for (int wait = 0; wait < 50 && outline.RefreshPending(); ++wait) QTest::qWait(10);
  ASSERT_EQ(rows(), static_cast<int>(kAllBlocks.size()));
  EXPECT_EQ(outline.Model().data(outline.Model().index(kLight, 1), Qt::DisplayRole).toString(), "light");

  outline.View()->selectionModel()->setCurrentIndex(outline.Model().index(kDeathmatch2, 0),
                                                    QItemSelectionModel::ClearAndSelect);
  EXPECT_EQ(Selection(), SpanOf(kAllBlocks, kDeathmatch2));
  window_->Editor().OnFindNext();  // goes on after the chosen block
  EXPECT_EQ(Selection(), SpanOf(kAllBlocks, kDeathmatch3));

  window_->Entities().SetSel(static_cast<int>(SpanOf(kAllBlocks, kLight).first) + 3,
                             static_cast<int>(SpanOf(kAllBlocks, kLight).first) + 3);
  QTest::qWait(20);  // the editor tells of the caret when it updates
  EXPECT_EQ(outline.View()->selectionModel()->currentIndex().row(), kLight);

  outline.Filter()->setText(QStringLiteral("info_player_deathmatch"));
  EXPECT_EQ(rows(), 3);
  EXPECT_EQ(outline.Counts()->text(), "info_player_deathmatch 3");
  outline.Filter()->clear();

  // The problems of the text: none here, then the check's words for a block
  // without its class; choosing one puts the caret on its place.
  EXPECT_EQ(outline.Problems()->count(), 0);
  window_->Entities().SetSel(0, 0);
  window_->Entities().ReplaceSel(CString("{\r\n}\r\n"));
  QTest::qWait(20);
  outline.Refresh(window_->Entities().LiveText());
  EXPECT_EQ(outline.View()->currentIndex().row(), 1) << "the caret's block, moved down a row, is marked again";
  ASSERT_GE(outline.Problems()->count(), 1);
  EXPECT_TRUE(outline.Problems()->item(0)->text().startsWith("error 1:1 "))
      << outline.Problems()->item(0)->text().toStdString();
  // Marked in the text, on its line only.
  const auto marked = [this](long position) {
    return Control<QsciScintilla>(IDC_ENTITY_TEXT)
               ->SendScintilla(QsciScintilla::SCI_INDICATORVALUEAT, QtMainWindow::kErrorIndicator, position) != 0;
  };
  EXPECT_TRUE(marked(0));
  EXPECT_FALSE(marked(4));
  window_->Entities().SetSel(20, 20);
  emit outline.Problems()->itemClicked(outline.Problems()->item(0));
  int start = -1;
  int end = -1;
  window_->Entities().GetSel(start, end);
  EXPECT_EQ(start, 0);
  window_->Entities().SetSel(0, 4);
  window_->Entities().ReplaceSel(CString());
  outline.Refresh(window_->Entities().LiveText());
  EXPECT_FALSE(marked(0)) << "mended, the mark goes";

  window_->Editor().OnDeleteAll();
  EXPECT_TRUE(outline.RefreshPending());
  for (int wait = 0; wait < 50 && outline.RefreshPending(); ++wait) QTest::qWait(10);
  EXPECT_EQ(rows(), 3);
  EXPECT_EQ(outline.Counts()->text(), "info_player_start 1, light 1, worldspawn 1");
}

// The window's place and size and the split between the text and the
// outline are kept beside the map folder and come back at the next start; a
// place no screen shows any more is not taken. The split gives the outline
// only what the window has grown by: the text keeps its template width.
TEST_F(QtMainWindowTest, ThePlaceAndSizeAreKeptBetweenRuns) {
  Start();
  const QRect moved(window_->x() + 10, window_->y() + 10, window_->width() + 40, window_->height() - 30);
  window_->setGeometry(moved);
  QTest::qWait(20);
  const QRect placed = window_->geometry();
  QWidget* text = Control(IDC_ENTITY_TEXT);
  const int textWidth = text->width();
  const int outlineWidth = window_->Outline()->width();
  const auto drag = [this](int by) {
    QWidget* split = window_->OutlineSplit();
    QTest::mousePress(split, Qt::LeftButton, {}, QPoint(2, 20));
    QTest::mouseMove(split, QPoint(2 + by, 20));
    QTest::mouseRelease(split, Qt::LeftButton, {}, QPoint(2 + by, 20));
  };
  drag(-30);
  EXPECT_EQ(window_->Outline()->width(), outlineWidth + 30);
  EXPECT_EQ(text->width(), textWidth - 30);
  drag(-500);
  EXPECT_EQ(window_->Outline()->width(), outlineWidth + 40);
  EXPECT_EQ(text->width(), textWidth - 40);
  drag(20);
  const int splitWidth = window_->Outline()->width();
  EXPECT_EQ(splitWidth, outlineWidth + 20);
  window_.reset();
  EXPECT_EQ(settings_.Get(kSettingsKey, "WindowPlacement"),
            std::to_string(placed.x()) + " " + std::to_string(placed.y()) + " " + std::to_string(placed.width()) + " " +
                std::to_string(placed.height()));
  Start();
  EXPECT_EQ(window_->geometry().size(), placed.size());
  EXPECT_EQ(window_->Outline()->width(), splitWidth);
  window_.reset();
  settings_.Put(kSettingsKey, "WindowPlacement", "-90000 -90000 1000 700");
  Start();
  EXPECT_GT(window_->x(), -90000);
}

// Tab goes through the controls in the template's order and comes round.
TEST_F(QtMainWindowTest, TabFollowsTheTemplateOrder) {
  Start();
  ChooseMap("alpha.bsp");
  const int order[] = {IDC_MAP_FOLDER,     IDC_BROWSE,  IDC_MAP_FILTER,  IDC_MAP_LIST,
                       IDC_ENTITY_COMBO,   IDC_FIND,    IDC_ENTITY_TEXT, IDC_DELETE,
                       IDC_DELETE_ALL,     IDC_SAVE,    kIdOk,           IDC_FIND_NEXT,
                       IDC_OUTLINE_FILTER, IDC_OUTLINE, IDC_PROBLEMS,    IDC_MAP_FOLDER};
  Control(order[0])->setFocus();
  const std::string text = Bytes();
  for (size_t i = 1; i < std::size(order); ++i) {
    SCOPED_TRACE(order[i]);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget* focused = QApplication::focusWidget();
    EXPECT_TRUE(focused == Control(order[i]) || Control(order[i])->isAncestorOf(focused));
  }
  EXPECT_EQ(Bytes(), text) << "Tab in the entity edit moves on, it types nothing";
}

// Refilling the map list and selecting a search item run no handler: after
// Browse the old map's text and its modified flag stay; the next map chosen
// asks about the old one first.
TEST_F(QtMainWindowTest, BrowseAndTheViewsOwnSelectionsRunNoHandler) {
  const std::filesystem::path other = dir_.Path() / "other";
  std::filesystem::create_directory(other);
  test::WriteFileBytes(other / "gamma.bsp", mapwriter::WriteMap(mapwriter::MakeMapContents(kAlphaBlocks[kLight], 3)));
  Start();
  ChooseMap("alpha.bsp");
  Select(0, 0);
  window_->SelectSearchItem(1);
  EXPECT_EQ(Selection(), Caret(0)) << "no Find";
  Click(IDC_FIND);
  EXPECT_EQ(Selection(), SpanOf(kAllBlocks, kStart)) << "info_player_start, the item selected, is searched";

  // Typing in the search field searches nothing until Enter.
  auto* field = Control<QComboBox>(IDC_ENTITY_COMBO)->lineEdit();
  field->setFocus();
  field->selectAll();
  QTest::keyClicks(field, "\"origin\" \"8 8 8\"");
  EXPECT_EQ(Selection(), SpanOf(kAllBlocks, kStart));
  QTest::keyClick(field, Qt::Key_Return);
  EXPECT_EQ(Selection(), SpanOf(kAllBlocks, kDeathmatch2));

  Type("x");
  picked_ = CString(other.string());
  messages_.all.clear();
  const std::string alpha = test::ReadFileBytes(Map("alpha.bsp"));
  // Browse settles the map's changes first (a No here), then shows no map.
  messages_.ScriptAnswers({false});
  Click(IDC_BROWSE);
  EXPECT_EQ(messages_.all, std::vector<std::string>{kSaveQuestion});
  EXPECT_EQ(pickerTitles_, std::vector<std::string>{kPickerTitle});
  EXPECT_EQ(ListedMaps(), std::vector<std::string>{"gamma.bsp"});
  EXPECT_EQ(window_->MapListSelection(), -1);
  EXPECT_EQ(Bytes(), "");
  EXPECT_FALSE(Modified());
  EXPECT_EQ(Status(), "No map loaded") << "a new list: no map chosen in it";

  messages_.all.clear();
  ChooseMap("gamma.bsp");
  EXPECT_TRUE(messages_.all.empty());
  EXPECT_EQ(Bytes(), Crlf(kAlphaBlocks[kLight]));
  EXPECT_EQ(Status(), "Entities for map gamma.bsp");
  EXPECT_EQ(test::ReadFileBytes(Map("alpha.bsp")), alpha);
}

// The keys and clicks that lost work: the map list chooses as a Windows list
// box does and cannot be emptied, Cancel keeps the edits, Save asks before
// storing a text the game refuses, and F1 answers.
TEST_F(QtMainWindowTest, TheListTheSaveQuestionAndTheCheckKeepTheEdits) {
  using Answer = MessageSink::Answer;
  Start();
  auto* list = Control<QListWidget>(IDC_MAP_LIST);
  // Tab into the list and Home: the map under the focus frame is chosen.
  list->setFocus(Qt::TabFocusReason);
  Press(list, Qt::Key_Home);
  EXPECT_EQ(Status(), "Entities for map alpha.bsp");
  // A stray word between the first two blocks, which the game refuses.
  const auto afterWorld = static_cast<long>(Bytes().find("}\r\n") + 3);
  Select(afterWorld, afterWorld);
  Type("x");
  const std::string edited = Bytes();

  // Ctrl+click on the chosen map leaves it chosen, with the edits.
  QListWidgetItem* alpha = list->findItems("alpha.bsp", Qt::MatchExactly).front();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, list->visualItemRect(alpha).center());
  EXPECT_EQ(window_->MapListSelection(), 0);
  EXPECT_EQ(Bytes(), edited);
  EXPECT_TRUE(Modified());

  // End chooses Beta.BSP; Cancel at the question keeps alpha.bsp and the edits.
  messages_.all.clear();
  messages_.ScriptAnswers({Answer::kCancel});
  Press(list, Qt::Key_End);
  EXPECT_EQ(messages_.all, std::vector<std::string>{kSaveQuestion});
  EXPECT_EQ(window_->MapListSelection(), 0);
  EXPECT_EQ(Status(), "Entities for map alpha.bsp");
  EXPECT_EQ(Bytes(), edited);
  EXPECT_TRUE(Modified());

  // A text the game refuses: No keeps it, with the caret on the error.
  const std::string onDisk = test::ReadFileBytes(Map("alpha.bsp"));
  messages_.all.clear();
  messages_.ScriptAnswers({false});
  Press(Edit(), Qt::Key_S, Qt::AltModifier);
  ASSERT_EQ(messages_.all.size(), 1u);
  EXPECT_EQ(messages_.all[0].rfind("? The text has 1 error the game will refuse:\nline 5: text outside a block", 0), 0u)
      << messages_.all[0];
  EXPECT_EQ(test::ReadFileBytes(Map("alpha.bsp")), onDisk);
  EXPECT_EQ(Bytes(), edited);
  EXPECT_EQ(Selection(), Caret(afterWorld));

  messages_.all.clear();
  Press(Edit(), Qt::Key_F1);
  EXPECT_EQ(messages_.all, std::vector<std::string>{"Failed to launch help."});

  // The search field stops taking text where it is full, as the Windows one.
  auto* field = Control<QComboBox>(IDC_ENTITY_COMBO)->lineEdit();
  field->setFocus();
  field->clear();
  QTest::keyClicks(field, QString(200, QChar('w')));
  EXPECT_GT(field->text().size(), 10);
  EXPECT_LT(field->text().size(), 200);
  EXPECT_LE(field->fontMetrics().horizontalAdvance(field->text()), field->contentsRect().width());
}

// The message boxes themselves, answered by clicking their buttons: the
// exclamation icon, the program's name as caption, the buttons offered.
TEST_F(QtMainWindowTest, MessagesAreWarningBoxesAnsweredByTheirButtons) {
  realBoxes_ = true;
  Start();
  ChooseMap("alpha.bsp");
  struct Seen {
    std::string caption;
    std::string text;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
  };
  std::vector<Seen> seen;
  std::deque<QMessageBox::StandardButton> answers;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible() || box->property("answered").toBool()) return;
    box->setProperty("answered", true);
    seen.push_back({box->windowTitle().toStdString(), box->text().toStdString(), box->icon(), box->standardButtons()});
    QAbstractButton* button = answers.empty() ? nullptr : box->button(answers.front());
    if (!answers.empty()) answers.pop_front();
    if (button != nullptr) {
      QTest::mouseClick(button, Qt::LeftButton);
    } else {
      box->reject();  // unscripted: the test fails, it does not hang
    }
  });
  watch.start(10);

  answers = {QMessageBox::Ok};
  Click(IDC_DELETE_ALL);
  const std::string edited = Bytes();
  answers = {QMessageBox::No};
  const std::string onDisk = test::ReadFileBytes(Map("alpha.bsp"));
  Click(kIdOk);
  ASSERT_EQ(seen.size(), 2u);
  const QMessageBox::StandardButtons yesNoCancel = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
  // Captioned as the Windows program captions its boxes: the program's file
  // name, here the test program's.
  const std::string caption = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toStdString();
  const Seen expected[] = {
      {caption, "3 entities containing the string\n\"info_player_deathmatch\"\nwere deleted.", QMessageBox::Warning,
       QMessageBox::Ok},
      {caption, std::string(kSaveQuestion).substr(2), QMessageBox::Warning, yesNoCancel},
  };
  for (size_t i = 0; i < seen.size(); ++i) {
    SCOPED_TRACE(expected[i].text);
    EXPECT_EQ(seen[i].caption, expected[i].caption);
    EXPECT_EQ(seen[i].text, expected[i].text);
    EXPECT_EQ(seen[i].icon, expected[i].icon);
    EXPECT_EQ(seen[i].buttons, expected[i].buttons);
  }
  EXPECT_NE(edited, Crlf(LumpOf(kAllBlocks)));
  EXPECT_FALSE(window_->isVisible()) << "No closes the window without saving";
  EXPECT_EQ(test::ReadFileBytes(Map("alpha.bsp")), onDisk);
}

}  // namespace
}  // namespace lw::qt

#if defined(__SANITIZE_ADDRESS__)
// Qt and fontconfig keep caches they never free at exit: leak checking would
// report them and fail this test, so it is off for this program alone.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }
#endif

int main(int argc, char** argv) {
  // No display in CI: Qt's offscreen platform draws into memory.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  lw::InitProcessState(argc, argv);
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
