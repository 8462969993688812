#pragma once

#include <array>
#include <cstdint>
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

}  // namespace lw::test
