#pragma once

// Member objects for a dialog's controls, bound by ID when the dialog is
// initialised. Text is 8-bit, in the active code page, as everywhere in the
// program, so the controls are spoken to with the ANSI messages.

#include <windows.h>

#include "platform/CString.h"

namespace lw::win32 {

class Control {
 public:
  virtual ~Control() = default;
  void Attach(HWND hwnd) { hwnd_ = hwnd; }
  [[nodiscard]] HWND GetSafeHwnd() const { return hwnd_; }

  // The window text.
  [[nodiscard]] CString Text() const;
  void SetText(const CString& text) const;

 protected:
  LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return SendMessageA(hwnd_, message, wParam, lParam);
  }

  HWND hwnd_ = nullptr;
};

class StaticControl : public Control {};

class EditControl : public Control {};

class ListBoxControl : public Control {
 public:
  void ResetContent() const { Send(LB_RESETCONTENT); }
  // Inserted in the list's order when it sorts.
  void AddString(const CString& text) const;
  [[nodiscard]] int GetCurSel() const { return static_cast<int>(Send(LB_GETCURSEL)); }
  // Selects without a selection-change notification; -1 selects none.
  void SetCurSel(int index) const { Send(LB_SETCURSEL, static_cast<WPARAM>(index)); }
  // Empty for an index the list does not hold.
  [[nodiscard]] CString GetText(int index) const;
};

class ComboBoxControl : public Control {
 public:
  [[nodiscard]] int GetCurSel() const { return static_cast<int>(Send(CB_GETCURSEL)); }
  // Selects without a selection-change notification.
  void SetCurSel(int index) const { Send(CB_SETCURSEL, static_cast<WPARAM>(index)); }
  // Empty for an index the list does not hold.
  [[nodiscard]] CString GetLBText(int index) const;
};

}  // namespace lw::win32
