#pragma once

#include <string_view>

#include "platform/CString.h"

namespace lw {

// The operations the editor's logic performs on the multi-line entity edit.
// Positions are character positions (bytes), selection ends are exclusive.
class EntityEdit {
 public:
  virtual ~EntityEdit() = default;

  [[nodiscard]] virtual CString GetText() const = 0;
  // Replaces the whole text; the limit does not apply.
  virtual void SetText(const CString& text) = 0;
  // The edit's own NUL-terminated characters, read in place. Valid until the
  // next change; a command takes it again after each change it makes.
  virtual std::string_view LiveText() = 0;

  virtual void GetSel(int& start, int& end) const = 0;
  // A position beyond the end counts as the end; the caret goes to `end`.
  virtual void SetSel(int start, int end) = 0;
  // An undoable change that sets the modified flag.
  virtual void ReplaceSel(const CString& text) = 0;
  // Replaces the characters from `start` to `end` (0 <= start <= end <= the
  // length) with `text`: one undo step, the modified flag set, the limit not
  // applied. Leaves an empty selection after the inserted text; whether the
  // view scrolls is the edit's own, so a caller that cares scrolls after.
  virtual void ReplaceRange(int start, int end, std::string_view text) = 0;
  virtual void ScrollCaret() = 0;
  // The line at the top of the view, counting from 0; setting it scrolls
  // there, a line past the end counting as the last.
  [[nodiscard]] virtual int GetFirstVisibleLine() const = 0;
  virtual void SetFirstVisibleLine(int line) = 0;

  [[nodiscard]] virtual unsigned GetLimitText() const = 0;
  virtual void SetLimitText(unsigned limit) = 0;
  [[nodiscard]] virtual bool GetModify() const = 0;
  virtual void SetModify(bool modified) = 0;
  virtual void SetFocus() = 0;

  // Deletes every block that contains `needle` and returns the count. It
  // leaves the text, the selection (the caret, scrolled into view) and
  // `searchPosition` as DeleteBlocksOneAtATime does, but works them out in one
  // pass and makes them one replacement: one redraw, and one Undo brings every
  // block back.
  int DeleteAllBlocks(std::string_view needle, int& searchPosition);
};

// Deletes the selection and lowers `searchPosition` by its length (never below
// 0). An empty selection changes nothing but the arithmetic.
void DeleteSelection(EntityEdit& edit, int& searchPosition);

// Selects the block that `FindEntityBlock` finds from `searchPosition`, scrolls
// it into view and moves `searchPosition` past it; false (nothing changed) when
// none is found. With `focus` the edit gets the keyboard focus first.
bool SelectNextBlock(EntityEdit& edit, std::string_view needle, int& searchPosition, bool focus);

// Delete All as the rule reads: find from `searchPosition`, select the block,
// delete the selection, until none is found; returns the count. An undo step
// per block and a pass over the text per block: what DeleteAllBlocks is
// checked and timed against.
int DeleteBlocksOneAtATime(EntityEdit& edit, std::string_view needle, int& searchPosition);

}  // namespace lw
