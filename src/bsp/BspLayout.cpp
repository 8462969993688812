#include "bsp/BspLayout.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace lw {
namespace {

constexpr std::int64_t kMaxPadding = kLumpAlignment - 1;
constexpr std::string_view kClassnameKey = "\"classname\"";
// A plane record: normal (3 floats), distance (float), type (int32).
constexpr size_t kPlaneRecordSize = 20;
constexpr size_t kPlaneTypeField = 16;
constexpr std::int32_t kMaxPlaneType = 5;
constexpr size_t kPlaneRecordsChecked = 4096;
static_assert(kPlaneBytesChecked == kPlaneRecordsChecked * kPlaneRecordSize);

}  // namespace

bool AllZero(std::span<const unsigned char> bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](unsigned char byte) { return byte == 0; });
}

std::span<const unsigned char> LumpBytes(std::span<const unsigned char> image, const BspLump& lump) {
  return image.subspan(static_cast<size_t>(lump.offset), static_cast<size_t>(lump.length));
}

bool LooksLikeEntityText(std::span<const unsigned char> lumpBytes) {
  // An empty lump may come with no bytes at all to point at (memchr's
  // pointer must not be null even for a count of 0).
  if (lumpBytes.empty()) return false;
  const auto* nul = static_cast<const unsigned char*>(std::memchr(lumpBytes.data(), 0, lumpBytes.size()));
  const size_t textLength = nul ? static_cast<size_t>(nul - lumpBytes.data()) : lumpBytes.size();
  const std::string_view text(reinterpret_cast<const char*>(lumpBytes.data()), textLength);
  const size_t first = text.find_first_not_of(" \t\r\n");
  return first != std::string_view::npos && text[first] == '{' &&
         text.find(kClassnameKey, first) != std::string_view::npos;
}

bool EndsInItsOnlyNul(std::span<const unsigned char> lumpBytes) {
  // As the compilers and the save write an entity lump.
  return !lumpBytes.empty() && std::find(lumpBytes.begin(), lumpBytes.end(), 0) == lumpBytes.end() - 1;
}

bool LooksLikeText(std::span<const unsigned char> lumpBytes) {
  if (lumpBytes.size() < 2 || !EndsInItsOnlyNul(lumpBytes)) return false;
  return std::all_of(lumpBytes.begin(), lumpBytes.end() - 1,
                     [](unsigned char byte) { return byte >= 0x20 || byte == '\t' || byte == '\r' || byte == '\n'; });
}

bool LooksLikePlanes(std::span<const unsigned char> lumpBytes) {
  return LooksLikePlanes(lumpBytes, static_cast<std::int64_t>(lumpBytes.size()));
}

bool LooksLikePlanes(std::span<const unsigned char> firstBytes, std::int64_t length) {
  if (length < 0 || static_cast<std::uint64_t>(length) % kPlaneRecordSize != 0) return false;
  const LittleEndianBytes bytes(firstBytes);
  // Text fails at its first record already; the first few thousand tell
  // planes from anything else without reading a large map's planes whole.
  const size_t checked = static_cast<size_t>(std::min(length, static_cast<std::int64_t>(kPlaneBytesChecked)));
  for (size_t record = 0; record < checked; record += kPlaneRecordSize) {
    const std::optional<std::int32_t> type = bytes.Int32At(record + kPlaneTypeField);
    if (!type || *type < 0 || *type > kMaxPlaneType) return false;
  }
  return true;
}

std::optional<int> FindEntityLumpIndexByPlanes(std::span<const unsigned char> firstBytes0, std::int64_t length0,
                                               std::span<const unsigned char> firstBytes1, std::int64_t length1) {
  const bool planes0 = LooksLikePlanes(firstBytes0, length0);
  const bool planes1 = LooksLikePlanes(firstBytes1, length1);
  if (planes1 && !planes0) return kEntitiesLump;
  if (planes0 && !planes1) return kPlanesLump;
  return std::nullopt;
}

int FindEntityLumpIndex(std::span<const unsigned char> lump0, std::span<const unsigned char> lump1) {
  // Entity text in entry 0 is no planes, and then wins whatever entry 1
  // holds: the planes of entry 1 need not be looked at.
  if (!LooksLikePlanes(lump0) && LooksLikeEntityText(lump0)) return kEntitiesLump;
  if (const std::optional<int> byPlanes = FindEntityLumpIndexByPlanes(lump0, static_cast<std::int64_t>(lump0.size()),
                                                                      lump1, static_cast<std::int64_t>(lump1.size()))) {
    return *byPlanes;
  }
  if (LooksLikeEntityText(lump0)) return kEntitiesLump;
  if (LooksLikeEntityText(lump1)) return kPlanesLump;
  // A map saved with every block deleted keeps only a line feed and its NUL;
  // plain text still tells it from the binary planes.
  if (!LooksLikeText(lump0) && LooksLikeText(lump1)) return kPlanesLump;
  // Text that is neither (a typed control character, no "classname") still
  // ends in its only NUL, which binary planes, full of zero bytes, never do;
  // taking the planes for the text would let a save overwrite them.
  if (!EndsInItsOnlyNul(lump0) && EndsInItsOnlyNul(lump1)) return kPlanesLump;
  return kEntitiesLump;
}

int FindEntityLumpIndex(const BspHeader& header, std::span<const unsigned char> image) {
  return FindEntityLumpIndex(LumpBytes(image, header.lumps[kEntitiesLump]),
                             LumpBytes(image, header.lumps[kPlanesLump]));
}

std::optional<LayoutPadding> FindStandardLayoutPadding(const BspHeader& header, std::uint64_t fileSize,
                                                       int entityIndex) {
  const BspLump& entities = header.lumps[static_cast<size_t>(entityIndex)];
  const BspLump& textures = header.lumps[kTexturesLump];
  for (int index = 0; index < kLumpCount; ++index) {
    if (index == entityIndex || index == kTexturesLump) continue;
    const BspLump& lump = header.lumps[static_cast<size_t>(index)];
    if (lump.End() > entities.offset) return std::nullopt;
  }
  const std::int64_t gapBefore = textures.offset - entities.End();
  if (gapBefore < 0 || gapBefore > kMaxPadding) return std::nullopt;
  const std::int64_t texturesEnd = textures.End();
  if (texturesEnd < 0 || fileSize < static_cast<std::uint64_t>(texturesEnd)) return std::nullopt;
  const std::uint64_t gapAfter = fileSize - static_cast<std::uint64_t>(texturesEnd);
  if (gapAfter > static_cast<std::uint64_t>(kMaxPadding)) return std::nullopt;
  return LayoutPadding{{static_cast<std::uint64_t>(entities.End()), static_cast<size_t>(gapBefore)},
                       {static_cast<std::uint64_t>(texturesEnd), static_cast<size_t>(gapAfter)}};
}

bool IsStandardLayout(const BspHeader& header, std::span<const unsigned char> image, int entityIndex) {
  const std::optional<LayoutPadding> padding = FindStandardLayoutPadding(header, image.size(), entityIndex);
  const auto bytesOf = [image](const FileBytes& part) {
    return image.subspan(static_cast<size_t>(part.offset), part.length);
  };
  return padding && AllZero(bytesOf(padding->afterEntities)) && AllZero(bytesOf(padding->afterTextures));
}

bool IsInCompilerOrder(const BspHeader& header, int entityIndex) {
  const BspLump& entities = header.lumps[static_cast<size_t>(entityIndex)];
  for (int index = 0; index < kLumpCount; ++index) {
    if (index == entityIndex || index == kTexturesLump) continue;
    if (header.lumps[static_cast<size_t>(index)].End() > entities.offset) return false;
  }
  return header.lumps[kTexturesLump].offset >= entities.End();
}

}  // namespace lw
