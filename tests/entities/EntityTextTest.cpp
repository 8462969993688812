#include <gtest/gtest.h>

#include "entities/EntityText.h"
#include "platform/CodePage.h"

namespace lw {
namespace {

struct ConversionCase {
  const char* name;
  std::string input;
  std::string expected;
};

TEST(ToDisplayText, ConvertsTheStoredText) {
  const ConversionCase cases[] = {
      {"one block", "{\n\"classname\" \"worldspawn\"\n}\n", "{\r\n\"classname\" \"worldspawn\"\r\n}\r\n"},
      {"trailing bytes after the last brace are dropped", "{\n}\nJUNK\n", "{\r\n}\r\n"},
      {"bytes before the first brace stay", "junk\n{\n}\n", "junk\r\n{\r\n}\r\n"},
      {"no closing brace shows an empty text", "{\n\"a\" \"b\"\n", "\r\n"},
      {"empty lump", "", "\r\n"},
      {"text already in CRLF form keeps its line ends", "{\r\n\"a\" \"b\"\n}\r\n", "{\r\n\"a\" \"b\"\n}\r\n"},
      {"a CRLF only after the last brace does not count", "{\n}\r\n", "{\r\n}\r\n"},
      {"no line end at all", "{}", "{}\r\n"},
      {"a brace inside a value is still a brace here", "{\n\"t\" \"{x}\"\n", "{\r\n\"t\" \"{x}\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToDisplayText(c.input.c_str()).Str(), c.expected) << c.name;
  }
}

TEST(ToDisplayText, StopsAtTheFirstNul) {
  const char lump[] = "{\n}\n\0{\n}\n";
  EXPECT_EQ(ToDisplayText(lump).Str(), "{\r\n}\r\n");
  EXPECT_EQ(ToDisplayText(nullptr).Str(), "\r\n");
}

TEST(ToLumpText, ConvertsTheEditorText) {
  const ConversionCase cases[] = {
      {"one block", "{\r\n\"classname\" \"worldspawn\"\r\n}\r\n", "{\n\"classname\" \"worldspawn\"\n}\n"},
      {"typed text around the blocks is dropped", "notes\r\n{\r\n}\r\nmore", "{\n}\n"},
      {"no braces at all", "hello\r\n", "\n"},
      {"empty", "", "\n"},
      {"lone CR and LF stay", "{\r\"a\"\n}", "{\r\"a\"\n}\n"},
      {"CR CR LF becomes CR LF", "{\r\r\n}", "{\r\n}\n"},
      {"only an opening brace", "x{y", "\n"},
      {"closing brace before the first opening one", "a}b{c}", "{c}\n"},
  };
  for (const auto& c : cases) {
    CString text(c.input);
    ToLumpText(text);
    EXPECT_EQ(text.Str(), c.expected) << c.name;
    EXPECT_EQ(LumpTextLength(c.input), c.expected.size()) << c.name << ": the length without the copy";
  }
}

TEST(EntityTextRoundTrip, StoredTextComesBackUnchanged) {
  const std::string lumps[] = {
      "{\n\"classname\" \"worldspawn\"\n\"wad\" \"\\half-life\\valve\\halflife.wad\"\n}\n"
      "{\n\"classname\" \"infodecal\"\n\"texture\" \"{target\"\n}\n",
      "{\n}\n",
  };
  for (const auto& lump : lumps) {
    CString text = ToDisplayText(lump.c_str());
    ToLumpText(text);
    EXPECT_EQ(text.Str(), lump);
  }
}

TEST(EntityTextCodePage, TrailBytesAreNotBraces) {
  // In Shift JIS 0x83 0x7D is one character whose second byte is '}'.
  CodePage::SetActive(932);
  const std::string lump = "{\n\"message\" \"\x83}\"\n}\n";
  CString text = ToDisplayText(lump.c_str());
  EXPECT_EQ(text.Str(), "{\r\n\"message\" \"\x83}\"\r\n}\r\n");
  const std::string cut = "{\n\"message\" \"\x83}";
  EXPECT_EQ(ToDisplayText(cut.c_str()).Str(), "\r\n");
  CodePage::SetActive(CodePage::kSingleByte);
  EXPECT_EQ(ToDisplayText(cut.c_str()).Str(), "{\r\n\"message\" \"\x83}\r\n");
}

}  // namespace
}  // namespace lw

namespace lw {
namespace {

// The widening copy works on eight bytes at a time; line feeds at every
// offset and of every run length must come out as a plain replace gives them.
TEST(ToDisplayText, WidensLineFeedsAtEveryOffset) {
  for (size_t length = 0; length < 64; ++length) {
    for (size_t pattern = 0; pattern < 64; ++pattern) {
      std::string lump;
      for (size_t i = 0; i < length; ++i) lump += ((pattern >> (i % 6)) & 1) ? '\n' : 'x';
      lump += "}";
      std::string expected;
      for (const char c : lump) expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
      expected += "\r\n";
      ASSERT_EQ(ToDisplayText(lump.c_str()).Str(), expected) << length << " " << pattern;
    }
  }
}

}  // namespace
}  // namespace lw
