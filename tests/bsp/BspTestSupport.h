#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "mapwriter/MapLayoutWriter.h"

namespace lw::test {

// A map file's directory as the tests read it, independently of src/bsp.
struct TestLump {
  std::int64_t offset;
  std::int64_t length;
  [[nodiscard]] std::int64_t End() const { return offset + length; }
};
using TestDirectory = std::array<TestLump, mapwriter::kLumpCount>;

inline TestDirectory ReadDirectory(const std::string& bytes) {
  TestDirectory lumps{};
  for (int index = 0; index < mapwriter::kLumpCount; ++index) {
    lumps[static_cast<size_t>(index)] = {mapwriter::ReadInt32At(bytes, mapwriter::OffsetField(index)),
                                         mapwriter::ReadInt32At(bytes, mapwriter::LengthField(index))};
  }
  return lumps;
}

inline std::string LumpOf(const std::string& bytes, const TestLump& lump) {
  return bytes.substr(static_cast<size_t>(lump.offset), static_cast<size_t>(lump.length));
}

// What a save of a map in the compilers' layout must write: the bytes before
// the entity lump with the entity length and the textures offset changed,
// the text and its NUL, then the textures lump, nothing else.
inline std::string ExpectedSave(const std::string& original, std::string_view lumpText, int entityIndex = 0) {
  const TestDirectory lumps = ReadDirectory(original);
  const TestLump entities = lumps[static_cast<size_t>(entityIndex)];
  const TestLump textures = lumps[mapwriter::kTextures];
  std::string expected = original.substr(0, static_cast<size_t>(entities.offset));
  const auto newLength = static_cast<std::int32_t>(lumpText.size() + 1);
  mapwriter::PutInt32At(expected, mapwriter::LengthField(entityIndex), newLength);
  mapwriter::PutInt32At(expected, mapwriter::OffsetField(mapwriter::kTextures),
                        static_cast<std::int32_t>(entities.offset + newLength));
  expected += lumpText;
  expected += '\0';
  expected += LumpOf(original, textures);
  return expected;
}

// Every block of bytes the tables of a map point at, as Xash3D FWGS finds
// them, read independently of src/bsp: "lump N" for the 15 lumps,
// "extended N" for the lumps of an extended header ("XASH", version 4, right
// after the lump table), "bspx NAME" for those of a BSPX block (at the end of
// the last lump rounded up to 4). "bspx at" holds the block's offset.
inline std::map<std::string, std::string> MapBlocks(const std::string& bytes) {
  std::map<std::string, std::string> blocks;
  const TestDirectory lumps = ReadDirectory(bytes);
  std::int64_t end = 0;
  for (int index = 0; index < mapwriter::kLumpCount; ++index) {
    blocks["lump " + std::to_string(index)] = LumpOf(bytes, lumps[static_cast<size_t>(index)]);
    end = std::max(end, lumps[static_cast<size_t>(index)].End());
  }
  if (bytes.size() >= mapwriter::kHeaderBytes + mapwriter::kExtendedHeaderBytes &&
      mapwriter::ReadInt32At(bytes, mapwriter::kHeaderBytes) == 0x48534158 &&
      mapwriter::ReadInt32At(bytes, mapwriter::kHeaderBytes + 4) == 4) {
    for (int index = 0; index < mapwriter::kExtendedLumpCount; ++index) {
      const TestLump lump{mapwriter::ReadInt32At(bytes, mapwriter::ExtendedOffsetField(index)),
                          mapwriter::ReadInt32At(bytes, mapwriter::ExtendedLengthField(index))};
      blocks["extended " + std::to_string(index)] = LumpOf(bytes, lump);
      end = std::max(end, lump.End());
    }
  }
  const auto at = static_cast<size_t>((end + 3) / 4 * 4);
  if (bytes.size() >= at + 8 && bytes.compare(at, 4, "BSPX") == 0) {
    blocks["bspx at"] = std::to_string(at);
    const std::int32_t count = mapwriter::ReadInt32At(bytes, at + 4);
    for (std::int32_t lump = 0; lump < count; ++lump) {
      const size_t entry = at + 8 + mapwriter::kBspxEntryBytes * static_cast<size_t>(lump);
      const std::string name = bytes.substr(entry, mapwriter::kBspxNameBytes).c_str();
      const TestLump where{mapwriter::ReadInt32At(bytes, entry + mapwriter::kBspxNameBytes),
                           mapwriter::ReadInt32At(bytes, entry + mapwriter::kBspxNameBytes + 4)};
      blocks["bspx " + name] = LumpOf(bytes, where);
    }
  }
  return blocks;
}

}  // namespace lw::test
