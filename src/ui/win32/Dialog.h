#pragma once

// The program's small dialog layer: a dialog built from a template, whose
// messages and control notifications reach member handlers through a static
// table, with controls bound to member objects when it is initialised, and
// with the keyboard and placement behaviours every dialog of the program has.

#include <windows.h>

#include <cstddef>
#include <type_traits>

#include "ui/win32/Controls.h"

namespace lw::win32 {

// Where the program's templates, strings and icon are: the executable itself.
inline HINSTANCE ResourceInstance() { return GetModuleHandleA(nullptr); }

// One row of a dialog's message table. A WM_COMMAND row names a control's
// notification code and ID; a row for another message names the message only.
// A row has either a command (no parameters, result 0) or a handler that gets
// the message's parameters and gives its result.
template <typename T>
struct MessageEntry {
  UINT message = 0;
  UINT code = 0;
  int id = 0;
  void (T::*command)() = nullptr;
  LRESULT (T::*handler)(WPARAM, LPARAM) = nullptr;
};

template <typename T>
constexpr MessageEntry<T> CommandRow(UINT code, int id, void (T::*command)()) {
  return {WM_COMMAND, code, id, command, nullptr};
}

template <typename T>
constexpr MessageEntry<T> MessageRow(UINT message, void (T::*command)()) {
  return {message, 0, 0, command, nullptr};
}

template <typename T>
constexpr MessageEntry<T> MessageRow(UINT message, LRESULT (T::*handler)(WPARAM, LPARAM)) {
  return {message, 0, 0, nullptr, handler};
}

class Dialog {
 public:
  // `owner` is disabled while the dialog runs modally.
  Dialog(int templateId, HWND owner);
  virtual ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Disables the owner, creates the dialog, runs it until EndDialog, then
  // hides it, gives the owner back its input and destroys the dialog.
  // -1 when the template cannot be made into a window.
  INT_PTR DoModal();
  // Creates the dialog without running it (for a program that drives it with
  // its own message loop, such as a test). False when it cannot be made.
  // EndDialog then destroys it at once.
  bool Create();
  void EndDialog(INT_PTR result);

  // The dialog's keyboard: Esc ends it from every control (a dropped-down
  // combo box only closes its list), F1 asks for help, and the dialog
  // manager's keys (Tab, Enter for the default button, mnemonics). A loop
  // that drives the dialog hands it every message before dispatching it;
  // true when the message has been dealt with here.
  bool PreTranslateMessage(MSG& message);

  [[nodiscard]] HWND GetSafeHwnd() const { return hwnd_; }
  [[nodiscard]] bool IsEnded() const { return ended_; }
  [[nodiscard]] INT_PTR Result() const { return result_; }

 protected:
  // A key pressed in the dialog, before the dialog manager sees it: true
  // when the dialog has acted on it as a shortcut.
  virtual bool OnShortcutKey(WPARAM /*key*/) { return false; }
  // The framework's initialisation: the template's initialisation data, then
  // the control binding. Overrides call it first. True to let the dialog
  // manager put the focus on the first control.
  virtual BOOL OnInitDialog();
  // Binds member controls to the template's controls by ID.
  virtual void DoDataExchange() {}
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }

  // Routes a message through the dialog's tables: an override routes through
  // its own table first, then calls this one (IDOK and IDCANCEL). True when a
  // row handled the message and `result` is its result. A table is a static
  // array local to the override, where the class is complete and its
  // handlers are within reach.
  virtual bool RouteMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  template <typename T, std::size_t N>
  bool Route(const MessageEntry<T> (&table)[N], UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  void BindControl(int id, Control& control) const { control.Attach(GetDlgItem(hwnd_, id)); }
  // Asks for the system's default processing of the message being handled,
  // after its handler returns.
  void Default() { defaultRequested_ = true; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool CreateWindowFromTemplate();
  // Adds the strings of the template's initialisation data to its controls.
  void ExecuteDlgInit();
  // Centred over a visible owner, else in the primary monitor's work area;
  // pushed inside the work area where it would stick out.
  void CenterWindow();
  void RunModalLoop();
  void ShowHelp();

  int templateId_;
  HWND owner_;
  HWND hwnd_ = nullptr;
  bool modal_ = false;
  bool ended_ = false;
  INT_PTR result_ = 0;
  bool defaultRequested_ = false;
};

template <typename T, std::size_t N>
bool Dialog::Route(const MessageEntry<T> (&table)[N], UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  static_assert(std::is_base_of_v<Dialog, T>);
  const auto code = static_cast<UINT>((wParam >> 16) & 0xFFFF);
  const auto id = static_cast<int>(wParam & 0xFFFF);
  for (const MessageEntry<T>& row : table) {
    if (row.message != message) continue;
    if (message == WM_COMMAND && (row.code != code || (row.id & 0xFFFF) != id)) continue;
    T& self = static_cast<T&>(*this);
    if (row.command != nullptr) {
      (self.*row.command)();
      result = 0;
    } else {
      result = (self.*row.handler)(wParam, lParam);
    }
    return true;
  }
  return false;
}

}  // namespace lw::win32
