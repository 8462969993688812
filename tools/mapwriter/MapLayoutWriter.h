#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "mapwriter/MapWriter.h"

namespace lw::mapwriter {

using LumpOrder = std::array<int, kLumpCount>;

// The order the compile tools write the lumps in: planes, leaves, vertices,
// nodes, texinfo, faces, clipnodes, marksurfaces, surfedges, edges, models,
// lighting, visibility, entities, textures.
LumpOrder CompilerOrder();

// Writes the header and the lumps in `order`, each at a multiple of 4 with
// zero padding; an empty lump gets the offset of the next lump written, and
// the file ends with the last lump in `order` (padding before it included).
std::string WriteMapInOrder(const MapContents& contents, const LumpOrder& order);

// The blocks Xash3D FWGS and newer compile tools add beyond the 15 lumps.
struct MapExtraContents {
  // BSP30ext: the extended header right after the lump table ("XASH",
  // version 4, 12 lumps of offset and length); its lumps by table index,
  // written after the textures lump.
  bool extendedHeader = false;
  std::vector<std::pair<int, std::string>> extendedLumps;
  // BSPX: at the end of the last lump rounded up to 4, "BSPX", a count, then
  // per lump a 24-byte NUL-padded name, an offset and a length; the lumps
  // follow the table, each at a multiple of 4.
  std::vector<std::pair<std::string, std::string>> bspxLumps;
};

// The map of WriteMapInOrder with those blocks; the lumps start after the
// extended header when there is one.
std::string WriteMapWithExtras(const MapContents& contents, const MapExtraContents& extras,
                               const LumpOrder& order = CompilerOrder());

// Little-endian access to a written map's directory, for making odd files.
std::int32_t ReadInt32At(const std::string& bytes, size_t position);
void PutInt32At(std::string& bytes, size_t position, std::int32_t value);
inline constexpr size_t kHeaderBytes = 4 + 8 * kLumpCount;
inline constexpr size_t kExtendedHeaderBytes = 8 + 8 * 12;
inline constexpr int kExtendedLumpCount = 12;
constexpr size_t ExtendedOffsetField(int lump) { return kHeaderBytes + 8 + 8 * static_cast<size_t>(lump); }
constexpr size_t ExtendedLengthField(int lump) { return kHeaderBytes + 12 + 8 * static_cast<size_t>(lump); }
inline constexpr size_t kBspxNameBytes = 24;
inline constexpr size_t kBspxEntryBytes = kBspxNameBytes + 8;
constexpr size_t OffsetField(int lump) { return 4 + 8 * static_cast<size_t>(lump); }
constexpr size_t LengthField(int lump) { return 8 + 8 * static_cast<size_t>(lump); }

}  // namespace lw::mapwriter
