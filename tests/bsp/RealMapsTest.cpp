// Maps made by the game's compile tools, read from the shared folder and
// saved to copies in a temporary folder.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestPaths.h"
#include "bsp/BspTestSupport.h"
#include "bsp/CBspFile.h"
#include "entities/EntityText.h"
#include "support/RecordingMessages.h"
#include "support/TempDir.h"

namespace lw::test {
namespace {

std::vector<std::filesystem::path> RealMaps() {
  std::vector<std::filesystem::path> maps;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(kRealMapsDir, error)) {
    if (entry.path().extension() == ".bsp") maps.push_back(entry.path());
  }
  std::sort(maps.begin(), maps.end());
  return maps;
}

TEST(RealMapsTest, ASaveKeepsEveryByteButTheEntityLumpAndTwoDirectoryFields) {
  const auto maps = RealMaps();
  if (maps.empty()) GTEST_SKIP() << "no real maps in " << kRealMapsDir;
  const std::string added = "{\r\n\"classname\" \"info_target\"\r\n\"targetname\" \"lumpwright {test}\"\r\n}\r\n";
  for (const auto& source : maps) {
    SCOPED_TRACE(source.filename().string());
    TempDir dir;
    const std::string path = dir.File(source.filename().string());
    const std::string original = ReadFileBytes(source);
    WriteFileBytes(path, original);
    const TestDirectory before = ReadDirectory(original);

    RecordingMessages messages;
    CBspFile map(messages);
    ASSERT_EQ(map.LoadMap(path.c_str()), 0) << (messages.shown.empty() ? "" : messages.shown.back());
    EXPECT_TRUE(map.HasStandardLayout());
    EXPECT_EQ(map.EntityLumpIndex(), 0);
    CString text = ToDisplayText(map.GetEntityText());
    text += added.c_str();
    ASSERT_EQ(map.SaveMap(path.c_str(), text), 0);

    const std::string saved = ReadFileBytes(path);
    const TestDirectory after = ReadDirectory(saved);
    const auto entityOffset = static_cast<size_t>(before[0].offset);
    const auto length = static_cast<std::int64_t>(text.Size()) + 1;
    EXPECT_EQ(after[0].offset, before[0].offset);
    EXPECT_EQ(after[0].length, length);
    EXPECT_EQ(after[2].offset, before[0].offset + length);
    EXPECT_EQ(after[2].length, before[2].length);
    for (int index = 0; index < 15; ++index) {
      if (index != 0 && index != 2) {
        EXPECT_EQ(after[static_cast<size_t>(index)].offset, before[static_cast<size_t>(index)].offset);
      }
    }
    EXPECT_EQ(saved.size(), entityOffset + static_cast<size_t>(length) + static_cast<size_t>(before[2].length));
    EXPECT_EQ(LumpOf(saved, after[2]), LumpOf(original, before[2])) << "the textures lump";
    // Everything before the entity lump but the two changed fields.
    std::string expectedPrefix = original.substr(0, entityOffset);
    mapwriter::PutInt32At(expectedPrefix, mapwriter::LengthField(0), static_cast<std::int32_t>(length));
    mapwriter::PutInt32At(expectedPrefix, mapwriter::OffsetField(2), static_cast<std::int32_t>(after[2].offset));
    EXPECT_EQ(saved.substr(0, entityOffset), expectedPrefix);
    EXPECT_EQ(LumpOf(saved, after[0]), text.Str() + '\0');

    // The saved map loads again with the new block in place.
    CBspFile again(messages);
    ASSERT_EQ(again.LoadMap(path.c_str()), 0);
    EXPECT_NE(std::string(again.GetEntityText()).find("lumpwright {test}"), std::string::npos);
  }
}

}  // namespace
}  // namespace lw::test
