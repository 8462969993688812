#include "entities/InMemoryEntityEdit.h"

#include <algorithm>

namespace lw {
namespace {

size_t ClampPosition(int position, size_t length) {
  if (position < 0) return length;  // -1 stands for the end, as in the window's edit
  return std::min(static_cast<size_t>(position), length);
}

}  // namespace

void InMemoryEntityEdit::SetFirstVisibleLine(int line) {
  const auto lines = static_cast<int>(std::count(text_.begin(), text_.end(), '\n'));
  firstLine_ = std::clamp(line, 0, lines);
}

void InMemoryEntityEdit::SetText(const CString& text) {
  text_ = text.Str();
  selStart_ = selEnd_ = 0;
  firstLine_ = 0;
  undo_ = {};
}

void InMemoryEntityEdit::GetSel(int& start, int& end) const {
  start = static_cast<int>(selStart_);
  end = static_cast<int>(selEnd_);
}

void InMemoryEntityEdit::SetSel(int start, int end) {
  const size_t a = ClampPosition(start, text_.size());
  const size_t b = ClampPosition(end, text_.size());
  selStart_ = std::min(a, b);
  selEnd_ = std::max(a, b);
}

void InMemoryEntityEdit::ReplaceSel(const CString& text) {
  std::string inserted = text.Str();
  const size_t kept = text_.size() - (selEnd_ - selStart_);
  if (kept + inserted.size() > limit_) inserted.resize(limit_ > kept ? limit_ - kept : 0);
  undo_ = {true, selStart_, text_.substr(selStart_, selEnd_ - selStart_), inserted};
  text_.replace(selStart_, selEnd_ - selStart_, inserted);
  selStart_ = selEnd_ = selStart_ + inserted.size();
  modified_ = true;
}

void InMemoryEntityEdit::ReplaceRange(int start, int end, std::string_view text) {
  const auto from = static_cast<size_t>(start);
  const auto length = static_cast<size_t>(end - start);
  undo_ = {true, from, text_.substr(from, length), std::string(text)};
  text_.replace(from, length, text);
  selStart_ = selEnd_ = from + text.size();
  modified_ = true;
}

bool InMemoryEntityEdit::Undo() {
  if (!undo_.valid) return false;
  text_.replace(undo_.position, undo_.inserted.size(), undo_.removed);
  std::swap(undo_.removed, undo_.inserted);
  selStart_ = undo_.position;
  selEnd_ = undo_.position + undo_.inserted.size();
  modified_ = true;
  return true;
}

}  // namespace lw
