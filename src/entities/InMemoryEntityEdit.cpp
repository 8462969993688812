#include "entities/InMemoryEntityEdit.h"

#include <algorithm>

#include "entities/EntityBlockSearchImpl.h"

namespace lw {
namespace {

size_t ClampPosition(int position, size_t length) {
  if (position < 0) return length;  // -1 stands for the end, as in the window's edit
  return std::min(static_cast<size_t>(position), length);
}

// The text during a one-pass Delete All: what is kept so far, followed by the
// part of the original text not yet reached. Searches start in the second part.
class TwoPartText {
 public:
  TwoPartText(std::string_view head, std::string_view tail) : head_(head), tail_(tail) {}
  [[nodiscard]] size_t size() const { return head_.size() + tail_.size(); }
  char operator[](size_t i) const { return i < head_.size() ? head_[i] : tail_[i - head_.size()]; }
  [[nodiscard]] size_t FindNeedle(std::string_view needle, size_t from) const {
    const size_t hit = ScanFindString(tail_, needle, from - head_.size());
    return hit == kNotFound ? kNotFound : hit + head_.size();
  }
  [[nodiscard]] size_t LineStart(size_t pos) const {
    if (pos > head_.size()) {
      const size_t inTail = tail_.rfind('\n', pos - head_.size() - 1);
      if (inTail != std::string_view::npos) return head_.size() + inTail + 1;
      pos = head_.size();
    }
    if (pos == 0) return 0;
    const size_t inHead = head_.rfind('\n', pos - 1);
    return inHead == std::string_view::npos ? 0 : inHead + 1;
  }

 private:
  std::string_view head_;
  std::string_view tail_;
};

}  // namespace

void InMemoryEntityEdit::SetText(const CString& text) {
  text_ = text.Str();
  selStart_ = selEnd_ = 0;
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

bool InMemoryEntityEdit::Undo() {
  if (!undo_.valid) return false;
  text_.replace(undo_.position, undo_.inserted.size(), undo_.removed);
  std::swap(undo_.removed, undo_.inserted);
  selStart_ = undo_.position;
  selEnd_ = undo_.position + undo_.inserted.size();
  modified_ = true;
  return true;
}

// The same steps as the block-at-a-time loop, but each deletion only moves the
// boundary between the kept text and the rest, so the whole pass is linear.
int InMemoryEntityEdit::DeleteAllBlocks(std::string_view needle, int& searchPosition) {
  std::string kept;
  kept.reserve(text_.size());
  std::string rest;  // the text being worked through, after a restart from the top
  std::string_view source = text_;
  size_t read = 0;  // where the unreached part of `source` starts
  int position = searchPosition;
  int count = 0;
  size_t lastStart = 0;
  std::string lastRemoved;

  while (true) {
    TwoPartText text(kept, source.substr(read));
    const size_t n = text.size();
    const size_t from = (position < 0 || static_cast<size_t>(position) > n) ? 0 : static_cast<size_t>(position);
    if (from < kept.size()) {
      // The search starts again from the top: work on the text as it now is.
      std::string current = kept;
      current.append(source.substr(read));
      rest = std::move(current);
      source = rest;
      kept.clear();
      read = 0;
      text = TwoPartText(kept, source);
    }
    const auto span = detail::FindEntityBlockIn(needle, text, position);
    if (!span) break;
    const size_t start = static_cast<size_t>(span->start);
    const size_t selectionEnd = detail::SelectionEndIn(text, static_cast<size_t>(span->end));
    position = static_cast<int>(selectionEnd) + 1 - static_cast<int>(selectionEnd - start);
    if (position < 0) position = 0;

    const size_t keptBefore = kept.size();
    const size_t consumed = selectionEnd - keptBefore;  // the block ends in the unreached part
    if (start < keptBefore) {
      lastRemoved = kept.substr(start);
      lastRemoved.append(source.substr(read, consumed));
      kept.resize(start);
    } else {
      lastRemoved.assign(source.substr(read + (start - keptBefore), selectionEnd - start));
      kept.append(source.substr(read, start - keptBefore));
    }
    read += consumed;
    lastStart = start;
    ++count;
  }

  if (count > 0) {
    kept.append(source.substr(read));
    text_ = std::move(kept);
    selStart_ = selEnd_ = lastStart;
    undo_ = {true, lastStart, std::move(lastRemoved), std::string()};
    modified_ = true;
  }
  searchPosition = position;
  return count;
}

}  // namespace lw
