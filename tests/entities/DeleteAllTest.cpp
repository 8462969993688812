#include <gtest/gtest.h>

#include <random>

#include "entities/DeleteAllPass.h"
#include "entities/InMemoryEntityEdit.h"
#include "platform/CodePage.h"
#include "support/ReferenceEntitySearch.h"

namespace lw {
namespace {

// The one-pass Delete All, the block-at-a-time loop through the edit's public
// operations, and the plain rule on a string must all leave the same result.
struct Outcome {
  std::string text;
  int searchPosition;
  int count;
  int selStart;
  int selEnd;
};

Outcome RunOnePass(const std::string& text, std::string_view needle, int position) {
  InMemoryEntityEdit edit;
  edit.SetText(CString(text));
  const int count = edit.DeleteAllBlocks(needle, position);
  Outcome out{edit.GetText().Str(), position, count, 0, 0};
  edit.GetSel(out.selStart, out.selEnd);
  return out;
}

Outcome RunStepByStep(const std::string& text, std::string_view needle, int position) {
  InMemoryEntityEdit edit;
  edit.SetText(CString(text));
  const int count = DeleteBlocksOneAtATime(edit, needle, position);
  Outcome out{edit.GetText().Str(), position, count, 0, 0};
  edit.GetSel(out.selStart, out.selEnd);
  return out;
}

void ExpectSame(const Outcome& a, const Outcome& b, const std::string& context) {
  EXPECT_EQ(a.text, b.text) << context;
  EXPECT_EQ(a.searchPosition, b.searchPosition) << context;
  EXPECT_EQ(a.count, b.count) << context;
  EXPECT_EQ(a.selStart, b.selStart) << context;
  EXPECT_EQ(a.selEnd, b.selEnd) << context;
}

// Failure messages show control and high bytes as escapes.
std::string Escaped(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F) {
      out += c;
    } else {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    }
  }
  return out;
}

bool StartsLine(std::string_view text, size_t pos) { return pos == 0 || pos == text.size() || text[pos - 1] == '\n'; }

// The window's edit takes Delete All's result as one replacement; it must give
// the same text and never cut a line (and so a double-byte character) in two.
void ExpectOneReplacementGives(const std::string& before, const std::string& after, const std::string& context) {
  const TextReplacement change = SingleReplacement(before, after);
  std::string replaced = before;
  replaced.replace(change.start, change.removedLength, change.inserted);
  ASSERT_EQ(Escaped(replaced), Escaped(after)) << context;
  const size_t end = change.start + change.removedLength;
  ASSERT_TRUE(StartsLine(before, change.start) && StartsLine(before, end)) << context;
  ASSERT_TRUE(StartsLine(after, change.start + change.inserted.size())) << context;
}

std::string Block(const std::string& classname, const std::string& lineEnd = "\r\n") {
  return "{" + lineEnd + "\"classname\" \"" + classname + "\"" + lineEnd + "}" + lineEnd;
}

struct DeleteAllCase {
  const char* name;
  std::string text;
  std::string needle;
  std::string expectedText;
  int expectedCount;
};

TEST(DeleteAll, RemovesEveryMatchingBlock) {
  const std::string world = Block("worldspawn");
  const std::string spawn = Block("info_player_deathmatch");
  const std::string light = Block("light");
  const std::string decal = "{\r\n\"classname\" \"infodecal\"\r\n\"texture\" \"{target\"\r\n}\r\n";
  const std::string target = Block("func_bomb_target");
  const DeleteAllCase cases[] = {
      {"three spawns", world + spawn + light + spawn + spawn, "info_player_deathmatch", world + light, 3},
      {"no match", world + light, "hostage_entity", world + light, 0},
      {"decals with quoted braces leave the next block whole", world + decal + target + decal, "infodecal",
       world + target, 2},
      {"match between blocks takes both blocks and the text between", world + "X\r\n" + light + spawn, "X", spawn, 1},
      {"mixed line ends keep the next block's brace", Block("a", "\n") + Block("b", "\r\n") + Block("a", "\n"), "\"a\"",
       Block("b", "\r\n"), 2},
      {"last block without line end", world + "{\r\n\"classname\" \"light\"\r\n}", "light", world, 1},
      {"every block", spawn + spawn, "info_player_deathmatch", "", 2},
  };
  for (const auto& c : cases) {
    const Outcome onePass = RunOnePass(c.text, c.needle, 0);
    EXPECT_EQ(onePass.text, c.expectedText) << c.name;
    EXPECT_EQ(onePass.count, c.expectedCount) << c.name;
    ExpectSame(onePass, RunStepByStep(c.text, c.needle, 0), c.name);
    const auto reference = test::ReferenceDeleteAll(c.needle, c.text, 0);
    EXPECT_EQ(reference.text, c.expectedText) << "reference: " << c.name;

    // One change: the flag set only if something went, one Undo brings all back.
    InMemoryEntityEdit edit;
    edit.SetText(CString(c.text));
    int position = 0;
    edit.DeleteAllBlocks(c.needle, position);
    EXPECT_EQ(edit.GetModify(), c.expectedCount > 0) << c.name;
    EXPECT_EQ(edit.Undo(), c.expectedCount > 0) << c.name;
    EXPECT_EQ(edit.GetText().Str(), c.text) << c.name;
  }
}

TEST(DeleteAll, AgreesWithThePlainRuleOnRandomTexts) {
  const std::string pieces[] = {"{", "}", "\"", "\r\n", "\n", "a", "ab", "b", "\x83", "{\"a\"}", "}\r\n{"};
  const std::string needles[] = {"a", "ab", "{", "}", "\"a", "}\r\n{", "b\n"};
  std::mt19937 random(11);
  for (unsigned codePage : {CodePage::kSingleByte, 932u}) {
    CodePage::SetActive(codePage);
    for (int round = 0; round < 4000; ++round) {
      std::string text;
      const int length = static_cast<int>(random() % 30);
      for (int i = 0; i < length; ++i) text += pieces[random() % std::size(pieces)];
      const std::string& needle = needles[random() % std::size(needles)];
      const int position = static_cast<int>(random() % (text.size() + 3));
      const std::string context =
          "text [" + Escaped(text) + "] needle [" + Escaped(needle) + "] from " + std::to_string(position);
      const Outcome onePass = RunOnePass(text, needle, position);
      const Outcome steps = RunStepByStep(text, needle, position);
      ExpectSame(onePass, steps, context);
      const auto reference = test::ReferenceDeleteAll(needle, text, position);
      ASSERT_EQ(onePass.text, reference.text) << context;
      ASSERT_EQ(onePass.searchPosition, reference.searchPosition) << context;
      ASSERT_EQ(onePass.count, reference.count) << context;
      if (reference.count > 0) {
        ASSERT_EQ(onePass.selStart, reference.caret) << context;
        ASSERT_NO_FATAL_FAILURE(ExpectOneReplacementGives(text, onePass.text, context));
      }
    }
  }
  CodePage::SetActive(CodePage::kSingleByte);
}

TEST(InMemoryEntityEdit, BehavesLikeTheWindowsEdit) {
  InMemoryEntityEdit edit;
  edit.SetText("0123456789");
  int s = 0;
  int e = 0;
  edit.SetSel(8, 50);
  edit.GetSel(s, e);
  EXPECT_EQ(s, 8);
  EXPECT_EQ(e, 10);
  edit.SetSel(5, 2);
  edit.GetSel(s, e);
  EXPECT_EQ(s, 2);
  EXPECT_EQ(e, 5);
  EXPECT_FALSE(edit.GetModify());
  edit.ReplaceSel("ab");
  EXPECT_EQ(edit.GetText(), "01ab56789");
  EXPECT_TRUE(edit.GetModify());
  edit.SetLimitText(10);
  edit.SetSel(0, 0);
  edit.ReplaceSel("xyz");  // only one character fits
  EXPECT_EQ(edit.GetText(), "x01ab56789");
  ASSERT_TRUE(edit.Undo());
  EXPECT_EQ(edit.GetText(), "01ab56789");
}

}  // namespace
}  // namespace lw
