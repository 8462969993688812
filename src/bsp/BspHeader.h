#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace lw {

// The map header of a BSP version 30 file: the version, then a directory of
// 15 (offset, length) pairs. Every integer is a 32-bit signed little-endian.
inline constexpr std::int32_t kBspVersion = 30;
inline constexpr int kLumpCount = 15;
inline constexpr size_t kVersionFieldOffset = 0;
inline constexpr size_t kDirectoryOffset = 4;
inline constexpr size_t kLumpEntrySize = 8;
inline constexpr size_t kLumpOffsetField = 0;
inline constexpr size_t kLumpLengthField = 4;
inline constexpr size_t kBspHeaderSize = kDirectoryOffset + kLumpCount * kLumpEntrySize;  // 124
static_assert(kBspHeaderSize == 124);

// Directory indices this program cares about. Lump 1 (planes) holds the
// entity text instead in maps whose first two entries are swapped.
inline constexpr int kEntitiesLump = 0;
inline constexpr int kPlanesLump = 1;
inline constexpr int kTexturesLump = 2;

// The compilers start every lump at a multiple of this.
inline constexpr std::int64_t kLumpAlignment = 4;

// Byte position of a directory field in the file.
constexpr size_t LumpOffsetPosition(int index) {
  return kDirectoryOffset + static_cast<size_t>(index) * kLumpEntrySize + kLumpOffsetField;
}
constexpr size_t LumpLengthPosition(int index) {
  return kDirectoryOffset + static_cast<size_t>(index) * kLumpEntrySize + kLumpLengthField;
}

struct BspLump {
  std::int32_t offset = 0;
  std::int32_t length = 0;

  // Computed in 64 bits so that two large 32-bit values cannot wrap.
  [[nodiscard]] std::int64_t End() const { return std::int64_t{offset} + std::int64_t{length}; }
};

struct BspHeader {
  std::int32_t version = 0;
  std::array<BspLump, kLumpCount> lumps{};
};

// The one way this program reads and writes integers in a map image: explicit
// little-endian, each access checked against the image's bounds.
class LittleEndianBytes {
 public:
  explicit LittleEndianBytes(std::span<const unsigned char> bytes) : bytes_(bytes) {}

  // Nothing when the four bytes at `position` do not all lie inside.
  [[nodiscard]] std::optional<std::int32_t> Int32At(size_t position) const;

  // False (and nothing written) when the four bytes do not all lie inside.
  static bool PutInt32(std::span<unsigned char> bytes, size_t position, std::int32_t value);

 private:
  std::span<const unsigned char> bytes_;
};

// The version field; nothing when the image is shorter than it.
std::optional<std::int32_t> ReadBspVersion(std::span<const unsigned char> image);
// The whole header; nothing when the image is shorter than it.
std::optional<BspHeader> ReadBspHeader(std::span<const unsigned char> image);
// Writes the header into the first kBspHeaderSize bytes; false when too short.
bool WriteBspHeader(const BspHeader& header, std::span<unsigned char> image);

// The first fault of a directory against a file of `fileSize` bytes, as a
// sentence for the user ("Lump 2 runs past the end of the file."), or nothing.
std::optional<std::string> FindDirectoryFault(const BspHeader& header, std::uint64_t fileSize);

}  // namespace lw
