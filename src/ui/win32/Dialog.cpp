#include "ui/win32/Dialog.h"

#include <cstdint>
#include <cstring>

#include "ui/Resource.h"
#include "ui/win32/MessageBoxes.h"

namespace lw::win32 {
namespace {

constexpr const char* kHelpFailedText = LW_TEXT_HELP_FAILED;
constexpr const char* kHelpFileExtension = ".HLP";
// The dialog initialisation data's command for a list box (the combo box's
// one is in Resource.h).
constexpr WORD kDlgInitListBoxAddString = 0x0401;

RECT PrimaryWorkArea() {
  RECT area{};
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)) {
    area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  return area;
}

RECT WorkAreaOf(HWND window) {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &info)) return info.rcWork;
  return PrimaryWorkArea();
}

// Where a `size` long span starts when centred on [aroundStart, aroundEnd)
// and then pushed inside [areaStart, areaEnd); the start wins when it fits in
// neither direction.
int CenteredStart(LONG aroundStart, LONG aroundEnd, LONG areaStart, LONG areaEnd, LONG size) {
  LONG start = aroundStart + (aroundEnd - aroundStart - size) / 2;
  if (start + size > areaEnd) start = areaEnd - size;
  if (start < areaStart) start = areaStart;
  return static_cast<int>(start);
}

bool IsComboBox(HWND window) {
  constexpr int kClassNameSize = 16;
  char className[kClassNameSize] = {};
  GetClassNameA(window, className, kClassNameSize);
  return lstrcmpiA(className, "ComboBox") == 0;
}

// Whether `window` is (or is inside) a combo box whose list is dropped down.
bool InDroppedComboBox(HWND window, HWND dialog) {
  for (HWND w = window; w != nullptr && w != dialog; w = GetParent(w)) {
    if (IsComboBox(w)) return SendMessageA(w, CB_GETDROPPEDSTATE, 0, 0) != FALSE;
  }
  return false;
}

// The help file is named like the executable, with the help extension.
CString HelpFilePath() {
  const CString path = ModulePath();
  const int dot = path.ReverseFind('.');
  return (dot < 0 ? path : path.Left(dot)) + kHelpFileExtension;
}

bool CanOpen(const CString& path) {
  const HANDLE file = CreateFileA(path.GetString(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

// The messages whose result a dialog procedure returns itself instead of
// leaving it in the window's message result.
bool ReturnsResultDirectly(UINT message) {
  switch (message) {
    case WM_CHARTOITEM:
    case WM_COMPAREITEM:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORMSGBOX:
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_VKEYTOITEM: return true;
    default: return false;
  }
}

}  // namespace

Dialog::Dialog(int templateId, HWND owner) : templateId_(templateId), owner_(owner) {}

Dialog::~Dialog() {
  if (hwnd_ != nullptr) {
    // The window must not call back into a destroyed object.
    SetWindowLongPtrA(hwnd_, DWLP_USER, 0);
    DestroyWindow(hwnd_);
  }
}

INT_PTR Dialog::DoModal() {
  const bool ownerWasEnabled = owner_ != nullptr && IsWindowEnabled(owner_);
  if (ownerWasEnabled) EnableWindow(owner_, FALSE);
  modal_ = true;
  ended_ = false;
  if (!CreateWindowFromTemplate()) {
    if (ownerWasEnabled) EnableWindow(owner_, TRUE);
    modal_ = false;
    return -1;
  }
  // A modal dialog shows even when its template does not say visible.
  if (hwnd_ != nullptr && !IsWindowVisible(hwnd_)) {
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    UpdateWindow(hwnd_);
  }
  RunModalLoop();
  if (hwnd_ != nullptr) {
    SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
  }
  // The owner takes the activation back before this window goes.
  if (ownerWasEnabled) {
    EnableWindow(owner_, TRUE);
    SetActiveWindow(owner_);
  }
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  modal_ = false;
  return result_;
}

bool Dialog::Create() {
  modal_ = false;
  ended_ = false;
  return CreateWindowFromTemplate();
}

bool Dialog::CreateWindowFromTemplate() {
  // The ANSI dialog makes ANSI controls: the entity edit's own buffer then
  // holds 8-bit text in the active code page, as the program's text is.
  const HWND hwnd = CreateDialogParamA(ResourceInstance(), MAKEINTRESOURCEA(templateId_), owner_, &Dialog::DialogProc,
                                       reinterpret_cast<LPARAM>(this));
  return hwnd != nullptr;
}

void Dialog::EndDialog(INT_PTR result) {
  result_ = result;
  ended_ = true;
  if (hwnd_ == nullptr) return;
  if (modal_) {
    PostMessageA(hwnd_, WM_NULL, 0, 0);  // wakes the modal loop
  } else {
    ShowWindow(hwnd_, SW_HIDE);
    DestroyWindow(hwnd_);
  }
}

void Dialog::RunModalLoop() {
  MSG message;
  while (!ended_ && hwnd_ != nullptr) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {
      // The quit request belongs to the loop outside this one.
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (!PreTranslateMessage(message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

bool Dialog::PreTranslateMessage(MSG& message) {
  if (hwnd_ == nullptr || (message.hwnd != hwnd_ && !IsChild(hwnd_, message.hwnd))) return false;
  if (message.message == WM_KEYDOWN) {
    // A multi-line edit would keep Esc for itself; the dialog ends from it
    // all the same. A dropped-down combo box uses it to close its list.
    if (message.wParam == VK_ESCAPE && !InDroppedComboBox(message.hwnd, hwnd_)) {
      SendMessageA(hwnd_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(hwnd_, IDCANCEL)));
      return true;
    }
    if (message.wParam == VK_F1) {
      ShowHelp();
      return true;
    }
    if (OnShortcutKey(message.wParam)) return true;
  }
  return IsDialogMessageA(hwnd_, &message) != FALSE;
}

void Dialog::ShowHelp() {
  const CString helpFile = HelpFilePath();
  if (CanOpen(helpFile) && WinHelpA(hwnd_, helpFile.GetString(), HELP_FINDER, 0)) return;
  ShowMessageBox(hwnd_, kHelpFailedText, MB_OK);
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Dialog* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<Dialog*>(lParam);
    SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    self->hwnd_ = hwnd;
  } else {
    self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  }
  // Messages before WM_INITDIALOG (the font, the creation) get the defaults.
  if (self == nullptr) return FALSE;
  return self->HandleMessage(message, wParam, lParam);
}

INT_PTR Dialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const BOOL focusFirstControl = OnInitDialog();
    // Still hidden: the dialog manager shows it once this returns.
    CenterWindow();
    return focusFirstControl;
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd_, DWLP_USER, 0);
    hwnd_ = nullptr;
    return FALSE;
  }

  // A handler may send messages that come back here; each has its own request.
  const bool outerDefaultRequested = defaultRequested_;
  defaultRequested_ = false;
  LRESULT result = 0;
  const bool handled = RouteMessage(message, wParam, lParam, result) && !defaultRequested_;
  defaultRequested_ = outerDefaultRequested;
  if (!handled) return FALSE;
  if (ReturnsResultDirectly(message)) return static_cast<INT_PTR>(result);
  if (hwnd_ != nullptr) SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
  return TRUE;
}

bool Dialog::RouteMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  static const MessageEntry<Dialog> kMessageMap[] = {
      CommandRow(BN_CLICKED, IDOK, &Dialog::OnOK),
      CommandRow(BN_CLICKED, IDCANCEL, &Dialog::OnCancel),
  };
  return Route(kMessageMap, message, wParam, lParam, result);
}

BOOL Dialog::OnInitDialog() {
  ExecuteDlgInit();
  DoDataExchange();
  return TRUE;
}

void Dialog::ExecuteDlgInit() {
  const HINSTANCE instance = ResourceInstance();
  const HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(templateId_), MAKEINTRESOURCEA(LW_RT_DLGINIT));
  if (found == nullptr) return;
  const HGLOBAL loaded = LoadResource(instance, found);
  const auto* data = static_cast<const unsigned char*>(loaded == nullptr ? nullptr : LockResource(loaded));
  if (data == nullptr) return;
  const size_t size = SizeofResource(instance, found);

  // Records of: control ID (16 bits), command (16 bits), length (32 bits),
  // that many bytes of data; a control ID of 0 ends them. Nothing is aligned.
  size_t at = 0;
  while (at + sizeof(WORD) <= size) {
    WORD id = 0;
    std::memcpy(&id, data + at, sizeof(id));
    if (id == 0) break;
    WORD command = 0;
    std::uint32_t length = 0;
    if (at + 8 > size) break;
    std::memcpy(&command, data + at + 2, sizeof(command));
    std::memcpy(&length, data + at + 4, sizeof(length));
    at += 8;
    if (length > size - at) break;
    const auto* text = reinterpret_cast<const char*>(data + at);
    // The data is a NUL-terminated string; one that is not is skipped.
    const bool terminated = length > 0 && text[length - 1] == '\0';
    if (terminated && command == LW_DLGINIT_CB_ADDSTRING) {
      SendDlgItemMessageA(hwnd_, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    } else if (terminated && command == kDlgInitListBoxAddString) {
      SendDlgItemMessageA(hwnd_, id, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    at += length;
  }
}

void Dialog::CenterWindow() {
  RECT window{};
  if (!GetWindowRect(hwnd_, &window)) return;
  RECT around = PrimaryWorkArea();
  RECT area = around;
  const HWND owner = GetWindow(hwnd_, GW_OWNER);
  if (owner != nullptr && IsWindowVisible(owner) && !IsIconic(owner)) {
    GetWindowRect(owner, &around);
    area = WorkAreaOf(owner);
  }
  const int x = CenteredStart(around.left, around.right, area.left, area.right, window.right - window.left);
  const int y = CenteredStart(around.top, around.bottom, area.top, area.bottom, window.bottom - window.top);
  SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace lw::win32
