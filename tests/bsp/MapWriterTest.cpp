// The map writer makes the maps the other tests trust: check that they have
// the compilers' layout and a realistic entity text.
#include "mapwriter/MapWriter.h"

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "bsp/BspTestSupport.h"
#include "mapwriter/TestMaps.h"

namespace lw::test {
namespace {

using namespace mapwriter;

TEST(MapWriterTest, MadeMapsHaveTheCompilersLayout) {
  for (const auto& sample : MakeSampleMaps()) {
    SCOPED_TRACE(sample.name);
    const std::string& bytes = sample.bytes;
    ASSERT_GE(bytes.size(), kHeaderBytes);
    EXPECT_EQ(ReadInt32At(bytes, 0), 30);
    const TestDirectory lumps = ReadDirectory(bytes);
    std::int64_t previousEnd = static_cast<std::int64_t>(kHeaderBytes);
    for (const int index : CompilerOrder()) {
      const TestLump lump = lumps[static_cast<size_t>(index)];
      EXPECT_EQ(lump.offset % 4, 0) << "lump " << index;
      EXPECT_GE(lump.offset, previousEnd) << "lump " << index;
      EXPECT_LT(lump.offset - previousEnd, 4) << "only padding between lumps";
      EXPECT_GT(lump.length, 0) << "lump " << index;
      previousEnd = lump.End();
    }
    EXPECT_EQ(lumps[kTextures].End(), static_cast<std::int64_t>(bytes.size()));
    const std::string entities = LumpOf(bytes, lumps[kEntities]);
    EXPECT_EQ(entities.back(), '\0');
    EXPECT_EQ(entities.find('\0'), entities.size() - 1);
  }
}

TEST(MapWriterTest, EmptyLumpsTakeTheOffsetOfTheNextLump) {
  MapContents contents = MakeMapContents(MakeEntityText(3), 1, 4096, 0);
  contents.lumps[kVisibility].clear();
  const std::string bytes = WriteMap(contents);
  const TestDirectory lumps = ReadDirectory(bytes);
  EXPECT_EQ(lumps[kVisibility].offset, lumps[kEntities].offset);
  EXPECT_EQ(lumps[kTextures].length, 0);
  EXPECT_EQ(lumps[kTextures].offset, static_cast<std::int64_t>(bytes.size()));
  EXPECT_EQ(bytes.size() % 4, 0U);
}

TEST(MapWriterTest, EntityTextLooksLikeACompilersOutput) {
  const std::string text = MakeEntityText(400, 9);
  EXPECT_EQ(text, MakeEntityText(400, 9)) << "deterministic";
  EXPECT_NE(text, MakeEntityText(400, 10));
  EXPECT_EQ(text.rfind("{\n\"wad\" \"", 0), 0U) << "worldspawn first";
  size_t blocks = 0;
  for (size_t at = text.find("{\n"); at != std::string::npos; at = text.find("\n{\n", at + 1)) ++blocks;
  EXPECT_EQ(blocks, 400U) << "braces inside quoted values do not start blocks";
  for (const char* needle : {"\"classname\" \"worldspawn\"", "info_player_start", "info_player_deathmatch",
                             "func_buyzone", "func_bomb_target", "\"texture\" \"{target\"", "\"classname\" \"light\"",
                             "armoury_entity", "hostage_entity", "\\half-life\\", "C:\\Mapping Tools\\"}) {
    EXPECT_NE(text.find(needle), std::string::npos) << needle;
  }
  EXPECT_EQ(text.substr(text.size() - 2), "}\n");
  EXPECT_EQ(text.find('\r'), std::string::npos);
}

}  // namespace
}  // namespace lw::test
