#pragma once

// The regular expressions of patch recipes ("/^weapon_/"), searched for in
// entity values. Recipes come from other people and values can be megabytes
// long, so the matcher keeps a bound on both time and stack whatever the
// pattern: it runs all the ways through the pattern side by side over the
// value, once (a Pike machine, as RE2 does), in O(value × pattern) steps with
// no recursion; patterns are bounded in nesting and in size. It is our own so
// that lumpwright-cli matches the same on every system it is built for (the
// MinGW and MSVC builds have no RE2 or PCRE2 to link).
//
// The syntax is the part of RE2's and PCRE's that needs no backtracking:
//   literals, "." (any byte but a line end), [set] [^set] with ranges and
//   the escapes below, ^ and $ (the value's start and end), \b \B,
//   ( ) (?: ), |, * + ? {n} {n,} {n,m} and their lazy forms (*? ...),
//   \d \D \w \W \s \S \t \n \r \f \v \xHH, a backslash before any
//   punctuation, and a leading (?i) for ASCII case-insensitive matching.
// Back-references, look-arounds, possessive quantifiers and POSIX classes
// ([:digit:]) are refused with a reason, not misread. Values are bytes in the
// map's code page: each byte is one character, as the engine reads them.

#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

class ValuePattern {
 public:
  // The compiled pattern, or nothing with `error` set ("unmatched ')' at 4").
  static std::optional<ValuePattern> Compile(std::string_view pattern, std::string* error);

  // Whether the pattern matches anywhere in `value`.
  [[nodiscard]] bool Search(std::string_view value) const;

  // Compiled steps the pattern may hold at most: this bounds the work of a
  // search per byte of the value.
  static constexpr size_t kMaxSteps = 2000;
  // Groups and alternatives nested deeper than this are refused: the parser
  // recurses once per level.
  static constexpr int kMaxNesting = 100;

  enum class Op : std::uint8_t { kByte, kSet, kAny, kSplit, kJump, kStart, kEnd, kWordEdge, kNotWordEdge, kMatch };
  struct Step {
    Op op;
    std::uint32_t x = 0;  // the byte, the set's index, or a jump target
    std::uint32_t y = 0;  // the second target of a split
  };
  using ByteSet = std::bitset<256>;

 private:
  std::vector<Step> steps_;
  std::vector<ByteSet> sets_;
  // The pattern can only match from the value's start (it begins with ^).
  bool anchored_ = false;
};

}  // namespace lw
