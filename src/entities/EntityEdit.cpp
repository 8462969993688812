#include "entities/EntityEdit.h"

#include "entities/EntityBlockSearch.h"

namespace lw {

void DeleteSelection(EntityEdit& edit, int& searchPosition) {
  int start = 0;
  int end = 0;
  edit.GetSel(start, end);
  searchPosition -= end - start;
  if (searchPosition < 0) searchPosition = 0;
  edit.ReplaceSel("");
}

bool SelectNextBlock(EntityEdit& edit, std::string_view needle, int& searchPosition, bool focus) {
  const std::string_view text = edit.LiveText();
  const auto span = FindEntityBlock(needle, text, searchPosition);
  if (!span) return false;
  if (focus) edit.SetFocus();
  const int selectionEnd = BlockSelectionEnd(text, span->end);
  edit.SetSel(span->start, selectionEnd);
  edit.ScrollCaret();
  searchPosition = selectionEnd + 1;
  return true;
}

int EntityEdit::DeleteAllBlocks(std::string_view needle, int& searchPosition) {
  int count = 0;
  while (SelectNextBlock(*this, needle, searchPosition, false)) {
    DeleteSelection(*this, searchPosition);
    ++count;
  }
  return count;
}

}  // namespace lw
