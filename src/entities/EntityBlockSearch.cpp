#include "entities/EntityBlockSearch.h"

#include "entities/EntityBlockSearchImpl.h"

namespace lw {

std::optional<EntityBlockSpan> FindEntityBlock(std::string_view needle, std::string_view text, int position) {
  if (needle.empty()) return std::nullopt;
  return detail::FindEntityBlockIn(needle, detail::ContiguousText(text), position);
}

namespace {

// The block braces of the line from `lineStart` up to `end`, in order: the
// braces outside quotes, a quote's run ending with its line as Find reads it.
template <typename OnBrace>
void ForEachBlockBraceOfLine(std::string_view text, size_t lineStart, size_t end, OnBrace&& onBrace) {
  bool insideQuotes = false;
  for (size_t i = lineStart; i < end;) {
    const char c = text[i];
    if ((c == '{' || c == '}') && !insideQuotes) onBrace(i);
    if (c == '"') insideQuotes = !insideQuotes;
    i += CodePage::IsDoubleByte() ? detail::CharLength(text, i) : 1;
  }
}

size_t LineStartOf(std::string_view text, size_t at) {
  const size_t newline = at == 0 ? std::string_view::npos : text.rfind('\n', at - 1);
  return newline == std::string_view::npos ? 0 : newline + 1;
}

size_t LineEndOf(std::string_view text, size_t at) {
  const size_t newline = text.find('\n', at);
  return newline == std::string_view::npos ? text.size() : newline;
}

}  // namespace

std::optional<int> MatchingBlockBrace(std::string_view text, int at) {
  if (at < 0 || static_cast<size_t>(at) >= text.size()) return std::nullopt;
  const auto position = static_cast<size_t>(at);
  const char brace = text[position];
  if (brace != '{' && brace != '}') return std::nullopt;
  bool isBlockBrace = false;
  size_t lineStart = LineStartOf(text, position);
  ForEachBlockBraceOfLine(text, lineStart, position + 1, [&](size_t i) { isBlockBrace = i == position; });
  if (!isBlockBrace) return std::nullopt;

  if (brace == '{') {
    // The next block brace after it, on this line or the ones below.
    bool first = true;
    for (size_t from = position + 1; from <= text.size();) {
      const size_t end = LineEndOf(text, from);
      std::optional<size_t> next;
      // Quotes count from the line's start, so the first line is read whole.
      ForEachBlockBraceOfLine(text, first ? lineStart : from, end, [&](size_t i) {
        if (!next && i > position) next = i;
      });
      if (next) return text[*next] == '}' ? static_cast<int>(*next) : -1;
      first = false;
      from = end + 1;
    }
    return -1;
  }
  // The block brace before it, on this line or the ones above.
  size_t end = position;
  while (true) {
    std::optional<size_t> last;
    ForEachBlockBraceOfLine(text, lineStart, end, [&](size_t i) { last = i; });
    if (last) return text[*last] == '{' ? static_cast<int>(*last) : -1;
    if (lineStart == 0) return -1;
    end = lineStart - 1;
    lineStart = LineStartOf(text, end);
  }
}

int BlockSelectionEnd(std::string_view text, int blockEnd) {
  return static_cast<int>(detail::SelectionEndIn(detail::ContiguousText(text), static_cast<size_t>(blockEnd)));
}

}  // namespace lw
