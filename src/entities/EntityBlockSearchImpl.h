#pragma once

// The block search written once over any text that offers indexed access,
// a needle search and a line-start search: the editor's live text, and the
// two-part text that a one-pass Delete All works on.

#include <cstddef>
#include <optional>
#include <string_view>

#include "entities/EntityBlockSearch.h"
#include "platform/CodePage.h"

namespace lw::detail {

// Length of the character at `pos` of `text` in the active code page.
template <typename Text>
size_t CharLength(const Text& text, size_t pos) {
  if (pos + 1 < text.size() &&
      CodePage::IsDoubleByteChar(static_cast<unsigned char>(text[pos]), static_cast<unsigned char>(text[pos + 1]))) {
    return 2;
  }
  return 1;
}

// Scans the line that holds `last` from its start through `last`, character by
// character. Returns the last '{' outside quotes in that range (kNotFound when
// none) and sets `quotesBefore` to the parity of '"' before `last`.
template <typename Text>
size_t ScanLineForOpenBrace(const Text& text, size_t lineStart, size_t last, bool& quotesBefore) {
  size_t brace = kNotFound;
  bool insideQuotes = false;
  size_t i = lineStart;
  const bool doubleByte = CodePage::IsDoubleByte();
  while (i <= last) {
    const char c = text[i];
    if (i == last) quotesBefore = insideQuotes;
    if (c == '{' && !insideQuotes) brace = i;
    if (c == '"') insideQuotes = !insideQuotes;
    i += doubleByte ? CharLength(text, i) : 1;
  }
  return brace;
}

// The first character boundary at or after `pos`. Positions come from byte
// arithmetic (one past a deleted block), so they may fall on a trail byte;
// characters are counted from the line's start, where a line end resyncs them.
template <typename Text>
size_t AlignToCharacter(const Text& text, size_t pos) {
  if (!CodePage::IsDoubleByte() || pos == 0 || pos >= text.size()) return pos;
  size_t i = text.LineStart(pos);
  while (i < pos) i += CharLength(text, i);
  return i;
}

template <typename Text>
std::optional<EntityBlockSpan> FindEntityBlockIn(std::string_view needle, const Text& text, int position) {
  const size_t n = text.size();
  size_t from = (position < 0 || static_cast<size_t>(position) > n) ? 0 : static_cast<size_t>(position);
  from = AlignToCharacter(text, from);
  const size_t occurrence = text.FindNeedle(needle, from);
  if (occurrence == kNotFound) return std::nullopt;

  // Back to the '{' that opens the block, line by line; the occurrence's own
  // line also tells whether the occurrence stands inside quotes.
  bool insideQuotesAtOccurrence = false;
  size_t lineStart = text.LineStart(occurrence);
  size_t start = ScanLineForOpenBrace(text, lineStart, occurrence, insideQuotesAtOccurrence);
  while (start == kNotFound && lineStart > 0) {
    const size_t previousLineEnd = lineStart - 1;
    lineStart = text.LineStart(previousLineEnd);
    bool ignored = false;
    start = ScanLineForOpenBrace(text, lineStart, previousLineEnd, ignored);
  }
  if (start == kNotFound) return std::nullopt;

  // Forward to the '}' that closes it.
  bool insideQuotes = insideQuotesAtOccurrence;
  const bool doubleByte = CodePage::IsDoubleByte();
  for (size_t i = occurrence; i < n; i += doubleByte ? CharLength(text, i) : 1) {
    const char c = text[i];
    if (c == '}' && !insideQuotes) {
      return EntityBlockSpan{static_cast<int>(start), static_cast<int>(i)};
    }
    if (c == '"') insideQuotes = !insideQuotes;
    if (c == '\n') insideQuotes = false;
  }
  return std::nullopt;
}

template <typename Text>
size_t SelectionEndIn(const Text& text, size_t blockEnd) {
  const size_t after = blockEnd + 1;
  if (after < text.size() && text[after] == '\n') return after + 1;
  if (after + 1 < text.size() && text[after] == '\r' && text[after + 1] == '\n') return after + 2;
  return after;
}

// The editor's live text: one contiguous buffer.
class ContiguousText {
 public:
  explicit ContiguousText(std::string_view text) : text_(text) {}
  [[nodiscard]] size_t size() const { return text_.size(); }
  char operator[](size_t i) const { return text_[i]; }
  [[nodiscard]] size_t FindNeedle(std::string_view needle, size_t from) const {
    return ScanFindString(text_, needle, from);
  }
  // Start of the line that holds `pos`.
  [[nodiscard]] size_t LineStart(size_t pos) const {
    const size_t newline = pos == 0 ? std::string_view::npos : text_.rfind('\n', pos - 1);
    return newline == std::string_view::npos ? 0 : newline + 1;
  }

 private:
  std::string_view text_;
};

}  // namespace lw::detail
