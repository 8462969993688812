#include "platform/FilePattern.h"

#include "platform/AsciiCase.h"

namespace lw {
namespace {

// Whether `c` is in the set that starts at `pattern[open]` ('['); `end`
// receives the position after its ']'. False with `end` at npos when the set
// has no ']'.
bool InSet(std::string_view pattern, size_t open, char c, size_t& end) {
  size_t q = open + 1;
  const bool negated = q < pattern.size() && (pattern[q] == '!' || pattern[q] == '^');
  if (negated) ++q;
  const size_t first = q;
  bool found = false;
  c = FoldAsciiCase(c);
  // A ']' right after the '[' (or its '!') is one of the set.
  while (q < pattern.size() && (pattern[q] != ']' || q == first)) {
    if (q + 2 < pattern.size() && pattern[q + 1] == '-' && pattern[q + 2] != ']') {
      found = found || (c >= FoldAsciiCase(pattern[q]) && c <= FoldAsciiCase(pattern[q + 2]));
      q += 3;
    } else {
      found = found || c == FoldAsciiCase(pattern[q]);
      ++q;
    }
  }
  if (q >= pattern.size()) {
    end = std::string_view::npos;
    return false;
  }
  end = q + 1;
  return found != negated;
}

}  // namespace

// On a mismatch the last '*' takes one byte more, which keeps this linear in
// practice and never exponential.
bool MatchesFilePattern(std::string_view name, std::string_view pattern) {
  size_t n = 0;
  size_t p = 0;
  size_t starAt = std::string_view::npos;
  size_t resumeAt = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starAt = p++;
      resumeAt = n;
      continue;
    }
    if (p < pattern.size()) {
      size_t after = p + 1;
      bool matches = pattern[p] == '?' || FoldAsciiCase(pattern[p]) == FoldAsciiCase(name[n]);
      if (pattern[p] == '[') {
        matches = InSet(pattern, p, name[n], after);
        if (after == std::string_view::npos) {
          after = p + 1;
          matches = name[n] == '[';
        }
      }
      if (matches) {
        p = after;
        ++n;
        continue;
      }
    }
    if (starAt == std::string_view::npos) return false;
    p = starAt + 1;
    n = ++resumeAt;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace lw
