#include "entities/EntityText.h"

#include <algorithm>
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

}  // namespace

CString ToDisplayText(const char* lumpText) {
  std::string_view lump = lumpText ? std::string_view(lumpText) : std::string_view();
  const size_t last = ScanFindLastChar(lump, '}');
  lump = lump.substr(0, last == kNotFound ? 0 : last + 1);

  // Line ends are below every trail byte, so they are searched byte by byte.
  const bool widen = lump.find("\r\n") == std::string_view::npos;
  const size_t lineFeeds = widen ? static_cast<size_t>(std::count(lump.begin(), lump.end(), '\n')) : 0;

  // One allocation of the final size.
  CString text;
  std::string& out = text.Str();
  out.resize(lump.size() + lineFeeds + 2);
  char* to = out.data();
  const char* from = lump.data();
  const char* const end = from + lump.size();
  // Eight bytes at a time while they hold no line feed; byte by byte around
  // the line feeds.
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
  constexpr std::uint64_t kLineFeeds = kOnes * '\n';
  while (lineFeeds > 0 && end - from >= 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, from, 8);
    const std::uint64_t x = word ^ kLineFeeds;
    if (((x - kOnes) & ~x & kHighs) == 0) {
      std::memcpy(to, from, 8);
      to += 8;
      from += 8;
      continue;
    }
    for (const char* stop = from + 8; from < stop; ++from) {
      if (*from == '\n') *to++ = '\r';
      *to++ = *from;
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

void ToLumpText(CString& text) {
  text.Replace("\r\n", "\n");
  std::string& s = text.Str();
  KeepThroughLastCloseBrace(s);
  const size_t first = ScanFindChar(s, '{');
  if (first != kNotFound && first > 0) s.erase(0, first);
  s += '\n';
}

}  // namespace lw
