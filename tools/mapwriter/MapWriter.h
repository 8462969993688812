#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace lw::mapwriter {

// Directory indices of a BSP version 30 map.
enum LumpIndex : int {
  kEntities = 0,
  kPlanes,
  kTextures,
  kVertices,
  kVisibility,
  kNodes,
  kTexinfo,
  kFaces,
  kLighting,
  kClipnodes,
  kLeaves,
  kMarksurfaces,
  kEdges,
  kSurfedges,
  kModels,
  kLumpCount
};

// The contents of a map to write: one byte string per directory entry. The
// entity lump is given as text without its NUL; the writer adds the NUL.
struct MapContents {
  std::int32_t version = 30;
  std::array<std::string, kLumpCount> lumps;
};

// Writes `contents` the way the compile tools lay a map out: the 124-byte
// header, then the lumps in compiler order (planes, leaves, vertices, nodes,
// texinfo, faces, clipnodes, marksurfaces, surfedges, edges, models, lighting,
// visibility, entities, textures), each lump starting at a multiple of 4 with
// zero padding, the textures lump last and ending the file. Empty lumps get the
// offset of the next lump written, as the compilers do.
std::string WriteMap(const MapContents& contents);

// A realistic entity text in lump form ("\n" line ends, worldspawn first, the
// usual Counter-Strike classes, values with spaces, backslashes and braces
// inside quotes such as "{target" decals), with `entityCount` blocks in all.
// The same seed gives the same text.
std::string MakeEntityText(int entityCount, std::uint32_t seed = 1);

// A complete realistic map: geometry lumps of plausible sizes filled with
// deterministic bytes, the given entity text, and a textures lump.
MapContents MakeMapContents(std::string_view entityText, std::uint32_t seed = 1, size_t geometryBytes = 64 * 1024,
                            size_t textureBytes = 16 * 1024);

}  // namespace lw::mapwriter
