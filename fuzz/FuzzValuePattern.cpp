// The recipes' pattern matcher against std::regex on short inputs, where a
// backtracking matcher is still quick: wherever both accept a pattern, both
// say the same of every value. On any input it must end without a crash.
#include <cstdint>
#include <optional>
#include <regex>
#include <string>
#include <string_view>

#include "entities/ValuePattern.h"

namespace {

// Bytes drawn to the patterns' own characters, so that most inputs parse.
constexpr std::string_view kPatternBytes = "ab_.()|*+?[]^$\\{},12dwsbB-:";
// No line ends: "." leaves out "\r" in std::regex and not here.
constexpr std::string_view kValueBytes = "ab_ 1-B";

// std::regex backtracks: a repeated group that matches empty in several ways
// ("(|){22}", "(||.|)*") or quantifiers nested deep take it minutes on a
// short value, so the comparison keeps to two quantifiers on single atoms,
// without counts. The unit tests cover repeated groups.
bool TooSlowForTheReference(std::string_view pattern) {
  size_t quantifiers = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c != '*' && c != '+' && c != '?') continue;
    ++quantifiers;
    if (i > 0 && pattern[i - 1] == ')') return true;
  }
  return quantifiers > 2 || pattern.find('{') != std::string_view::npos;
}

bool DiffersOnPurpose(std::string_view pattern) {
  // "[]" and "[^]" are an empty set in ECMAScript; here a ']' first is a member.
  return pattern.find("[]") != std::string_view::npos || pattern.find("[^]") != std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // Any bytes at all, at any length, only have to end.
  std::string error;
  if (const std::optional<lw::ValuePattern> raw = lw::ValuePattern::Compile(input.substr(1), &error)) {
    (void)raw->Search(input);
  }

  const size_t patternLength = static_cast<size_t>(data[0] % 12);
  if (size > 1 + patternLength + 12 || size < 1 + patternLength) return 0;
  std::string pattern;
  for (size_t i = 1; i <= patternLength; ++i) pattern += kPatternBytes[data[i] % kPatternBytes.size()];
  std::string value;
  for (size_t i = 1 + patternLength; i < size; ++i) value += kValueBytes[data[i] % kValueBytes.size()];
  if (DiffersOnPurpose(pattern) || TooSlowForTheReference(pattern)) return 0;
  const std::optional<lw::ValuePattern> ours = lw::ValuePattern::Compile(pattern, &error);
  if (!ours) return 0;
  std::regex reference;
  try {
    reference = std::regex(pattern, std::regex::ECMAScript);
  } catch (const std::regex_error&) {
    return 0;
  }
  if (ours->Search(value) != std::regex_search(value, reference)) __builtin_trap();
  return 0;
}
