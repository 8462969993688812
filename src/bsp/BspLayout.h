#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "bsp/BspHeader.h"

namespace lw {

// The bytes of `lump` inside `image`; the directory must have been checked
// with FindDirectoryFault first.
std::span<const unsigned char> LumpBytes(std::span<const unsigned char> image, const BspLump& lump);

// An entity lump starts with '{' (after any white space) and names a
// "classname" before its NUL.
bool LooksLikeEntityText(std::span<const unsigned char> lumpBytes);

// Bytes whose only NUL is the last one.
bool EndsInItsOnlyNul(std::span<const unsigned char> lumpBytes);

// Text bytes (no control characters but tab and line ends) ending in their
// only NUL.
bool LooksLikeText(std::span<const unsigned char> lumpBytes);

// A lump made of whole plane records (a normal of three floats, a distance,
// a type from 0 to 5: 20 bytes each), as the compile tools write the planes;
// the types of the first few thousand are checked. Entity text never is one:
// its bytes cannot make a type of 0 to 5.
bool LooksLikePlanes(std::span<const unsigned char> lumpBytes);
// The same, told from the lump's first bytes alone (the first
// kPlaneBytesChecked, or all of a shorter lump) and its length.
inline constexpr size_t kPlaneBytesChecked = size_t{4096} * 20;
bool LooksLikePlanes(std::span<const unsigned char> firstBytes, std::int64_t length);

// The directory entry that holds the entity text: 0, or 1 when the first two
// entries are swapped (planes in 0, entities in 1), given the bytes of
// entries 0 and 1. The planes decide first, as in the engines that load
// such maps; the text decides where neither or both look like planes.
int FindEntityLumpIndex(std::span<const unsigned char> lump0, std::span<const unsigned char> lump1);
int FindEntityLumpIndex(const BspHeader& header, std::span<const unsigned char> image);
// The first step of FindEntityLumpIndex, which needs only the first
// kPlaneBytesChecked bytes of each entry (see LooksLikePlanes): the entry the
// planes decide for, or nothing when the text must decide, which needs both
// entries whole. A reader that does not hold the whole map reads no more.
std::optional<int> FindEntityLumpIndexByPlanes(std::span<const unsigned char> firstBytes0, std::int64_t length0,
                                               std::span<const unsigned char> firstBytes1, std::int64_t length1);

// The layout every compiler writes, which a save can rewrite by replacing the
// entity lump alone: every other lump (empty ones at the entity lump's offset
// included) lies before the entity lump; the textures lump follows it after at
// most 3 zero bytes of padding and ends the file, but for at most 3 zero bytes.
bool IsStandardLayout(const BspHeader& header, std::span<const unsigned char> image, int entityIndex);
// The directory's half of that test, for a reader that does not hold the
// whole map: the padding after the entity lump and after the textures lump
// (at most 3 bytes each), which must then be all zero; nothing when the
// offsets alone rule the layout out.
struct FileBytes {
  std::uint64_t offset = 0;
  size_t length = 0;
};
struct LayoutPadding {
  FileBytes afterEntities;
  FileBytes afterTextures;
};
std::optional<LayoutPadding> FindStandardLayoutPadding(const BspHeader& header, std::uint64_t fileSize,
                                                       int entityIndex);
bool AllZero(std::span<const unsigned char> bytes);

// Every lump but the entity and textures lumps ends before the entity lump
// starts, and the textures lump starts after it ends, whatever lies between.
bool IsInCompilerOrder(const BspHeader& header, int entityIndex);

}  // namespace lw
