// The real main window, made from its template in this process and worked
// through window messages as a user works it: the boxes it opens are read and
// answered as they come up, and what lands on screen, on disk and in the
// registry is checked.

#include <windows.h>
// The list view's messages, after the definitions they build on.
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "TestPaths.h"
#include "bsp/CBspFile.h"
#include "entities/EntityText.h"
#include "mapwriter/MapWriter.h"
#include "support/HeldFile.h"
#include "support/RecordingMessages.h"
#include "support/TempDir.h"
#include "ui/EntityClasses.h"
#include "ui/MainLayout.h"
#include "ui/MainWindowView.h"
#include "ui/Resource.h"
#include "ui/win32/Win32MainWindow.h"

namespace lw::win32 {
namespace {

constexpr const wchar_t* kSettingsKey = L"Software\\Quellmoor\\Lumpwright\\Settings";
constexpr const wchar_t* kInstallPath = L"InstallPath";
constexpr const char* kDefaultFolder = "C:\\Sierra\\Counter-Strike\\cstrike\\maps\\";
constexpr const char* kPickerTitle = "Select a folder that contains bsp files..";
constexpr const char* kSaveQuestion = "Do you want to save your changes to the map alpha.bsp ?";
constexpr int kMessageTextId = 0xFFFF;

// alpha.bsp's entity blocks, in lump form.
enum Block { kWorld, kDeathmatch1, kStart, kLight, kDeathmatch2 };
constexpr const char* kAlphaBlocks[] = {
    "{\n\"classname\" \"worldspawn\"\n\"message\" \"alpha\"\n}\n",
    "{\n\"classname\" \"info_player_deathmatch\"\n\"origin\" \"0 0 0\"\n}\n",
    "{\n\"classname\" \"info_player_start\"\n\"origin\" \"1 1 1\"\n}\n",
    "{\n\"classname\" \"light\"\n\"_light\" \"255 255 128 200\"\n}\n",
    "{\n\"classname\" \"info_player_deathmatch\"\n\"origin\" \"8 8 8\"\n}\n",
};
const std::vector<int> kAllBlocks = {kWorld, kDeathmatch1, kStart, kLight, kDeathmatch2};

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

// Where block `b` lies in the display text made of `blocks`: its '{' up to the
// line end after its '}'.
std::pair<int, int> SpanOf(const std::vector<int>& blocks, int b) {
  int start = 0;
  for (const int other : blocks) {
    const auto length = static_cast<int>(Crlf(kAlphaBlocks[other]).size());
    if (other == b) return {start, start + length};
    start += length;
  }
  return {-1, -1};
}

// The program's name, which captions its message boxes: the executable's file
// name without its extension (Lumpwright for the program, this test's own name
// here).
std::string ExeStem() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::filesystem::path(path).stem().string();
}

std::string WindowText(HWND window) {
  std::string text(static_cast<size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, static_cast<int>(sizeof(name)));
  return name;
}

// A dialog box of this thread as the user met it.
struct SeenBox {
  std::string caption;
  std::string text;                // a message box's text
  std::vector<std::string> texts;  // every child's text, in order
  std::vector<int> buttons;        // the Yes, No, OK and Cancel buttons shown
  HICON icon = nullptr;            // the icon static's
  bool picker = false;             // a box to type a path into: the folder picker
  bool shown = true;
  HWND owner = nullptr;
  bool ownerEnabled = true;
  bool ownerVisible = true;
  RECT rect{};
};

// Reads and answers, in the scripted order, the boxes that come up in any
// modal loop of this thread: a thread timer's messages reach every loop. A
// box that stays hidden is cancelled after a while, so that a test fails
// instead of hanging.
class BoxScript {
 public:
  BoxScript() : timer_(SetTimer(nullptr, 0, 10, &Tick)) { current_ = this; }
  ~BoxScript() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  BoxScript(const BoxScript&) = delete;
  BoxScript& operator=(const BoxScript&) = delete;

  void Answer(const std::vector<int>& answers) { answers_.assign(answers.begin(), answers.end()); }
  std::vector<SeenBox> Take() { return std::exchange(seen_, {}); }

 private:
  static constexpr DWORD kHiddenTimeoutMs = 5000;

  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (current_ != nullptr) EnumThreadWindows(GetCurrentThreadId(), &Visit, 0);
  }
  static BOOL CALLBACK Visit(HWND window, LPARAM) {
    // The main window is a dialog too: it holds the entity edit.
    if (ClassOf(window) == "#32770" && GetDlgItem(window, IDC_ENTITY_TEXT) == nullptr &&
        GetPropA(window, "lw.answered") == nullptr) {
      current_->Consider(window);
    }
    return TRUE;
  }

  void Consider(HWND box) {
    if (!IsWindowVisible(box)) {
      const DWORD now = GetTickCount();
      const DWORD first = hidden_.try_emplace(box, now).first->second;
      if (now - first < kHiddenTimeoutMs) return;
    }
    SetPropA(box, "lw.answered", reinterpret_cast<HANDLE>(1));
    hidden_.erase(box);
    SeenBox seen;
    seen.caption = WindowText(box);
    seen.shown = IsWindowVisible(box) != FALSE;
    seen.owner = GetWindow(box, GW_OWNER);
    seen.ownerEnabled = IsWindowEnabled(seen.owner) != FALSE;
    seen.ownerVisible = IsWindowVisible(seen.owner) != FALSE;
    GetWindowRect(box, &seen.rect);
    if (const HWND text = GetDlgItem(box, kMessageTextId)) seen.text = WindowText(text);
    for (const int id : {IDYES, IDNO, IDOK, IDCANCEL}) {
      if (IsWindowVisible(GetDlgItem(box, id))) seen.buttons.push_back(id);
    }
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
      seen.texts.push_back(WindowText(child));
      const std::string kind = ClassOf(child);
      if (kind == "Static" && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        seen.icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
      }
    }
    // The shell's item dialog holds its name box (edt1, or the combo box
    // cmb13 around it) some levels down.
    EnumChildWindows(
        box,
        [](HWND child, LPARAM found) {
          const int id = GetDlgCtrlID(child);
          if (id == 1152 || id == 1148) *reinterpret_cast<bool*>(found) = true;
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&seen.picker));
    int answer = IDCANCEL;
    if (!answers_.empty()) {
      answer = answers_.front();
      answers_.pop_front();
    } else if (seen.buttons.size() == 1) {
      answer = seen.buttons[0];  // unscripted: the box's one way out
    }
    seen_.push_back(std::move(seen));
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, answer)));
  }

  static inline BoxScript* current_ = nullptr;
  UINT_PTR timer_;
  std::deque<int> answers_;
  std::vector<SeenBox> seen_;
  std::map<HWND, DWORD> hidden_;
};

// InstallPath as stored, read with the wide query, which hands out the bytes
// without adding a terminator. The test's paths are ASCII.
struct StoredValue {
  DWORD type = REG_NONE;
  std::wstring data;
  friend bool operator==(const StoredValue&, const StoredValue&) = default;
};

StoredValue StringValue(const std::string& text, bool terminated) {
  std::wstring data(text.begin(), text.end());
  if (terminated) data.push_back(L'\0');
  return {REG_SZ, data};
}

std::optional<StoredValue> ReadInstallPath() {
  wchar_t data[1024] = {};
  DWORD type = 0;
  DWORD size = sizeof(data);
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return std::nullopt;
  const LSTATUS status = RegQueryValueExW(key, kInstallPath, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return std::nullopt;
  return StoredValue{type, std::wstring(data, size / sizeof(wchar_t))};
}

void WriteInstallPath(const StoredValue& value) {
  RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, kInstallPath, value.type, value.data.data(),
                  static_cast<DWORD>(value.data.size() * sizeof(wchar_t)));
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProcessState(0, nullptr);
    maps_ = dir_.Path() / "maps";
    std::filesystem::create_directory(maps_);
    test::WriteFileBytes(maps_ / "alpha.bsp", mapwriter::WriteMap(mapwriter::MakeMapContents(LumpOf(kAllBlocks))));
    test::WriteFileBytes(maps_ / "Beta.BSP", mapwriter::WriteMap(mapwriter::MakeMapContents(kAlphaBlocks[kWorld], 2)));
    test::WriteFileBytes(maps_ / "notes.txt", "not a map");
    before_ = ReadInstallPath();
    // Stored with a terminator, as other tools store a string.
    WriteInstallPath(StringValue(Folder(), true));
  }

  void TearDown() override {
    window_.reset();
    Pump();
    test::SetReadOnly(Map("alpha.bsp"), false);
    if (before_) {
      WriteInstallPath(*before_);
    } else {
      RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsKey);
    }
  }

  std::string Folder() const { return maps_.string() + "\\"; }
  std::string Map(const std::string& name) const { return (maps_ / name).string(); }

  void Start() {
    MainWindowServices services;
    // No "-d", wherever the test runs from: the dump is the core tests' to check.
    services.commandLine = [] { return CString("win32_window_tests.exe"); };
    services.entityDumpPath = CString(dir_.File("AllEntities.txt"));
    window_ = CreateMainWindow<Win32MainWindow>(services);
    ASSERT_NE(window_, nullptr);
    main_ = window_->GetSafeHwnd();
    Pump();
  }

  // The program's loop: the window sees every message before it is dispatched.
  void Pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (window_ != nullptr && window_->PreTranslateMessage(message)) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }

  HWND Item(int id) const { return GetDlgItem(main_, id); }
  LRESULT Send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendDlgItemMessageA(main_, id, message, wParam, lParam);
  }
  void Click(int id) {
    Send(id, BM_CLICK);
    Pump();
  }
  // Chooses a map in the list or a class in the combo box as the user does:
  // the control moves its selection, then tells the window.
  void Select(int id, const std::string& name) {
    const bool list = id == IDC_MAP_LIST;
    const LRESULT index = Send(id, list ? LB_FINDSTRINGEXACT : CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                               reinterpret_cast<LPARAM>(name.c_str()));
    Send(id, list ? LB_SETCURSEL : CB_SETCURSEL, static_cast<WPARAM>(index));
    SendMessageA(main_, WM_COMMAND, MAKEWPARAM(id, list ? LBN_SELCHANGE : CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(Item(id)));
    Pump();
  }
  void ChooseMap(const std::string& name) { Select(IDC_MAP_LIST, name); }
  void SysCommand(WPARAM command) {
    SendMessageA(main_, WM_SYSCOMMAND, command, 0);
    Pump();
  }
  void Type(const std::string& text) {
    for (const char c : text) Send(IDC_ENTITY_TEXT, WM_CHAR, static_cast<unsigned char>(c), 1);
    Pump();
  }
  // A key as the keyboard delivers it to the control with the focus.
  void Press(HWND target, WPARAM key) {
    SetFocus(target);
    const auto data = static_cast<LPARAM>(1 | (MapVirtualKeyA(static_cast<UINT>(key), MAPVK_VK_TO_VSC) << 16));
    PostMessageA(GetFocus(), WM_KEYDOWN, key, data);
    PostMessageA(GetFocus(), WM_KEYUP, key, data | static_cast<LPARAM>(0xC0000000));
    Pump();
  }

  std::string Text(int id) const { return WindowText(Item(id)); }
  std::string ListItem(LRESULT index) {
    std::string name(static_cast<size_t>(std::max<LRESULT>(0, Send(IDC_MAP_LIST, LB_GETTEXTLEN, index))), '\0');
    Send(IDC_MAP_LIST, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(name.data()));
    return name;
  }
  std::vector<std::string> ListedMaps() {
    std::vector<std::string> names;
    for (LRESULT i = 0; i < Send(IDC_MAP_LIST, LB_GETCOUNT); ++i) names.push_back(ListItem(i));
    return names;
  }
  std::string ChosenMap() { return ListItem(Send(IDC_MAP_LIST, LB_GETCURSEL)); }
  std::pair<int, int> Selection() {
    DWORD start = 0;
    DWORD end = 0;
    Send(IDC_ENTITY_TEXT, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {static_cast<int>(start), static_cast<int>(end)};
  }
  bool Modified() { return Send(IDC_ENTITY_TEXT, EM_GETMODIFY) != FALSE; }
  std::string EntityTextOnDisk(const std::string& name) {
    test::RecordingMessages messages;
    CBspFile map(messages);
    if (map.LoadMap(CString(Map(name))) != 0) return "(unreadable)";
    return map.GetEntityText();
  }

  // A message box as the program shows every one: its text, the program's
  // name (the executable's, without extension) as caption, the exclamation
  // icon, owned by the main window, which is disabled while it is up.
  void ExpectMessageBox(const SeenBox& box, const std::string& text, std::vector<int> buttons) const {
    EXPECT_TRUE(box.shown) << text;
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.caption, ExeStem());
    EXPECT_EQ(box.buttons, buttons) << text;
    EXPECT_EQ(box.icon, LoadIcon(nullptr, IDI_EXCLAMATION)) << text;
    EXPECT_EQ(box.owner, main_) << text;
    EXPECT_FALSE(box.ownerEnabled) << text;
  }
  // The folder picker, owned by the main window, with the program's title.
  void ExpectPicker(const SeenBox& box) const {
    EXPECT_TRUE(box.shown && box.picker);
    EXPECT_EQ(box.owner, main_);
    EXPECT_FALSE(box.ownerEnabled);
    EXPECT_EQ(box.caption, kPickerTitle);
  }

  test::TempDir dir_;
  std::filesystem::path maps_;
  std::optional<StoredValue> before_;
  BoxScript boxes_;
  std::unique_ptr<Win32MainWindow> window_;
  HWND main_ = nullptr;
};

// The core's map-list order, which the Linux window and the command line
// use, is the one a sorted list box gives: names that differ in symbols,
// digits, case, apostrophes and hyphens come out of it in MapNameLess order.
TEST(MapListOrderTest, TheCoresOrderIsTheListBoxs) {
  const std::vector<std::string> names = {
      "de_dust2.bsp",   "de_dust_night.bsp", "de_dust.bsp", "De_Inferno.bsp", "de inferno.bsp", "de.inferno.bsp",
      "de-nuke.bsp",    "denuke.bsp",        "de'nuke.bsp", "cs_office.bsp",  "cs_1office.bsp", "cs_#office.bsp",
      "cs_~office.bsp", "cs_{office}.bsp",   "cs_(o).bsp",  "cs_[o].bsp",     "cs_+o.bsp",      "cs_=o.bsp",
      "cs_@o.bsp",      "cs_!o.bsp",         "cs_$o.bsp",   "cs_%o.bsp",      "cs_&o.bsp",      "cs_,o.bsp",
      "cs_;o.bsp",      "cs_^o.bsp",         "cs_`o.bsp",   "awp_map10.bsp",  "awp_map9.bsp",   "awp_map1.bsp",
      "AWP_Map2.bsp",   "zm_x.bsp",          "fy_a.bsp",    "Fy_B.bsp",       "a b.bsp",        "ab.bsp"};
  const HWND list = CreateWindowExA(0, "LISTBOX", "", LBS_SORT | WS_POPUP, 0, 0, 200, 200, nullptr, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(list, nullptr);
  for (const std::string& name : names) SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  std::vector<std::string> listed;
  const auto count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    char item[64] = {};
    SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
    listed.emplace_back(item);
  }
  DestroyWindow(list);
  std::vector<std::string> sorted = names;
  std::sort(sorted.begin(), sorted.end(),
            [](const std::string& a, const std::string& b) { return MapNameLess(CString(a), CString(b)); });
  EXPECT_EQ(listed, sorted);
}

TEST_F(MainWindowTest, OpensCentredWithTheStoredFolderListedAndTheAboutEntryLast) {
  Start();
  EXPECT_TRUE(boxes_.Take().empty());
  EXPECT_TRUE(IsWindowVisible(main_));
  EXPECT_EQ(WindowText(main_), "Lumpwright");
  RECT area{};
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0));
  RECT rect{};
  GetWindowRect(main_, &rect);
  EXPECT_LE(std::abs((rect.left + rect.right) - (area.left + area.right)), 1);
  EXPECT_LE(std::abs((rect.top + rect.bottom) - (area.top + area.bottom)), 1);

  EXPECT_EQ(Text(IDC_MAP_FOLDER), Folder());
  EXPECT_EQ(ListedMaps(), (std::vector<std::string>{"alpha.bsp", "Beta.BSP"}));
  EXPECT_EQ(Text(IDC_MAP_STATUS), "No map loaded");
  // The resource's initialisation data, record by record, is the core's list.
  std::vector<std::string> classes;
  for (LRESULT i = 0; i < Send(IDC_ENTITY_COMBO, CB_GETCOUNT); ++i) {
    std::string name(static_cast<size_t>(Send(IDC_ENTITY_COMBO, CB_GETLBTEXTLEN, static_cast<WPARAM>(i))), '\0');
    Send(IDC_ENTITY_COMBO, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(name.data()));
    classes.push_back(name);
  }
  EXPECT_EQ(classes, std::vector<std::string>(kEntityClassNames.begin(), kEntityClassNames.end()));
  EXPECT_EQ(Send(IDC_ENTITY_COMBO, CB_GETCURSEL), 0);
  EXPECT_EQ(Text(IDC_ENTITY_COMBO), "info_player_deathmatch");
  EXPECT_TRUE(IsChild(Item(IDC_ENTITY_COMBO), GetFocus()));
  EXPECT_EQ(LOWORD(SendMessageA(main_, DM_GETDEFID, 0, 0)), IDC_FIND);
  EXPECT_EQ(Send(IDC_ENTITY_TEXT, EM_GETLIMITTEXT), 500000);
  const auto icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
  EXPECT_EQ(SendMessageA(main_, WM_GETICON, ICON_BIG, 0), reinterpret_cast<LRESULT>(icon));
  EXPECT_EQ(SendMessageA(main_, WM_GETICON, ICON_SMALL, 0), reinterpret_cast<LRESULT>(icon));

  const HMENU menu = GetSystemMenu(main_, FALSE);
  const int count = GetMenuItemCount(menu);
  ASSERT_GE(count, 2);
  EXPECT_EQ(GetMenuItemID(menu, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
  char entry[64] = {};
  GetMenuStringA(menu, static_cast<UINT>(count - 1), entry, static_cast<int>(sizeof(entry)), MF_BYPOSITION);
  EXPECT_STREQ(entry, "&About Lumpwright...");
  EXPECT_TRUE(GetMenuState(menu, static_cast<UINT>(count - 2), MF_BYPOSITION) & MF_SEPARATOR);
}

TEST_F(MainWindowTest, FirstRunWarnsOpensThePickerAndStoresTheDefaultFolderAtExit) {
  RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsKey);
  for (const wchar_t* game : {L"Software\\Valve\\CounterStrike", L"Software\\Valve\\Half-life"}) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, game, 0, KEY_READ, &key) == ERROR_SUCCESS) {
      RegCloseKey(key);
      GTEST_SKIP() << "the game is installed in this registry";
    }
  }
  boxes_.Answer({IDOK, IDCANCEL});
  Start();
  const auto seen = boxes_.Take();
  ASSERT_EQ(seen.size(), 2u);
  ExpectMessageBox(seen[0],
                   "WARNING!\n\nThis program makes PERMANENT changes to your map files.\n"
                   "Back Up all of your .bsp files before making changes to them.",
                   {IDOK});
  EXPECT_FALSE(seen[0].ownerVisible) << "before the window is shown";
  ExpectPicker(seen[1]);
  EXPECT_FALSE(seen[1].ownerVisible);

  EXPECT_EQ(Text(IDC_MAP_FOLDER), kDefaultFolder);
  EXPECT_TRUE(ListedMaps().empty());
  EXPECT_EQ(Text(IDC_MAP_STATUS), "No map loaded");
  Click(IDOK);
  EXPECT_FALSE(IsWindow(main_));
  EXPECT_TRUE(boxes_.Take().empty());
  EXPECT_EQ(ReadInstallPath(), StringValue(kDefaultFolder, false)) << "a string, stored without a terminator";
}

// One map worked through the search box and the buttons, step by step: the
// selection each step leaves, the blocks left in the text, the boxes shown.
TEST_F(MainWindowTest, FindFindNextDeleteAndDeleteAllActOnTheEntityEdit) {
  Start();
  ChooseMap("alpha.bsp");
  EXPECT_EQ(Text(IDC_MAP_STATUS), "Entities for map alpha.bsp");
  EXPECT_EQ(Text(IDC_ENTITY_TEXT), Crlf(LumpOf(kAllBlocks)));
  EXPECT_FALSE(Modified());

  const std::vector<int> withoutDeathmatch = {kWorld, kStart, kLight};
  const std::vector<int> withoutFirst = {kWorld, kStart, kLight, kDeathmatch2};
  // A caret where block `b` starts, or at the end of the text for -1.
  const auto caret = [](const std::vector<int>& blocks, int b) {
    const int at = b < 0 ? static_cast<int>(Crlf(LumpOf(blocks)).size()) : SpanOf(blocks, b).first;
    return std::make_pair(at, at);
  };
  const std::pair<int, int> kUnchecked{-1, -1};
  const struct {
    const char* step;
    std::function<void()> act;
    std::vector<int> blocks;  // left in the edit
    std::pair<int, int> selection;
    const char* message;  // the box the step shows, if any
  } rows[] = {
      {"combo picks info_player_start", [&] { Select(IDC_ENTITY_COMBO, "info_player_start"); }, kAllBlocks,
       SpanOf(kAllBlocks, kStart), nullptr},
      {"combo picks info_player_deathmatch", [&] { Select(IDC_ENTITY_COMBO, "info_player_deathmatch"); }, kAllBlocks,
       SpanOf(kAllBlocks, kDeathmatch1), nullptr},
      {"Find Next", [&] { Click(IDC_FIND_NEXT); }, kAllBlocks, SpanOf(kAllBlocks, kDeathmatch2), nullptr},
      {"Find starts at the top", [&] { Click(IDC_FIND); }, kAllBlocks, SpanOf(kAllBlocks, kDeathmatch1), nullptr},
      {"Find Next", [&] { Click(IDC_FIND_NEXT); }, kAllBlocks, SpanOf(kAllBlocks, kDeathmatch2), nullptr},
      {"Find Next past the last wraps", [&] { Click(IDC_FIND_NEXT); }, kAllBlocks, SpanOf(kAllBlocks, kDeathmatch1),
       nullptr},
      {"F3 is Find Next", [&] { Press(Item(IDC_ENTITY_TEXT), VK_F3); }, kAllBlocks, SpanOf(kAllBlocks, kDeathmatch2),
       nullptr},
      {"Delete All", [&] { Click(IDC_DELETE_ALL); }, withoutDeathmatch, caret(withoutDeathmatch, -1),
       "2 entities containing the string\n\"info_player_deathmatch\"\nwere deleted."},
      {"Undo brings every deleted block back", [&] { Send(IDC_ENTITY_TEXT, WM_UNDO); }, kAllBlocks, kUnchecked,
       nullptr},
      {"Delete All on a text over the edit's limit keeps what it leaves whole",
       [&] {
         const LRESULT limit = Send(IDC_ENTITY_TEXT, EM_GETLIMITTEXT);
         Send(IDC_ENTITY_TEXT, EM_SETLIMITTEXT, 10);
         Click(IDC_DELETE_ALL);
         Send(IDC_ENTITY_TEXT, EM_SETLIMITTEXT, static_cast<WPARAM>(limit));
       },
       withoutDeathmatch, caret(withoutDeathmatch, -1),
       "2 entities containing the string\n\"info_player_deathmatch\"\nwere deleted."},
      {"Undo", [&] { Send(IDC_ENTITY_TEXT, WM_UNDO); }, kAllBlocks, kUnchecked, nullptr},
      {"Find", [&] { Click(IDC_FIND); }, kAllBlocks, SpanOf(kAllBlocks, kDeathmatch1), nullptr},
      {"Delete", [&] { Click(IDC_DELETE); }, withoutFirst, caret(withoutFirst, kStart), nullptr},
      {"Find Next after Delete", [&] { Click(IDC_FIND_NEXT); }, withoutFirst, SpanOf(withoutFirst, kDeathmatch2),
       nullptr},
      {"Delete", [&] { Click(IDC_DELETE); }, withoutDeathmatch, caret(withoutDeathmatch, -1), nullptr},
  };
  bool edited = false;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.step);
    row.act();
    EXPECT_EQ(Text(IDC_ENTITY_TEXT), Crlf(LumpOf(row.blocks)));
    if (row.selection != kUnchecked) {
      EXPECT_EQ(Selection(), row.selection);
    }
    edited = edited || row.blocks != kAllBlocks;
    EXPECT_EQ(Modified(), edited);
    // The caption's "*" says so too.
    EXPECT_EQ(WindowText(main_).rfind('*', 0) == 0, edited) << WindowText(main_);
    if (std::string_view(row.step) == "F3 is Find Next") {
      EXPECT_EQ(Text(IDC_FIND_FEEDBACK), "Block 2 of 2 containing \"info_player_deathmatch\"");
    }
    EXPECT_EQ(Text(IDC_MAP_STATUS), "Entities for map alpha.bsp");
    const auto seen = boxes_.Take();
    ASSERT_EQ(seen.size(), row.message != nullptr ? 1u : 0u);
    if (row.message != nullptr) ExpectMessageBox(seen[0], row.message, {IDOK});
  }
}

// The outline beside the text: one row per block, a row chosen selects its
// block as Find does, the filter and the counts, and edits are followed.
TEST_F(MainWindowTest, TheOutlineChoosesBlocksAndFollowsTheText) {
  Start();
  ChooseMap("alpha.bsp");
  const auto settle = [this] {
    for (int wait = 0; wait < 100 && window_->OutlineRefreshPending(); ++wait) {
      Sleep(10);
      Pump();
    }
  };
  const auto rows = [this] { return static_cast<int>(Send(IDC_OUTLINE, LVM_GETITEMCOUNT)); };
  settle();
  ASSERT_EQ(rows(), static_cast<int>(kAllBlocks.size()));
  EXPECT_EQ(window_->OutlineRows()[kLight].className, "light");

  LVITEMA state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  Send(IDC_OUTLINE, LVM_SETITEMSTATE, kDeathmatch1, reinterpret_cast<LPARAM>(&state));
  Pump();
  EXPECT_EQ(Selection(), SpanOf(kAllBlocks, kDeathmatch1));
  Click(IDC_FIND_NEXT);  // goes on after the chosen block
  EXPECT_EQ(Selection(), SpanOf(kAllBlocks, kDeathmatch2));

  SetWindowTextA(Item(IDC_OUTLINE_FILTER), "info_player_deathmatch");
  Pump();
  EXPECT_EQ(rows(), 2);
  EXPECT_EQ(Text(IDC_OUTLINE_COUNTS), "info_player_deathmatch 2");
  SetWindowTextA(Item(IDC_OUTLINE_FILTER), "");
  Pump();

  Click(IDC_DELETE_ALL);
  boxes_.Take();
  settle();
  EXPECT_EQ(rows(), 3);
  EXPECT_EQ(Text(IDC_OUTLINE_COUNTS), "info_player_start 1, light 1, worldspawn 1");

  // The problems of the text in the check's words: a block without its class
  // typed at the top; choosing it puts the caret on its place.
  Send(IDC_ENTITY_TEXT, EM_SETSEL, 0, 0);
  const char block[] = "{\r\n}\r\n";
  Send(IDC_ENTITY_TEXT, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(block));
  Pump();
  settle();
  ASSERT_GE(Send(IDC_PROBLEMS, LB_GETCOUNT), 1);
  char first[512] = {};
  Send(IDC_PROBLEMS, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(first));
  EXPECT_EQ(std::string(first).rfind("error 1:1 ", 0), 0U) << first;
  Send(IDC_ENTITY_TEXT, EM_SETSEL, 20, 20);
  Send(IDC_PROBLEMS, LB_SETCURSEL, 0);
  SendMessageA(main_, WM_COMMAND, MAKEWPARAM(IDC_PROBLEMS, LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(Item(IDC_PROBLEMS)));
  Pump();
  EXPECT_EQ(Selection(), std::make_pair(0, 0));
}

// Typed text, Enter in the edit included, lands on disk in lump form.
// Made larger, the window gives the map list its height and the text its
// width and height, and moves the outline along; the buttons stay. It cannot
// be made narrower than its template, nor lower than the room the list and
// the text can give up.
TEST_F(MainWindowTest, TheControlsFollowTheWindowWhenItIsResized) {
  Start();
  const auto rectOf = [this](int id) {
    RECT rect{};
    GetWindowRect(Item(id), &rect);
    MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  };
  const int ids[] = {IDC_ENTITY_TEXT, IDC_MAP_LIST, IDC_SAVE, IDC_FIND, IDC_OUTLINE, IDC_PROBLEMS, IDC_FIND_FEEDBACK};
  std::map<int, RECT> before;
  for (const int id : ids) before[id] = rectOf(id);
  RECT window{};
  GetWindowRect(main_, &window);
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  constexpr int kWider = 120;
  constexpr int kTaller = 80;
  SetWindowPos(main_, nullptr, 0, 0, width + kWider, height + kTaller, SWP_NOMOVE | SWP_NOZORDER);
  Pump();
  const struct {
    int id;
    int dx, dy, dw, dh;
  } moves[] = {
      {IDC_ENTITY_TEXT, 0, 0, kWider, kTaller},
      {IDC_MAP_LIST, 0, 0, 0, kTaller},
      {IDC_SAVE, 0, 0, 0, 0},
      {IDC_FIND, 0, 0, 0, 0},
      {IDC_OUTLINE, kWider, 0, 0, kTaller},
      {IDC_PROBLEMS, kWider, kTaller, 0, 0},
      {IDC_FIND_FEEDBACK, 0, kTaller, kWider, 0},
  };
  for (const auto& move : moves) {
    SCOPED_TRACE(move.id);
    const RECT was = before[move.id];
    const RECT now = rectOf(move.id);
    EXPECT_EQ(now.left - was.left, move.dx);
    EXPECT_EQ(now.top - was.top, move.dy);
    EXPECT_EQ((now.right - now.left) - (was.right - was.left), move.dw);
    EXPECT_EQ((now.bottom - now.top) - (was.bottom - was.top), move.dh);
  }

  SetWindowPos(main_, nullptr, 0, 0, 100, 100, SWP_NOMOVE | SWP_NOZORDER);
  Pump();
  GetWindowRect(main_, &window);
  EXPECT_EQ(window.right - window.left, width);
  EXPECT_LT(window.bottom - window.top, height);
  RECT client{};
  GetClientRect(main_, &client);
  const RECT text = rectOf(IDC_ENTITY_TEXT);
  const RECT problems = rectOf(IDC_PROBLEMS);
  EXPECT_GT(text.bottom - text.top, 50);
  EXPECT_LE(rectOf(IDC_FIND_FEEDBACK).bottom, client.bottom);
  EXPECT_LE(problems.bottom, client.bottom);
  EXPECT_LT(rectOf(IDC_OUTLINE).bottom, problems.top);
}

TEST_F(MainWindowTest, TypedTextIsSavedAndShownAgainAsSaved) {
  Start();
  ChooseMap("alpha.bsp");
  const std::string shown = Text(IDC_ENTITY_TEXT);
  const auto value = static_cast<WPARAM>(shown.find("alpha"));
  Send(IDC_ENTITY_TEXT, EM_SETSEL, value, static_cast<LPARAM>(value + 5));
  Type("edited by hand");
  const auto light = static_cast<int>(Text(IDC_ENTITY_TEXT).find("{\r\n\"classname\" \"light\""));
  Send(IDC_ENTITY_TEXT, EM_SETSEL, static_cast<WPARAM>(light), light);
  Press(Item(IDC_ENTITY_TEXT), VK_RETURN);
  EXPECT_TRUE(boxes_.Take().empty()) << "Enter in the edit presses no button";
  EXPECT_TRUE(Modified());
  const std::string typed = Text(IDC_ENTITY_TEXT);
  ASSERT_EQ(typed.substr(static_cast<size_t>(light), 3), "\r\n{");

  Click(IDC_SAVE);
  const auto seen = boxes_.Take();
  ASSERT_EQ(seen.size(), 1u);
  ExpectMessageBox(seen[0], "The file:  alpha.bsp\nwas saved!", {IDOK});
  std::string expected = LumpOf(kAllBlocks);
  expected.replace(expected.find("alpha"), 5, "edited by hand");
  expected.insert(expected.find("{\n\"classname\" \"light\""), "\n");
  EXPECT_EQ(EntityTextOnDisk("alpha.bsp"), expected);
  CString core(typed);
  ToLumpText(core);
  EXPECT_EQ(EntityTextOnDisk("alpha.bsp"), core.Str()) << "the core's lump form of the edit's text";
  EXPECT_EQ(Text(IDC_ENTITY_TEXT), Crlf(expected)) << "reloaded from disk";
  EXPECT_FALSE(Modified());
  EXPECT_EQ(Text(IDC_MAP_STATUS), "Entities for map alpha.bsp");
}

// Enter presses Find wherever the focus is but in the entity edit; Find looks
// for what the user typed into the combo box's field.
TEST_F(MainWindowTest, EnterPressesFindFromTheOtherControls) {
  Start();
  const HWND field = GetWindow(Item(IDC_ENTITY_COMBO), GW_CHILD);
  SetFocus(field);
  SendMessageA(field, EM_SETSEL, 0, -1);
  for (const char c : std::string("info_player_start")) SendMessageA(field, WM_CHAR, static_cast<WPARAM>(c), 1);
  for (const HWND target : {field, Item(IDC_MAP_FOLDER), Item(IDC_MAP_LIST)}) {
    SCOPED_TRACE(ClassOf(target));
    ChooseMap("alpha.bsp");
    Send(IDC_ENTITY_TEXT, EM_SETSEL, 0, 0);
    Press(target, VK_RETURN);
    EXPECT_EQ(Selection(), SpanOf(kAllBlocks, kStart));
    EXPECT_EQ(GetFocus(), Item(IDC_ENTITY_TEXT));
    EXPECT_FALSE(Modified());
  }
  EXPECT_TRUE(boxes_.Take().empty());
}

// Tab into the entity text leaves the caret where it was: with all of it
// selected, the next key typed would replace every entity.
TEST_F(MainWindowTest, TabIntoTheTextKeepsTheCaret) {
  Start();
  ChooseMap("alpha.bsp");
  Send(IDC_ENTITY_TEXT, EM_SETSEL, 10, 12);
  Press(Item(IDC_FIND), VK_TAB);
  EXPECT_EQ(GetFocus(), Item(IDC_ENTITY_TEXT));
  EXPECT_EQ(Selection(), std::make_pair(10, 12));
}

// Every real map shows its whole entity text, as the core reads it.
TEST_F(MainWindowTest, RealMapsShowTheirWholeEntityText) {
  const std::string real = std::filesystem::absolute(test::kRealMapsDir).string() + "\\";
  if (!std::filesystem::is_directory(real)) GTEST_SKIP() << "no real maps in " << real;
  WriteInstallPath(StringValue(real, false));
  Start();
  const std::vector<std::string> listed = ListedMaps();
  EXPECT_GE(listed.size(), 1u);
  for (const std::string& name : listed) {
    SCOPED_TRACE(name);
    test::RecordingMessages messages;
    CBspFile map(messages);
    ASSERT_EQ(map.LoadMap(CString(real + name)), 0);
    ChooseMap(name);
    EXPECT_EQ(Text(IDC_MAP_STATUS), "Entities for map " + name);
    EXPECT_EQ(Text(IDC_ENTITY_TEXT), ToDisplayText(map.GetEntityText()).Str());
    EXPECT_FALSE(Modified());
  }
  EXPECT_TRUE(boxes_.Take().empty());
}

// Wherever a save is asked for and fails, the user keeps the window, the map
// and the edits; once the cause is gone the same edits save.
TEST_F(MainWindowTest, ASaveThatFailsKeepsTheWindowOpenWithTheEdits) {
  Start();
  const struct {
    const char* how;
    std::function<void()> act;
    bool asked;
  } rows[] = {
      {"Save", [&] { Click(IDC_SAVE); }, false},
      {"choosing another map", [&] { ChooseMap("Beta.BSP"); }, true},
      {"Exit", [&] { Click(IDOK); }, true},
      {"Esc in the entity edit", [&] { Press(Item(IDC_ENTITY_TEXT), VK_ESCAPE); }, true},
      {"the close box", [&] { SysCommand(SC_CLOSE); }, true},
  };
  const std::string onDisk = test::ReadFileBytes(Map("alpha.bsp"));
  for (const auto& row : rows) {
    SCOPED_TRACE(row.how);
    Send(IDC_ENTITY_TEXT, EM_SETMODIFY, FALSE);
    ChooseMap("alpha.bsp");
    const auto value = static_cast<WPARAM>(Text(IDC_ENTITY_TEXT).find("alpha"));
    Send(IDC_ENTITY_TEXT, EM_SETSEL, value, static_cast<LPARAM>(value));
    Type("x");
    const std::string edited = Text(IDC_ENTITY_TEXT);
    test::SetReadOnly(Map("alpha.bsp"), true);
    boxes_.Answer(row.asked ? std::vector<int>{IDYES, IDOK} : std::vector<int>{IDOK});
    row.act();
    const auto seen = boxes_.Take();
    ASSERT_EQ(seen.size(), row.asked ? 2u : 1u);
    if (row.asked) ExpectMessageBox(seen[0], kSaveQuestion, {IDYES, IDNO, IDCANCEL});
    ExpectMessageBox(seen.back(),
                     "Error saving the file: alpha.bsp.\n(the map is read-only (its read-only attribute is set))",
                     {IDOK});
    ASSERT_TRUE(IsWindow(main_));
    EXPECT_TRUE(IsWindowVisible(main_));
    EXPECT_TRUE(IsWindowEnabled(main_));
    EXPECT_EQ(Text(IDC_ENTITY_TEXT), edited);
    EXPECT_TRUE(Modified());
    EXPECT_EQ(ChosenMap(), "alpha.bsp");
    EXPECT_EQ(Text(IDC_MAP_STATUS), "Entities for map alpha.bsp");
    EXPECT_EQ(test::ReadFileBytes(Map("alpha.bsp")), onDisk);
    test::SetReadOnly(Map("alpha.bsp"), false);
  }

  // The edits are still there to save at exit.
  boxes_.Answer({IDYES, IDOK});
  Click(IDOK);
  const auto seen = boxes_.Take();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].text, kSaveQuestion);
  EXPECT_EQ(seen[1].text, "The file:  alpha.bsp\nwas saved!");
  EXPECT_FALSE(IsWindow(main_));
  std::string expected = LumpOf(kAllBlocks);
  expected.insert(expected.find("alpha"), "x");
  EXPECT_EQ(EntityTextOnDisk("alpha.bsp"), expected);
}

// Cancel at Browse's question, F1 and Esc in a dropped list leave the window
// and the user's edits as they were; Esc in the entity edit then runs the exit.
TEST_F(MainWindowTest, EscInTheEntityEditAsksThenClosesAndStoresTheFolder) {
  Start();
  ChooseMap("alpha.bsp");
  Click(IDC_DELETE_ALL);
  boxes_.Take();
  const std::string edited = Text(IDC_ENTITY_TEXT);

  boxes_.Answer({IDCANCEL});
  Click(IDC_BROWSE);
  Press(Item(IDC_ENTITY_TEXT), VK_F1);
  const HWND field = GetWindow(Item(IDC_ENTITY_COMBO), GW_CHILD);
  SetFocus(field);
  Send(IDC_ENTITY_COMBO, CB_SHOWDROPDOWN, TRUE);
  ASSERT_TRUE(Send(IDC_ENTITY_COMBO, CB_GETDROPPEDSTATE));
  Press(field, VK_ESCAPE);
  EXPECT_FALSE(Send(IDC_ENTITY_COMBO, CB_GETDROPPEDSTATE));
  auto seen = boxes_.Take();
  ASSERT_EQ(seen.size(), 2u);
  // Browse asks about the edits first; Cancel keeps them and the folder.
  ExpectMessageBox(seen[0], kSaveQuestion, {IDYES, IDNO, IDCANCEL});
  ExpectMessageBox(seen[1], "Failed to launch help.", {IDOK});
  EXPECT_TRUE(IsWindowVisible(main_));
  EXPECT_EQ(Text(IDC_MAP_FOLDER), Folder());
  EXPECT_EQ(ListedMaps(), (std::vector<std::string>{"alpha.bsp", "Beta.BSP"}));
  EXPECT_EQ(ChosenMap(), "alpha.bsp");
  EXPECT_EQ(Text(IDC_ENTITY_TEXT), edited);
  EXPECT_TRUE(Modified());

  const std::string onDisk = test::ReadFileBytes(Map("alpha.bsp"));
  boxes_.Answer({IDNO});
  Press(Item(IDC_ENTITY_TEXT), VK_ESCAPE);
  seen = boxes_.Take();
  ASSERT_EQ(seen.size(), 1u);
  ExpectMessageBox(seen[0], kSaveQuestion, {IDYES, IDNO, IDCANCEL});
  EXPECT_FALSE(IsWindow(main_));
  EXPECT_EQ(test::ReadFileBytes(Map("alpha.bsp")), onDisk);
  EXPECT_EQ(ReadInstallPath(), StringValue(Folder(), false)) << "stored again, without the terminator";
}

// The About entry's command, whatever its low four bits, opens the About box
// over the main window; other commands do not.
TEST_F(MainWindowTest, TheSystemMenuOpensTheAboutBox) {
  Start();
  RECT owner{};
  GetWindowRect(main_, &owner);
  const HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
  for (const WPARAM command : {0x0010, 0x0011, 0x0017, 0x001F, 0x0020}) {
    SCOPED_TRACE(command);
    SysCommand(command);
    const auto seen = boxes_.Take();
    if (command == 0x0020) {
      EXPECT_TRUE(seen.empty());
      continue;
    }
    ASSERT_EQ(seen.size(), 1u);
    const SeenBox& about = seen[0];
    EXPECT_TRUE(about.shown);
    EXPECT_EQ(about.caption, "About Lumpwright");
    ASSERT_EQ(about.texts.size(), 4u);
    EXPECT_EQ(about.texts[1], "Lumpwright ");
    EXPECT_FALSE(about.texts[2].empty()) << "the notice";
    EXPECT_EQ(about.texts[3], "OK");
    EXPECT_EQ(about.icon, icon);
    EXPECT_EQ(about.owner, main_);
    EXPECT_FALSE(about.ownerEnabled);
    EXPECT_LE(std::abs((about.rect.left + about.rect.right) - (owner.left + owner.right)), 1);
    EXPECT_LE(std::abs((about.rect.top + about.rect.bottom) - (owner.top + owner.bottom)), 1);
    EXPECT_TRUE(IsWindowEnabled(main_));
    EXPECT_TRUE(IsWindowVisible(main_)) << "OK in the About box leaves the main window open";
  }
}

}  // namespace
}  // namespace lw::win32
