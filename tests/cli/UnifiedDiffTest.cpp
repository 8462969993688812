// The unified diff: hunks, counts and line ends as `diff -u` prints them, and
// hunks that turn the old text into the new one exactly.
#include "cli/UnifiedDiff.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace lw {
namespace {

// Lines "1" to "count", with the lines named in `replaced` swapped for others.
std::string Numbered(int count, const std::map<int, std::string>& replaced = {}) {
  std::string text;
  for (int n = 1; n <= count; ++n) text += (replaced.contains(n) ? replaced.at(n) : std::to_string(n)) + "\n";
  return text;
}

// Numbered lines `from` to `to` as context lines of a hunk.
std::string Kept(int from, int to) {
  std::string text;
  for (int n = from; n <= to; ++n) text += " " + std::to_string(n) + "\n";
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0, end = 0; start < text.size(); start = end) {
    end = std::min(text.find('\n', start), text.size() - 1) + 1;
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line;
  return text;
}

TEST(UnifiedDiff, PrintsWhatDiffPrints) {
  struct Case {
    const char* name;
    std::string oldText, newText;
    size_t context;
    std::string hunks;  // what follows the two header lines; empty for no diff at all
  };
  const std::string noNewline = "\\ No newline at end of file\n";
  const Case cases[] = {
      {"equal", Numbered(5), Numbered(5), 3, ""},
      {"both empty", "", "", 3, ""},
      {"empty old", "", "a\nb\nc\n", 3, "@@ -0,0 +1,3 @@\n+a\n+b\n+c\n"},
      {"empty new", "a\nb\nc\n", "", 3, "@@ -1,3 +0,0 @@\n-a\n-b\n-c\n"},
      {"middle", Numbered(9), Numbered(9, {{5, "X"}}), 3, "@@ -2,7 +2,7 @@\n" + Kept(2, 4) + "-5\n+X\n" + Kept(6, 8)},
      {"six apart share a hunk", Numbered(20), Numbered(20, {{5, "X"}, {12, "Y"}}), 3,
       "@@ -2,14 +2,14 @@\n" + Kept(2, 4) + "-5\n+X\n" + Kept(6, 11) + "-12\n+Y\n" + Kept(13, 15)},
      {"seven apart do not", Numbered(20), Numbered(20, {{5, "X"}, {13, "Y"}}), 3,
       "@@ -2,7 +2,7 @@\n" + Kept(2, 4) + "-5\n+X\n" + Kept(6, 8) + "@@ -10,7 +10,7 @@\n" + Kept(10, 12) + "-13\n+Y\n" +
           Kept(14, 16)},
      {"no context", "a\nb\n", "a\nX\nb\n", 0, "@@ -1,0 +2 @@\n+X\n"},
      {"crlf kept", "a\r\nb\r\nc\r\n", "a\r\nB\r\nc\r\n", 3, "@@ -1,3 +1,3 @@\n a\r\n-b\r\n+B\r\n c\r\n"},
      {"line end changed", "a\nb\n", "a\r\nb\n", 3, "@@ -1,2 +1,2 @@\n-a\n+a\r\n b\n"},
      {"no newline in old", "a\nb", "a\nb\n", 3, "@@ -1,2 +1,2 @@\n a\n-b\n" + noNewline + "+b\n"},
      {"no newline in new", "a\nb\n", "a\nb", 3, "@@ -1,2 +1,2 @@\n a\n-b\n+b\n" + noNewline},
      {"no newline in both", "a\nb", "x\nb", 3, "@@ -1,2 +1,2 @@\n-a\n+x\n b\n" + noNewline},
  };
  for (const Case& c : cases) {
    const std::string expected = c.hunks.empty() ? "" : "--- old\n+++ new\n" + c.hunks;
    EXPECT_EQ(UnifiedDiff(c.oldText, c.newText, "old", "new", c.context), expected) << c.name;
  }
}

// Applies `diff` to `oldText` as `patch` would, checking that each hunk's
// header matches its body and its context matches the old text.
std::string Apply(const std::string& oldText, const std::string& diff) {
  const std::vector<std::string> old = Lines(oldText), body = Lines(diff);
  std::string out;
  size_t at = 0, written = 0;
  for (size_t k = 2; k < body.size();) {
    long numbers[4] = {0, 1, 0, 1};      // old start, count, new start, count
    const char* p = body[k].data() + 4;  // past "@@ -"
    const char* end = body[k].data() + body[k].size();
    for (int n = 0; n < 4; n += 2) {
      p = std::from_chars(p, end, numbers[n]).ptr;
      if (*p == ',') p = std::from_chars(p + 1, end, numbers[n + 1]).ptr;
      p += 2;  // past " +"
    }
    const auto first = [&](int n) { return static_cast<size_t>(numbers[n + 1] == 0 ? numbers[n] : numbers[n] - 1); };
    EXPECT_GE(first(0), at) << diff;
    while (at < first(0) && at < old.size()) out += old[at++], ++written;
    EXPECT_EQ(written, first(2)) << diff;
    long oldSeen = 0, newSeen = 0;
    while (++k < body.size() && body[k][0] != '@') {
      const char mark = body[k][0];
      std::string line = body[k].substr(1);
      if (k + 1 < body.size() && body[k + 1][0] == '\\') line.pop_back(), ++k;
      if (mark != '+') {
        EXPECT_EQ(at < old.size() ? old[at++] : "", line) << diff;
        ++oldSeen;
      }
      if (mark != '-') out += line, ++newSeen, ++written;
    }
    EXPECT_EQ(oldSeen, numbers[1]) << diff;
    EXPECT_EQ(newSeen, numbers[3]) << diff;
  }
  while (at < old.size()) out += old[at++];
  return out;
}

TEST(UnifiedDiff, HunksTurnOldIntoNew) {
  std::mt19937 random(23);
  const auto pick = [&random](unsigned n) { return static_cast<int>(random() % n); };
  const auto line = [&] { return std::to_string(pick(6)) + (pick(8) == 0 ? "\r\n" : "\n"); };
  for (int round = 0; round < 300; ++round) {
    std::vector<std::string> lines(static_cast<size_t>(pick(40)));
    for (std::string& l : lines) l = line();
    std::string oldText = Joined(lines);
    for (int edits = pick(6); edits > 0; --edits) {  // removals, insertions, replacements
      auto at = lines.begin() + pick(static_cast<unsigned>(lines.size()) + 1);
      if (at != lines.end() && pick(2) == 0) at = lines.erase(at);
      if (pick(2) == 0) lines.insert(at, line());
    }
    std::string newText = Joined(lines);
    if (pick(5) == 0 && !oldText.empty()) oldText.pop_back();
    if (pick(5) == 0 && !newText.empty()) newText.pop_back();
    const std::string diff = UnifiedDiff(oldText, newText, "a", "b", static_cast<size_t>(pick(5)));
    EXPECT_EQ(diff.empty(), oldText == newText);
    EXPECT_EQ(Apply(oldText, diff), newText) << "round " << round << "\n" << diff;
  }
}

}  // namespace
}  // namespace lw
