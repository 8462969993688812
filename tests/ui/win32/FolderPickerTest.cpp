// The folder picker as the user meets it: a second thread waits for it to
// come up, types into its name box and presses keys, while this thread sits in
// the picker's own loop; what the picker hands back is checked.

#include <windows.h>
// The common dialogs' control identifiers.
#include <dlgs.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"
#include "ui/win32/FolderPicker.h"

namespace lw::win32 {
namespace {

constexpr const char* kTitle = "Select a folder that contains bsp files..";
constexpr auto kPoll = std::chrono::milliseconds(20);
constexpr auto kShowTimeout = std::chrono::seconds(15);
constexpr auto kCloseTimeout = std::chrono::seconds(5);
constexpr int kMessageTextId = 0xFFFF;

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, static_cast<int>(sizeof(name)));
  return name;
}

std::string WindowText(HWND window) {
  std::string text(static_cast<size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

// The picker's box for a name or a path: an edit of its own in Wine's dialog,
// the edit inside a combo box in Windows'.
HWND NameBox(HWND picker) {
  if (const HWND edit = GetDlgItem(picker, edt1)) return edit;
  if (const HWND combo = GetDlgItem(picker, cmb13)) {
    for (HWND inner = FindWindowExA(combo, nullptr, nullptr, nullptr); inner != nullptr;
         inner = FindWindowExA(inner, nullptr, nullptr, nullptr)) {
      if (ClassOf(inner) == "Edit") return inner;
    }
  }
  return nullptr;
}

BOOL CALLBACK AddDialog(HWND window, LPARAM found) {
  if (ClassOf(window) == "#32770" && IsWindowVisible(window)) {
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  }
  return TRUE;
}

// The visible dialog boxes of a thread: the picker and any box it opens.
std::vector<HWND> DialogsOf(DWORD thread) {
  std::vector<HWND> dialogs;
  EnumThreadWindows(thread, &AddDialog, reinterpret_cast<LPARAM>(&dialogs));
  return dialogs;
}

// A key as the keyboard delivers it to the name box; the dialog's loop makes
// Enter and Esc its default button and its Cancel.
void Press(HWND target, WPARAM key) {
  const auto data = static_cast<LPARAM>(1 | (MapVirtualKeyA(static_cast<UINT>(key), MAPVK_VK_TO_VSC) << 16));
  PostMessageA(target, WM_KEYDOWN, key, data);
  PostMessageA(target, WM_KEYUP, key, data | static_cast<LPARAM>(0xC0000000));
}

void Type(HWND target, const std::string& text) {
  for (const char c : text) PostMessageA(target, WM_CHAR, static_cast<unsigned char>(c), 1);
}

// What the user saw of the picker.
struct SeenPicker {
  bool shown = false;
  std::string caption;
  HWND owner = nullptr;
  bool ownerEnabled = true;
  bool hasNameBox = false;
  bool closed = false;             // by the keys pressed, without the driver's cancel
  std::vector<std::string> boxes;  // the texts of the message boxes it opened
};

// Works the picker from a thread of its own: waits for it among `ui`'s
// windows, does `act` to its name box, and waits for it to close. A picker
// that stays up is cancelled, with any box it opened, so that a test fails
// instead of hanging.
class PickerDriver {
 public:
  PickerDriver(DWORD ui, std::function<void(HWND nameBox)> act)
      : thread_([this, ui, act = std::move(act)] { Run(ui, act); }) {}
  ~PickerDriver() {
    if (thread_.joinable()) thread_.join();
  }
  PickerDriver(const PickerDriver&) = delete;
  PickerDriver& operator=(const PickerDriver&) = delete;

  SeenPicker Finish() {
    thread_.join();
    return seen_;
  }

 private:
  void Run(DWORD ui, const std::function<void(HWND)>& act) {
    HWND picker = nullptr;
    for (auto waited = std::chrono::milliseconds(0); picker == nullptr && waited < kShowTimeout; waited += kPoll) {
      for (const HWND dialog : DialogsOf(ui)) {
        if (NameBox(dialog) != nullptr) picker = dialog;
      }
      if (picker == nullptr) std::this_thread::sleep_for(kPoll);
    }
    if (picker == nullptr) {
      // Some other picker, with no name box: it goes, and the test fails.
      for (const HWND dialog : DialogsOf(ui)) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      return;
    }
    seen_.shown = true;
    seen_.caption = WindowText(picker);
    seen_.owner = GetWindow(picker, GW_OWNER);
    seen_.ownerEnabled = IsWindowEnabled(seen_.owner) != FALSE;
    const HWND nameBox = NameBox(picker);
    seen_.hasNameBox = IsWindowVisible(nameBox) != FALSE;
    act(nameBox);
    for (auto waited = std::chrono::milliseconds(0); IsWindow(picker) && waited < kCloseTimeout; waited += kPoll) {
      std::this_thread::sleep_for(kPoll);
    }
    seen_.closed = IsWindow(picker) == FALSE;
    // Whatever is still up goes: the boxes over the picker first, answered
    // with their default button, then the picker, which a cancel sent while a
    // box is up may not reach.
    while (IsWindow(picker)) {
      bool answered = false;
      for (const HWND dialog : DialogsOf(ui)) {
        if (dialog == picker || GetPropA(dialog, "lw.answered") != nullptr) continue;
        SetPropA(dialog, "lw.answered", reinterpret_cast<HANDLE>(1));
        seen_.boxes.push_back(WindowText(GetDlgItem(dialog, kMessageTextId)));
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        answered = true;
      }
      if (!answered) PostMessageA(picker, WM_COMMAND, IDCANCEL, 0);
      std::this_thread::sleep_for(kPoll * 10);
    }
  }

  SeenPicker seen_;
  std::thread thread_;
};

// A top-level window for the picker to belong to.
class OwnerWindow {
 public:
  OwnerWindow()
      : window_(CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr)) {}
  ~OwnerWindow() { DestroyWindow(window_); }
  OwnerWindow(const OwnerWindow&) = delete;
  OwnerWindow& operator=(const OwnerWindow&) = delete;
  HWND Get() const { return window_; }

 private:
  HWND window_;
};

enum class Key { kEnter, kEscape };

// "{tmp}" in a row stands for the test's temporary folder, which holds the
// folders "start", "start\inner" and "typed folder".
struct PickerCase {
  const char* name;
  const char* start;  // nullptr for none
  const char* typed;  // into the name box
  Key key;
  const char* picked;  // nullptr for no folder
  size_t boxes;        // message boxes the picker opened; it closes by the key only without one
};

const PickerCase kCases[] = {
    {"a typed path, then Enter", nullptr, "{tmp}\\typed folder", Key::kEnter, "{tmp}\\typed folder", 0},
    {"a typed path over the start folder", "{tmp}\\start", "{tmp}\\typed folder", Key::kEnter, "{tmp}\\typed folder",
     0},
    {"a typed path with a trailing backslash", "{tmp}\\start", "{tmp}\\typed folder\\", Key::kEnter,
     "{tmp}\\typed folder", 0},
    {"a name, found in the start folder", "{tmp}\\start", "inner", Key::kEnter, "{tmp}\\start\\inner", 0},
    {"a start folder with a trailing backslash", "{tmp}\\start\\", "inner", Key::kEnter, "{tmp}\\start\\inner", 0},
    {"a start folder that is gone", "{tmp}\\gone", "{tmp}\\start", Key::kEnter, "{tmp}\\start", 0},
    // Wine warns, then closes the picker and hands the path back all the same.
    {"a typed path that is not there", "{tmp}\\start", "{tmp}\\missing", Key::kEnter, nullptr, 1},
    {"Esc after typing", "{tmp}\\start", "{tmp}\\typed folder", Key::kEscape, nullptr, 0},
    {"Esc with nothing typed", "{tmp}\\start", "", Key::kEscape, nullptr, 0},
};

std::string InTemp(const test::TempDir& dir, std::string text) {
  const std::string placeholder = "{tmp}";
  if (const size_t at = text.find(placeholder); at != std::string::npos) {
    text.replace(at, placeholder.size(), dir.Path().string());
  }
  return text;
}

TEST(FolderPickerTest, ReturnsTheFolderTypedIntoItsNameBox) {
  for (const PickerCase& row : kCases) {
    SCOPED_TRACE(row.name);
    test::TempDir dir;
    std::filesystem::create_directories(dir.Path() / "start" / "inner");
    std::filesystem::create_directory(dir.Path() / "typed folder");
    const OwnerWindow owner;
    const std::string typed = InTemp(dir, row.typed);
    PickerDriver driver(GetCurrentThreadId(), [&](HWND nameBox) {
      // Whatever the box holds, the typing replaces.
      PostMessageA(nameBox, EM_SETSEL, 0, -1);
      Type(nameBox, typed);
      Press(nameBox, row.key == Key::kEnter ? VK_RETURN : VK_ESCAPE);
    });
    const std::optional<CString> picked =
        PickFolder(owner.Get(), kTitle, row.start != nullptr ? CString(InTemp(dir, row.start)) : CString());
    const SeenPicker seen = driver.Finish();

    if (!seen.shown) {
      ADD_FAILURE() << "no picker with a name box came up";
      continue;
    }
    EXPECT_TRUE(seen.hasNameBox);
    EXPECT_EQ(seen.caption, kTitle);
    EXPECT_EQ(seen.owner, owner.Get());
    EXPECT_FALSE(seen.ownerEnabled);
    EXPECT_EQ(seen.boxes.size(), row.boxes) << (seen.boxes.empty() ? "" : seen.boxes[0]);
    EXPECT_EQ(seen.closed, row.boxes == 0);
    const std::optional<std::string> expected =
        row.picked != nullptr ? std::optional(InTemp(dir, row.picked)) : std::nullopt;
    EXPECT_EQ(picked ? std::optional(picked->Str()) : std::nullopt, expected);
    EXPECT_TRUE(IsWindowEnabled(owner.Get()));
  }
}

}  // namespace
}  // namespace lw::win32
