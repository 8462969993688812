// The read-only load (info, show, export, find, dump, check): the same map,
// the same facts and the same messages as the whole load, from the header and
// the entity lump alone.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestPaths.h"
#include "bsp/BspLayout.h"
#include "bsp/BspTestSupport.h"
#include "bsp/CBspFile.h"
#include "mapwriter/MapWriter.h"
#include "mapwriter/TestMaps.h"
#include "support/FailingFileSystem.h"
#include "support/RecordingMessages.h"
#include "support/TempDir.h"

namespace lw::test {
namespace {

namespace mw = lw::mapwriter;

// What a load shows of a map: the result, its messages and every fact the
// read-only commands print.
struct Seen {
  int result = 0;
  std::vector<std::string> messages;
  std::string text;
  std::int32_t version = 0;
  std::uint32_t size = 0;
  int entityIndex = 0;
  bool standard = false;
  bool compilerOrder = false;
  std::vector<std::pair<std::int32_t, std::int32_t>> lumps;
  // The extra tables' lumps ("BSPX NAME" and "extended N"), where the BSPX
  // block is, why a save is refused, and the loose bytes.
  std::map<std::string, std::pair<std::int32_t, std::int32_t>> extraLumps;
  std::int64_t bspxAt = -1;
  std::string fault;
  std::vector<std::pair<std::uint64_t, size_t>> loose;

  bool operator==(const Seen&) const = default;
};

Seen Load(const std::string& path, bool readOnly, FileSystem& files = SystemFileSystem()) {
  RecordingMessages messages;
  CBspFile map(messages, files);
  map.SetReadOnly(readOnly);
  Seen seen;
  seen.result = map.LoadMap(path.c_str());
  seen.messages = messages.shown;
  if (seen.result != 0) return seen;
  seen.text = map.GetEntityText();
  seen.version = map.Version();
  seen.size = map.ImageSize();
  seen.entityIndex = map.EntityLumpIndex();
  seen.standard = map.HasStandardLayout();
  seen.compilerOrder = map.HasCompilerOrder();
  for (int index = 0; index < mw::kLumpCount; ++index)
    seen.lumps.emplace_back(map.Lump(index).offset, map.Lump(index).length);
  const MapExtras& extras = map.Extras();
  if (extras.extended) {
    for (size_t index = 0; index < extras.extended->lumps.size(); ++index) {
      const BspLump& lump = extras.extended->lumps[index];
      seen.extraLumps["extended " + std::to_string(index)] = {lump.offset, lump.length};
    }
  }
  if (extras.bspx) {
    seen.bspxAt = extras.bspx->offset;
    for (const BspxLump& lump : extras.bspx->lumps) {
      seen.extraLumps["BSPX " + lump.Name()] = {lump.lump.offset, lump.lump.length};
    }
  }
  seen.fault = extras.fault;
  for (const FileBytes& bytes : map.LooseBytes()) seen.loose.emplace_back(bytes.offset, bytes.length);
  return seen;
}

// Every made map (broken ones, odd layouts, swapped directories) and every
// real map: the read-only load must agree with the whole load in everything.
TEST(ReadOnlyLoadTest, AgreesWithTheWholeLoadOnEveryMadeAndRealMap) {
  TempDir dir;
  std::vector<std::string> paths;
  std::vector<mw::NamedMap> made = mw::MakeTestMaps();
  for (mw::NamedMap& sample : mw::MakeSampleMaps()) made.push_back(std::move(sample));
  // Neither entry looks like planes (their lengths are no multiple of a plane
  // record): the text decides, on both entries read whole.
  mw::MapContents unlike = mw::MakeMapContents(mw::TestEntityText(), 5);
  unlike.lumps[mw::kPlanes] += "xyz";
  made.push_back({"planes_of_odd_length.bsp", mw::WriteMap(unlike)});
  std::swap(unlike.lumps[mw::kEntities], unlike.lumps[mw::kPlanes]);
  made.push_back({"swapped_planes_of_odd_length.bsp", mw::WriteMap(unlike)});
  for (const mw::NamedMap& map : made) {
    paths.push_back(dir.File(map.name));
    WriteFileBytes(paths.back(), map.bytes);
  }
  paths.push_back(dir.File("missing.bsp"));
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(kRealMapsDir, error)) {
    if (entry.path().extension() == ".bsp") paths.push_back(entry.path().string());
  }

  int loaded = 0;
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    const Seen whole = Load(path, false);
    const Seen readOnly = Load(path, true);
    EXPECT_TRUE(readOnly == whole) << (readOnly.messages.empty() ? "" : readOnly.messages.back());
    if (whole.result == 0) ++loaded;
  }
  // The made maps alone where the real ones are not there.
  EXPECT_GE(loaded, std::filesystem::exists(kRealMapsDir) ? 20 : 10) << "most of the maps load";
}

// A read or seek that fails anywhere fails the load with one message and
// leaves nothing loaded; it never crashes or hands out text.
TEST(ReadOnlyLoadTest, AFailedFileOperationFailsTheLoadCleanly) {
  TempDir dir;
  const std::string path = dir.File("swapped_directory.bsp");
  WriteFileBytes(path, mw::MakeTestMap("swapped_directory.bsp"));
  FailingFileSystem counting;
  ASSERT_EQ(Load(path, true, counting).result, 0);
  const std::map<FileOp, int> counts = {{FileOp::kOpen, counting.Count(FileOp::kOpen)},
                                        {FileOp::kQuerySize, counting.Count(FileOp::kQuerySize)},
                                        {FileOp::kSeek, counting.Count(FileOp::kSeek)},
                                        {FileOp::kRead, counting.Count(FileOp::kRead)}};
  EXPECT_GE(counts.at(FileOp::kRead), 3) << "the header, entries 0 and 1";
  for (const auto& [op, count] : counts) {
    for (int k = 1; k <= count; ++k) {
      SCOPED_TRACE("operation " + std::to_string(static_cast<int>(op)) + " #" + std::to_string(k));
      FailingFileSystem failing;
      failing.FailAt(op, k);
      RecordingMessages messages;
      CBspFile map(messages, failing);
      map.SetReadOnly(true);
      EXPECT_EQ(map.LoadMap(path.c_str()), 1);
      EXPECT_TRUE(failing.Failed());
      EXPECT_FALSE(map.IsLoaded());
      EXPECT_EQ(map.GetEntityText(), nullptr);
      ASSERT_EQ(messages.shown.size(), 1U);
      EXPECT_EQ(messages.shown[0].rfind("Error", 0), 0U) << messages.shown[0];
    }
  }
}

// The system's files, with every byte range read recorded.
class RangeRecordingFileSystem : public ForwardingFileSystem {
 public:
  struct Range {
    std::uint64_t begin;
    std::uint64_t end;
  };
  RangeRecordingFileSystem() : ForwardingFileSystem(SystemFileSystem()) {}
  FileHandle OpenRead(const CString& path) override {
    position_ = 0;
    return Inner().OpenRead(path);
  }
  void Seek(FileHandle file, std::uint64_t offset) override {
    Inner().Seek(file, offset);
    position_ = offset;
  }
  size_t Read(FileHandle file, void* buffer, size_t count) override {
    const size_t got = Inner().Read(file, buffer, count);
    ranges.push_back({position_, position_ + got});
    position_ += got;
    return got;
  }

  std::vector<Range> ranges;

 private:
  std::uint64_t position_ = 0;
};

// A 24 MiB map with 1 MiB of entity text: what export reads of it is the
// header, the first plane records that tell the directory's order, the text
// and its padding; no byte of the geometry, the lighting or the textures.
TEST(ReadOnlyLoadTest, ALargeMapIsReadNoFurtherThanItsEntityLump) {
  std::string text = mw::MakeEntityText(4000, 3);
  while (text.size() < (size_t{1} << 20)) text += mw::MakeEntityText(1000, static_cast<std::uint32_t>(text.size()));
  const std::string bytes = mw::WriteMap(mw::MakeMapContents(text, 3, size_t{19} << 20, size_t{4} << 20));
  TempDir dir;
  const std::string path = dir.File("de_large.bsp");
  WriteFileBytes(path, bytes);

  RangeRecordingFileSystem recording;
  const Seen seen = Load(path, true, recording);
  ASSERT_EQ(seen.result, 0);
  EXPECT_EQ(seen.text, text);
  EXPECT_EQ(seen.size, bytes.size());

  const TestDirectory lumps = ReadDirectory(bytes);
  const TestLump entities = lumps[mw::kEntities];
  const TestLump planes = lumps[mw::kPlanes];
  const TestLump textures = lumps[mw::kTextures];
  const auto within = [](const RangeRecordingFileSystem::Range& range, std::int64_t begin, std::int64_t end) {
    return static_cast<std::int64_t>(range.begin) >= begin && static_cast<std::int64_t>(range.end) <= end;
  };
  std::uint64_t total = 0;
  for (const auto& range : recording.ranges) {
    SCOPED_TRACE(std::to_string(range.begin) + "-" + std::to_string(range.end));
    total += range.end - range.begin;
    EXPECT_TRUE(within(range, 0, 124) || within(range, entities.offset, textures.offset) ||
                within(range, planes.offset, planes.offset + static_cast<std::int64_t>(kPlaneBytesChecked)) ||
                within(range, textures.End(), static_cast<std::int64_t>(bytes.size())))
        << "a read outside the header, the entity lump and the first plane records";
  }
  EXPECT_LE(total, 124 + kPlaneBytesChecked + static_cast<std::uint64_t>(textures.offset - entities.offset) + 3);
}

}  // namespace
}  // namespace lw::test
