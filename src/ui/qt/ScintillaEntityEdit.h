#pragma once

#include <Qsci/qsciscintilla.h>

#include <string_view>

#include "entities/EntityEdit.h"
#include "platform/Utf8.h"

namespace lw::qt {

// The entity edit: a Scintilla editor that holds the entity text as bytes.
// Positions are byte offsets into its own buffer, which the searches read in
// place. The text never goes through a QString: a map's 8-bit text shows as
// UTF-8 when it is valid UTF-8 and as single-byte characters otherwise, and
// either way the bytes stay as they were.
class ScintillaEntityEdit : public QsciScintilla, public EntityEdit {
  Q_OBJECT

 public:
  explicit ScintillaEntityEdit(QWidget* parent = nullptr);

  [[nodiscard]] CString GetText() const override;
  // Replaces the whole text with no undo history, as a new document.
  void SetText(const CString& text) override;
  std::string_view LiveText() override;

  void GetSel(int& start, int& end) const override;
  void SetSel(int start, int end) override;
  void ReplaceSel(const CString& text) override;
  void ReplaceRange(int start, int end, std::string_view text) override;
  void ScrollCaret() override;
  [[nodiscard]] int GetFirstVisibleLine() const override;
  void SetFirstVisibleLine(int line) override;

  // Scintilla has no limit of its own: the number is kept here and typing
  // stops at it (pastes and the program's own changes are not cut).
  [[nodiscard]] unsigned GetLimitText() const override { return limit_; }
  void SetLimitText(unsigned limit) override { limit_ = limit; }
  [[nodiscard]] bool GetModify() const override;
  void SetModify(bool modified) override;
  void SetFocus() override { setFocus(Qt::OtherFocusReason); }

  // Whether the text is shown as UTF-8 (else as single-byte characters).
  [[nodiscard]] bool IsUtf8() const { return utf8_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  // Tab moves on to the next control, as in the rest of the window.
  bool focusNextPrevChild(bool next) override;

 private:
  [[nodiscard]] long Length() const;
  // The line-number margin as wide as the line count needs.
  void UpdateLineNumberWidth();
  // The brace at the caret and its partner lit, or the brace alone when it
  // pairs with nothing.
  void UpdateBraceHighlight();
  // The bytes from `start` to `end` replaced, the limit not applied.
  void ReplaceTarget(long start, long end, std::string_view text);

  unsigned limit_ = 0;
  // Set by SetModify(true): Scintilla's own flag only says whether the text
  // has left its save point.
  bool forcedModified_ = false;
  bool utf8_ = false;
  int lineNumberDigits_ = 0;
};

}  // namespace lw::qt
