#pragma once

#include <string>

#include "entities/EntityEdit.h"

namespace lw {

// An entity edit that lives in memory: the command line's editor and the
// tests' stand-in for a window. It keeps one level of undo, as the window's
// edit does.
class InMemoryEntityEdit : public EntityEdit {
 public:
  [[nodiscard]] CString GetText() const override { return CString(text_); }
  void SetText(const CString& text) override;
  std::string_view LiveText() override { return text_; }

  void GetSel(int& start, int& end) const override;
  void SetSel(int start, int end) override;
  void ReplaceSel(const CString& text) override;
  void ReplaceRange(int start, int end, std::string_view text) override;
  void ScrollCaret() override {}  // nothing to scroll
  [[nodiscard]] int GetFirstVisibleLine() const override { return firstLine_; }
  void SetFirstVisibleLine(int line) override;

  [[nodiscard]] unsigned GetLimitText() const override { return limit_; }
  void SetLimitText(unsigned limit) override { limit_ = limit; }
  [[nodiscard]] bool GetModify() const override { return modified_; }
  void SetModify(bool modified) override { modified_ = modified; }
  void SetFocus() override { ++focusCount_; }

  // Undoes the last replacement (a second undo redoes it).
  bool Undo();

  [[nodiscard]] int FocusCount() const { return focusCount_; }

 private:
  struct UndoRecord {
    bool valid = false;
    size_t position = 0;
    std::string removed;
    std::string inserted;
  };

  std::string text_;
  size_t selStart_ = 0;
  size_t selEnd_ = 0;
  unsigned limit_ = 30000;  // the window edit's own default
  bool modified_ = false;
  int focusCount_ = 0;
  int firstLine_ = 0;
  UndoRecord undo_;
};

}  // namespace lw
