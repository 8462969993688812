#include "support/ReferenceEntitySearch.h"

#include <vector>

#include "platform/CodePage.h"

namespace lw::test {
namespace {

// Which byte positions start a character, stepping from the first byte.
std::vector<bool> CharacterStarts(std::string_view text) {
  std::vector<bool> starts(text.size() + 1, false);
  size_t i = 0;
  while (i < text.size()) {
    starts[i] = true;
    const bool pair = i + 1 < text.size() && CodePage::IsDoubleByteChar(static_cast<unsigned char>(text[i]),
                                                                        static_cast<unsigned char>(text[i + 1]));
    i += pair ? 2 : 1;
  }
  starts[text.size()] = true;
  return starts;
}

// A brace is a block brace when an even number of quote characters stand
// before it on its line.
bool OutsideQuotes(std::string_view text, const std::vector<bool>& starts, size_t pos) {
  size_t lineStart = pos;
  while (lineStart > 0 && text[lineStart - 1] != '\n') --lineStart;
  int quotes = 0;
  for (size_t i = lineStart; i < pos; ++i) {
    if (starts[i] && text[i] == '"') ++quotes;
  }
  return quotes % 2 == 0;
}

}  // namespace

std::optional<EntityBlockSpan> ReferenceFindEntityBlock(std::string_view needle, std::string_view text, int position) {
  if (needle.empty()) return std::nullopt;
  const auto starts = CharacterStarts(text);
  const size_t n = text.size();
  size_t from = position < 0 ? 0 : static_cast<size_t>(position);
  if (from > n) from = 0;

  size_t occurrence = n + 1;
  for (size_t i = from; i + needle.size() <= n; ++i) {
    if (starts[i] && text.substr(i, needle.size()) == needle) {
      occurrence = i;
      break;
    }
  }
  if (occurrence > n) return std::nullopt;

  size_t start = occurrence;
  while (!(starts[start] && text[start] == '{' && OutsideQuotes(text, starts, start))) {
    if (start == 0) return std::nullopt;
    --start;
  }
  size_t end = occurrence;
  while (!(starts[end] && text[end] == '}' && OutsideQuotes(text, starts, end))) {
    ++end;
    if (end >= n) return std::nullopt;
  }
  return EntityBlockSpan{static_cast<int>(start), static_cast<int>(end)};
}

ReferenceDeleteAllResult ReferenceDeleteAll(std::string_view needle, std::string text, int searchPosition) {
  ReferenceDeleteAllResult result;
  result.searchPosition = searchPosition;
  while (auto span = ReferenceFindEntityBlock(needle, text, result.searchPosition)) {
    // The selection takes the closing brace and the line end after it.
    size_t selectionEnd = static_cast<size_t>(span->end) + 1;
    if (text.compare(selectionEnd, 2, "\r\n") == 0) {
      selectionEnd += 2;
    } else if (text.compare(selectionEnd, 1, "\n") == 0) {
      selectionEnd += 1;
    }
    const size_t start = static_cast<size_t>(span->start);
    result.searchPosition = static_cast<int>(selectionEnd) + 1;
    result.searchPosition -= static_cast<int>(selectionEnd - start);
    if (result.searchPosition < 0) result.searchPosition = 0;
    text.erase(start, selectionEnd - start);
    result.caret = static_cast<int>(start);
    ++result.count;
  }
  result.text = std::move(text);
  return result;
}

}  // namespace lw::test
