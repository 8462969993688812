#include "entities/DeleteAllPass.h"

#include <algorithm>

#include "entities/EntityBlockSearchImpl.h"

namespace lw {
namespace {

// The text during the pass: what is kept so far, followed by the part of the
// original text not yet reached. Searches start in the second part.
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

// The start of the line that holds `pos`.
size_t LineStartAt(std::string_view text, size_t pos) {
  if (pos == 0) return 0;
  const size_t newline = text.rfind('\n', pos - 1);
  return newline == std::string_view::npos ? 0 : newline + 1;
}

}  // namespace

// The same steps as the block-at-a-time loop, but each deletion only moves the
// boundary between the kept text and the rest, so the whole pass is linear.
DeleteAllResult DeleteAllInOnePass(std::string_view original, std::string_view needle, int searchPosition) {
  std::string kept;
  kept.reserve(original.size());
  std::string rest;  // the text being worked through, after a restart from the top
  std::string_view source = original;
  size_t read = 0;  // where the unreached part of `source` starts
  DeleteAllResult result;
  int position = searchPosition;

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
      kept.resize(start);
    } else {
      kept.append(source.substr(read, start - keptBefore));
    }
    read += consumed;
    result.caret = start;
    ++result.count;
  }

  if (result.count > 0) {
    kept.append(source.substr(read));
    result.text = std::move(kept);
  }
  result.searchPosition = position;
  return result;
}

TextReplacement SingleReplacement(std::string_view before, std::string_view after) {
  const size_t shorter = std::min(before.size(), after.size());
  size_t prefix = 0;
  while (prefix < shorter && before[prefix] == after[prefix]) ++prefix;
  if (prefix == before.size() && prefix == after.size()) return {prefix, 0, {}};
  prefix = LineStartAt(before, prefix);

  size_t suffix = 0;
  while (suffix < shorter - prefix && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
    ++suffix;
  }
  // The common end must start a line in both texts: from its first line end on.
  const size_t beforeEnd = before.size() - suffix;
  const size_t afterEnd = after.size() - suffix;
  const bool startsLine =
      suffix == 0 || (beforeEnd > 0 && afterEnd > 0 && before[beforeEnd - 1] == '\n' && after[afterEnd - 1] == '\n');
  if (!startsLine) {
    const size_t newline = before.find('\n', beforeEnd);
    suffix = newline == std::string_view::npos ? 0 : before.size() - (newline + 1);
  }
  return {prefix, before.size() - suffix - prefix, after.substr(prefix, after.size() - suffix - prefix)};
}

}  // namespace lw
