#include "entities/EntityText.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/CodePage.h"

namespace lw {
namespace {

// Keeps text[0..last '}'] ; no '}' leaves it empty.
void KeepThroughLastCloseBrace(std::string& text) {
  const size_t last = ScanFindLastChar(text, '}');
  text.resize(last == kNotFound ? 0 : last + 1);
}

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kLows = 0x7F7F7F7F7F7F7F7FULL;
constexpr std::uint64_t kLineFeeds = kOnes * '\n';

// Line feeds counted eight bytes at a time: a byte's high bit is set in the
// mask exactly when the byte is a line feed.
size_t CountLineFeeds(std::string_view text) {
  size_t count = 0;
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, text.data() + i, 8);
    const std::uint64_t x = word ^ kLineFeeds;
    const std::uint64_t zeros = ~(((x & kLows) + kLows) | x | kLows);
    // One per line feed in each byte, summed into the top byte.
    count += static_cast<size_t>(((zeros >> 7) * kOnes) >> 56);
  }
  for (; i < text.size(); ++i) count += text[i] == '\n' ? 1 : 0;
  return count;
}

}  // namespace

CString ToDisplayText(const char* lumpText) {
  std::string_view lump = lumpText ? std::string_view(lumpText) : std::string_view();
  const size_t last = ScanFindLastChar(lump, '}');
  lump = lump.substr(0, last == kNotFound ? 0 : last + 1);

  // Line ends are below every trail byte, so they are searched byte by byte.
  const bool widen = lump.find("\r\n") == std::string_view::npos;
  const size_t lineFeeds = widen ? CountLineFeeds(lump) : 0;

  // One allocation of the final size.
  CString text;
  std::string& out = text.Str();
  out.resize(lump.size() + lineFeeds + 2);
  char* to = out.data();
  const char* from = lump.data();
  const char* const end = from + lump.size();
  // Eight bytes at a time. A word's bytes are stored in runs between its line
  // feeds, each run as a whole shifted word whose spare bytes the next store
  // overwrites; sixteen bytes of input left guarantee room for that.
  if constexpr (std::endian::native == std::endian::little) {
    while (lineFeeds > 0 && end - from >= 16) {
      std::uint64_t word = 0;
      std::memcpy(&word, from, 8);
      from += 8;
      const std::uint64_t x = word ^ kLineFeeds;
      std::uint64_t feeds = ~(((x & kLows) + kLows) | x | kLows);
      int done = 0;  // bytes of the word already stored
      while (feeds != 0) {
        const int at = std::countr_zero(feeds) / 8;
        const std::uint64_t rest = word >> (8 * done);
        std::memcpy(to, &rest, 8);
        to += at - done;
        *to++ = '\r';
        *to++ = '\n';
        done = at + 1;
        feeds &= feeds - 1;
      }
      if (done < 8) {
        const std::uint64_t rest = word >> (8 * done);
        std::memcpy(to, &rest, 8);
        to += 8 - done;
      }
    }
  }
  if (lineFeeds == 0) {
    // An empty text may have no buffer at all, which memcpy must not see.
    if (from != end) std::memcpy(to, from, static_cast<size_t>(end - from));
    to += end - from;
  } else {
    for (; from < end; ++from) {
      if (*from == '\n') *to++ = '\r';
      *to++ = *from;
    }
  }
  *to++ = '\r';
  *to++ = '\n';
  return text;
}

size_t LumpTextLength(std::string_view text) {
  // "\r\n" pairs cannot overlap and no brace is part of one, so the braces
  // ToLumpText keeps between are those of the text as it is.
  const size_t last = ScanFindLastChar(text, '}');
  if (last == kNotFound) return 1;
  const size_t open = ScanFindChar(text.substr(0, last + 1), '{');
  const size_t first = open == kNotFound ? 0 : open;
  const std::string_view kept = text.substr(first, last + 1 - first);
  size_t pairs = 0;
  for (size_t at = kept.find("\r\n"); at != std::string_view::npos; at = kept.find("\r\n", at + 2)) ++pairs;
  return kept.size() - pairs + 1;
}

void ToLumpText(CString& text) {
  text.Replace("\r\n", "\n");
  std::string& s = text.Str();
  KeepThroughLastCloseBrace(s);
  const size_t first = ScanFindChar(s, '{');
  if (first != kNotFound && first > 0) s.erase(0, first);
  s += '\n';
}

}  // namespace lw
