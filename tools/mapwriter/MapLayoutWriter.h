#pragma once

#include <array>
#include <string>

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

// Little-endian access to a written map's directory, for making odd files.
std::int32_t ReadInt32At(const std::string& bytes, size_t position);
void PutInt32At(std::string& bytes, size_t position, std::int32_t value);
inline constexpr size_t kHeaderBytes = 4 + 8 * kLumpCount;
constexpr size_t OffsetField(int lump) { return 4 + 8 * static_cast<size_t>(lump); }
constexpr size_t LengthField(int lump) { return 8 + 8 * static_cast<size_t>(lump); }

}  // namespace lw::mapwriter
