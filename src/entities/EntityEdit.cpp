#include "entities/EntityEdit.h"

#include "entities/DeleteAllPass.h"
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

int DeleteBlocksOneAtATime(EntityEdit& edit, std::string_view needle, int& searchPosition) {
  int count = 0;
  while (SelectNextBlock(edit, needle, searchPosition, false)) {
    DeleteSelection(edit, searchPosition);
    ++count;
  }
  return count;
}

int EntityEdit::DeleteAllBlocks(std::string_view needle, int& searchPosition) {
  const std::string_view before = LiveText();
  const DeleteAllResult result = DeleteAllInOnePass(before, needle, searchPosition);
  searchPosition = result.searchPosition;
  if (result.count == 0) return 0;

  const TextReplacement change = SingleReplacement(before, result.text);
  const auto start = static_cast<int>(change.start);
  ReplaceRange(start, start + static_cast<int>(change.removedLength), change.inserted);
  // Where the last deletion left the caret, scrolled into view as it was.
  const auto caret = static_cast<int>(result.caret);
  SetSel(caret, caret);
  ScrollCaret();
  return result.count;
}

}  // namespace lw
