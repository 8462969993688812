#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "bsp/BspHeader.h"

namespace lw {

// The blocks that GoldSrc-derived engines and compile tools add to a map
// beyond its 15 lumps, read as tables of their own, as Xash3D FWGS reads them
// (common/bspfile.h; engine/common/mod_bmodel.c: Mod_LoadBmodelLumps,
// Mod_FindBSPX). A save moves their offsets with their bytes.

// BSP30ext: a second header right after the lump table (dextrahdr_t): an id,
// a version, then 12 lumps of absolute offset and length.
inline constexpr std::int32_t kExtendedHeaderId = 0x48534158;  // "XASH" little-endian: IDEXTRAHEADER
inline constexpr std::int32_t kExtendedHeaderVersion = 4;      // EXTRA_VERSION
inline constexpr int kExtendedLumpCount = 12;                  // EXTRA_LUMPS
inline constexpr size_t kExtendedHeaderOffset = kBspHeaderSize;
inline constexpr size_t kExtendedIdField = 0;
inline constexpr size_t kExtendedVersionField = 4;
inline constexpr size_t kExtendedDirectoryField = 8;
inline constexpr size_t kExtendedHeaderSize = kExtendedDirectoryField + kExtendedLumpCount * kLumpEntrySize;  // 104
static_assert(kExtendedHeaderSize == 104);
// LUMP_LIGHTVECS ... LUMP_UNUSED1, in table order.
inline constexpr std::array<std::string_view, kExtendedLumpCount> kExtendedLumpNames = {
    "lightvecs", "faceinfo",    "cubemaps",  "vertnormals", "leaflights", "worldlights",
    "collision", "ainodegraph", "shadowmap", "vertexlight", "unused0",    "unused1"};

// BSPX: "BSPX", a lump count, then per lump a 24-byte NUL-padded name, an
// absolute offset and a length. It stands where the last lump ends, rounded
// up to 4.
inline constexpr std::string_view kBspxId = "BSPX";
inline constexpr size_t kBspxCountField = 4;
inline constexpr size_t kBspxHeaderSize = 8;
inline constexpr size_t kBspxNameSize = 24;
inline constexpr size_t kBspxEntrySize = kBspxNameSize + kLumpEntrySize;  // 32
inline constexpr std::int64_t kBspxAlignment = 4;

struct ExtendedHeader {
  std::array<BspLump, kExtendedLumpCount> lumps{};
};

struct BspxLump {
  std::array<unsigned char, kBspxNameSize> storedName{};  // written back as stored
  BspLump lump;

  // The name up to its first NUL.
  [[nodiscard]] std::string Name() const;
};

struct BspxBlock {
  std::int64_t offset = 0;
  std::vector<BspxLump> lumps;

  [[nodiscard]] std::int64_t TableSize() const {
    return static_cast<std::int64_t>(kBspxHeaderSize + lumps.size() * kBspxEntrySize);
  }
  [[nodiscard]] std::int64_t TableEnd() const { return offset + TableSize(); }
};

struct MapExtras {
  std::optional<ExtendedHeader> extended;
  std::optional<BspxBlock> bspx;
  // Why the map must not be rewritten, as a sentence: a table that points
  // outside the file or into another table. Empty when nothing is wrong.
  std::string fault;

  // Where the map's headers end: 124, or 228 after an extended header.
  [[nodiscard]] std::int64_t HeadersEnd() const;
};

// Reads `into.size()` bytes of the file at `offset`; false when they are not
// all there.
using ReadMapBytes = std::function<bool(std::uint64_t offset, std::span<unsigned char> into)>;

// The extended header and the BSPX block of a map whose lump table has been
// checked (FindDirectoryFault), read through `read`.
MapExtras FindMapExtras(const BspHeader& header, std::uint64_t fileSize, const ReadMapBytes& read);
MapExtras FindMapExtras(const BspHeader& header, std::span<const unsigned char> image);

// The end of the last lump, empty ones and the extended ones counted, rounded
// up to 4: where the engine looks for a BSPX block (Mod_FindBSPX).
std::int64_t BspxPosition(const BspHeader& header, const std::optional<ExtendedHeader>& extended);

// The tables as stored.
std::array<unsigned char, kExtendedHeaderSize> ExtendedHeaderBytes(const ExtendedHeader& extended);
std::vector<unsigned char> BspxTableBytes(const BspxBlock& bspx);

}  // namespace lw
