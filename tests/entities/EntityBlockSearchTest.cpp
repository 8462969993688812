#include <gtest/gtest.h>

#include <random>

#include "entities/EntityBlockSearch.h"
#include "platform/CodePage.h"
#include "support/ReferenceEntitySearch.h"

namespace lw {
namespace {

// Three blocks in display form.
const std::string kWorld = "{\r\n\"classname\" \"worldspawn\"\r\n}\r\n";
const std::string kStart = "{\r\n\"classname\" \"info_player_start\"\r\n}\r\n";
const std::string kDecal = "{\r\n\"classname\" \"infodecal\"\r\n\"texture\" \"{target\"\r\n}\r\n";
const std::string kThree = kWorld + kStart + kDecal;
const int kWorldEnd = static_cast<int>(kWorld.size()) - 3;
const int kStartBegin = static_cast<int>(kWorld.size());
const int kStartEnd = static_cast<int>(kWorld.size() + kStart.size()) - 3;
const int kDecalBegin = static_cast<int>(kWorld.size() + kStart.size());
const int kDecalEnd = static_cast<int>(kThree.size()) - 3;

struct FindCase {
  const char* name;
  std::string text;
  std::string needle;
  int position;
  std::optional<EntityBlockSpan> expected;
};

TEST(FindEntityBlock, FollowsTheBlockRules) {
  const FindCase cases[] = {
      {"first block", kThree, "worldspawn", 0, EntityBlockSpan{0, kWorldEnd}},
      {"later block", kThree, "info_player_start", 0, EntityBlockSpan{kStartBegin, kStartEnd}},
      {"search starts at the position", kThree, "classname", kWorldEnd + 1, EntityBlockSpan{kStartBegin, kStartEnd}},
      {"position equal to the length finds nothing", kThree, "classname", static_cast<int>(kThree.size()),
       std::nullopt},
      {"position beyond the length starts again at 0", kThree, "classname", static_cast<int>(kThree.size()) + 1,
       EntityBlockSpan{0, kWorldEnd}},
      {"case-sensitive", kThree, "WORLDSPAWN", 0, std::nullopt},
      {"a decal's brace inside quotes is not a block start", kThree, "{target", 0,
       EntityBlockSpan{kDecalBegin, kDecalEnd}},
      {"a match after a quoted brace still finds its block", kThree, "target", 0,
       EntityBlockSpan{kDecalBegin, kDecalEnd}},
      {"needle starting with an opening brace", kThree, "{\r\n\"classname\" \"info", 0,
       EntityBlockSpan{kStartBegin, kStartEnd}},
      {"needle starting with a closing brace", kThree, "}\r\n{\r\n\"classname\" \"infodecal", 0,
       EntityBlockSpan{kStartBegin, kStartEnd}},
      {"match before the first block", "junk\r\n{\r\n}\r\n", "junk", 0, std::nullopt},
      {"match after the last block", "{\r\n}\r\nlast", "last", 0, std::nullopt},
      {"only the first match is examined", "{\r\n}\r\nkey\r\n{\r\nkey\r\n", "key", 0, std::nullopt},
      {"match between blocks spans both", "{\r\na\r\n}\r\nX\r\n{\r\nb\r\n}\r\n", "X", 0, EntityBlockSpan{0, 18}},
      {"closing brace inside quotes is skipped", "{\r\n\"m\" \"}\"\r\n}\r\n", "m", 0, EntityBlockSpan{0, 12}},
      {"unclosed quote hides braces only on its own line", "{\r\n\"m\" \"}\r\n}\r\n", "m", 0, EntityBlockSpan{0, 11}},
      {"needle at the very start", "{a}", "{a", 0, EntityBlockSpan{0, 2}},
      {"empty needle finds nothing", kThree, "", 0, std::nullopt},
      {"empty text", "", "a", 0, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindEntityBlock(c.needle, c.text, c.position), c.expected) << c.name;
    EXPECT_EQ(test::ReferenceFindEntityBlock(c.needle, c.text, c.position), c.expected) << "reference: " << c.name;
  }
}

TEST(FindEntityBlock, DoubleByteTrailBytesAreNotBraces) {
  // 0x83 0x7B and 0x83 0x7D are Shift JIS characters whose second bytes are
  // '{' and '}'; read as single bytes they would end the walks early.
  const std::string closeTrail = "{\nkey\x83}\n}\n";
  const std::string openTrail = "{\n\x83{key\n}\n";
  CodePage::SetActive(932);
  EXPECT_EQ(FindEntityBlock("key", closeTrail, 0), (EntityBlockSpan{0, 8}));
  EXPECT_EQ(FindEntityBlock("key", openTrail, 0), (EntityBlockSpan{0, 8}));
  EXPECT_EQ(FindEntityBlock("{", openTrail, 1), std::nullopt);
  CodePage::SetActive(CodePage::kSingleByte);
  EXPECT_EQ(FindEntityBlock("key", closeTrail, 0), (EntityBlockSpan{0, 6}));
  EXPECT_EQ(FindEntityBlock("key", openTrail, 0), (EntityBlockSpan{3, 8}));
}

struct SelectionCase {
  const char* name;
  std::string text;
  int blockEnd;
  int expected;
};

TEST(BlockSelectionEnd, TakesOnlyTheLineEndThatFollows) {
  const SelectionCase cases[] = {
      {"CR LF", "{}\r\n{}", 1, 4},
      {"lone LF", "{}\n{}", 1, 3},
      {"nothing after the brace", "{}", 1, 2},
      {"next block right after", "{}{}", 1, 2},
      {"lone CR", "{}\r{}", 1, 2},
  };
  for (const auto& c : cases) EXPECT_EQ(BlockSelectionEnd(c.text, c.blockEnd), c.expected) << c.name;
}

// Texts made of the pieces that matter to the search, compared against the
// plain rule at every position.
// The editor's brace highlight: braces inside quoted values are text.
TEST(MatchingBlockBrace, PairsTheBracesFindReads) {
  const std::string decal = "{\r\n\"texture\" \"{TARGET2\"\r\n\"a\" \"}\"\r\n}\r\n{\r\n}";
  const int open = 0;
  const auto close = static_cast<int>(decal.find("}\r\n{"));
  const auto secondOpen = close + 3;
  const auto secondClose = static_cast<int>(decal.size()) - 1;
  const struct {
    std::string text;
    int at;
    std::optional<int> match;
  } cases[] = {
      {decal, open, close},
      {decal, close, open},
      {decal, secondOpen, secondClose},
      {decal, secondClose, secondOpen},
      {decal, static_cast<int>(decal.find("{TARGET2")), std::nullopt},  // inside quotes: no block brace
      {decal, static_cast<int>(decal.find("}\"")), std::nullopt},
      {decal, 2, std::nullopt},         // no brace at all
      {"{\n\"a\" \"b\"\n{\n}", 0, -1},  // the next block opens first
      {"}\n{\n}", 0, -1},               // closes nothing
      {"{\n\"a\" \"b", 0, -1},          // the text ends
      {"{ \"a\" \"b\" }", 10, 0},       // one line
      {"{\n\"a\" \"b\n}", 9, 0},        // a quote not closed ends with its line
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MatchingBlockBrace(c.text, c.at), c.match) << "[" << c.text << "] at " << c.at;
  }
}

TEST(FindEntityBlock, AgreesWithThePlainRuleOnRandomTexts) {
  const std::string pieces[] = {"{", "}", "\"", "\r\n", "\n", "ab", "a", "b", " ", "\x83", "{\"a\"}"};
  const std::string needles[] = {"a", "ab", "{", "}", "\"a", "\n{", "b\r"};
  std::mt19937 random(7);
  for (unsigned codePage : {CodePage::kSingleByte, 932u}) {
    CodePage::SetActive(codePage);
    for (int round = 0; round < 3000; ++round) {
      std::string text;
      const int length = static_cast<int>(random() % 24);
      for (int i = 0; i < length; ++i) text += pieces[random() % std::size(pieces)];
      const std::string& needle = needles[random() % std::size(needles)];
      const int position = static_cast<int>(random() % (text.size() + 3));
      ASSERT_EQ(FindEntityBlock(needle, text, position), test::ReferenceFindEntityBlock(needle, text, position))
          << "code page " << codePage << " text [" << text << "] needle [" << needle << "] at " << position;
    }
  }
  CodePage::SetActive(CodePage::kSingleByte);
}

}  // namespace
}  // namespace lw
