#pragma once

#include <windows.h>

#include <string_view>

#include "entities/EntityEdit.h"
#include "ui/win32/Controls.h"

namespace lw::win32 {

// The entity edit: the multi-line edit control does the editing (its text
// limit, modified flag, undo and caret scrolling are its own), and the
// searches read its own buffer in place.
class EntityEditControl : public Control, public EntityEdit {
 public:
  ~EntityEditControl() override { ReleaseLiveText(); }

  [[nodiscard]] CString GetText() const override { return Text(); }
  void SetText(const CString& text) override;
  // The control's buffer, locked until the next change or the end of the
  // command (ReleaseLiveText), whichever comes first.
  std::string_view LiveText() override;

  void GetSel(int& start, int& end) const override;
  void SetSel(int start, int end) override;
  void ReplaceSel(const CString& text) override;
  // One replace-selection: the control redraws and rebuilds its lines once,
  // and its one level of undo takes back the whole change.
  void ReplaceRange(int start, int end, std::string_view text) override;
  void ScrollCaret() override { Send(EM_SCROLLCARET); }
  [[nodiscard]] int GetFirstVisibleLine() const override { return static_cast<int>(Send(EM_GETFIRSTVISIBLELINE)); }
  void SetFirstVisibleLine(int line) override {
    Send(EM_LINESCROLL, 0, static_cast<LPARAM>(line - GetFirstVisibleLine()));
  }

  [[nodiscard]] unsigned GetLimitText() const override { return static_cast<unsigned>(Send(EM_GETLIMITTEXT)); }
  void SetLimitText(unsigned limit) override { Send(EM_SETLIMITTEXT, limit); }
  [[nodiscard]] bool GetModify() const override { return Send(EM_GETMODIFY) != FALSE; }
  void SetModify(bool modified) override { Send(EM_SETMODIFY, modified ? TRUE : FALSE); }
  void SetFocus() override { ::SetFocus(hwnd_); }

  // Tab into the text leaves the caret and the selection where they were: a
  // dialog selects all of an edit that asks for it, and the next key typed
  // would then replace every entity.
  void KeepCaretOnFocus();

  // Gives the buffer back to the control: a command is over.
  void ReleaseLiveText();

 private:
  HLOCAL locked_ = nullptr;
  const char* text_ = nullptr;
};

}  // namespace lw::win32
