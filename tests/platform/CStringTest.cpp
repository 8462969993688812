#include <gtest/gtest.h>

#include "platform/CString.h"
#include "platform/CodePage.h"

namespace lw {
namespace {

// Restores the single-byte code page after each test.
class CodePageScope {
 public:
  explicit CodePageScope(unsigned id) { CodePage::SetActive(id); }
  ~CodePageScope() { CodePage::SetActive(CodePage::kSingleByte); }
};

struct ScanCase {
  const char* name;
  unsigned codePage;
  std::string text;
  std::string needle;
  int expected;
};

TEST(CodePageScan, FindStringNeverMatchesATrailByteOnItsOwn) {
  // 0x83 0x7B is one Shift JIS character whose second byte is '{'.
  const std::string sjisBrace = "\x83{";
  const ScanCase cases[] = {
      {"single byte sees the brace", CodePage::kSingleByte, "a" + sjisBrace + "{", "{", 2},
      {"932 skips the trail byte", 932, "a" + sjisBrace + "{", "{", 3},
      {"932 finds a whole character", 932, "a" + sjisBrace, sjisBrace, 1},
      {"932 needle at a trail position", 932, "\x83\x83{", "\x83{", -1},
      {"936 lead range is wider", 936, "\xFE{x{", "{", 3},
      {"932 lead byte at the very end", 932, "ab\x83", "\x83", 2},
  };
  for (const auto& c : cases) {
    CodePageScope scope(c.codePage);
    EXPECT_EQ(CString(c.text).Find(c.needle), c.expected) << c.name;
  }
}

TEST(CodePageScan, ReverseFindWalksCharacters) {
  CodePageScope scope(932);
  // The last real backslash is at 1; the byte at 3 is a trail byte (0x5C) of 0x95 0x5C.
  EXPECT_EQ(CString("a\\\x95\\b").ReverseFind('\\'), 1);
  CodePage::SetActive(CodePage::kSingleByte);
  EXPECT_EQ(CString("a\\\x95\\b").ReverseFind('\\'), 3);
}

TEST(CStringOps, ReplaceIsOneLeftToRightPass) {
  const struct {
    std::string text, from, to, expected;
    int count;
  } cases[] = {
      {"a\r\nb\r\n", "\r\n", "\n", "a\nb\n", 2},
      {"\r\r\n", "\r\n", "\n", "\r\n", 1},
      {"aaa", "aa", "b", "ba", 1},
      {"none", "x", "y", "none", 0},
      {"", "\n", "\r\n", "", 0},
  };
  for (const auto& c : cases) {
    CString s(c.text);
    EXPECT_EQ(s.Replace(c.from, c.to), c.count) << c.text;
    EXPECT_EQ(s.Str(), c.expected) << c.text;
  }
}

TEST(CStringOps, LeftRightMidClampToTheText) {
  const CString s("abcdef");
  EXPECT_EQ(s.Left(3), "abc");
  EXPECT_EQ(s.Left(99), "abcdef");
  EXPECT_EQ(s.Right(2), "ef");
  EXPECT_EQ(s.Mid(4), "ef");
  EXPECT_EQ(s.Mid(9), "");
  EXPECT_EQ(s.Mid(1, 2), "bc");
  EXPECT_EQ(s.Find('z'), -1);
  EXPECT_EQ(s.Find("cd", 3), -1);
}

TEST(CStringOps, FormatHandlesLongTexts) {
  const std::string longName(5000, 'x');
  CString s;
  s.Format("Entities for map %s", longName.c_str());
  EXPECT_EQ(s.GetLength(), 17 + 5000);
  EXPECT_EQ(FormatString("%d entities", 3), "3 entities");
}

}  // namespace
}  // namespace lw
