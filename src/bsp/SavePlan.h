#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bsp/BspHeader.h"
#include "bsp/BspLayout.h"
#include "bsp/MapExtras.h"

namespace lw {

// Every table of a map that points at its bytes.
struct MapTables {
  BspHeader header;
  int entityIndex = kEntitiesLump;
  MapExtras extras;

  [[nodiscard]] const BspLump& EntityLump() const { return header.lumps[static_cast<size_t>(entityIndex)]; }
};

// One stretch of a new map file, in file order.
struct SavePiece {
  enum class Source {
    kHeader,          // the new lump table
    kExtendedHeader,  // the new extended header
    kBspxTable,       // the new BSPX table
    kImage,           // bytes of the map as loaded, from `from`
    kText,            // the new entity lump
    kZeros,           // padding
  };
  Source source = Source::kImage;
  std::uint64_t from = 0;
  std::uint64_t length = 0;
};

// A save's new file, decided before the disk is touched: its tables and its
// pieces in order.
struct SavePlan {
  MapTables tables;
  std::vector<SavePiece> pieces;
  std::uint64_t fileSize = 0;
};

struct PlannedSave {
  std::optional<SavePlan> plan;
  // Why the map cannot be saved without losing or misplacing bytes, as a
  // sentence; empty when there is a plan.
  std::string refusal;
};

// Whether the extra blocks let the compilers' layout save apply: no BSPX
// block, and no extended lump past the start of the entity lump.
bool ExtrasAllowStandardSave(const MapTables& tables);

// Whether the compilers' layout save applies: IsStandardLayout, and no
// extended lump lies past the start of the entity lump (it would not move
// with the textures lump).
bool SavesInStandardLayout(const MapTables& tables, std::span<const unsigned char> image);

// The compilers' layout: the bytes before the entity lump (with the lump
// table's two fields changed), the text, then the textures lump, which ends
// the file; no padding, so the textures lump may start at any byte. Nothing
// when an offset would not fit its 32-bit field.
std::optional<SavePlan> PlanStandardSave(const MapTables& tables, size_t lumpLength);

// Any other map keeps every byte but the old entity text, in its order:
// everything before the entity lump stays where it is; after it, each lump
// or group of lumps that share bytes starts at a multiple of 4, bytes that no
// table describes follow what they followed (at the same place modulo 4),
// and a BSPX block stands at the end of the last lump, rounded up to 4. Every
// table is updated to match. Zero bytes outside every lump are padding.
// `lumpText` is the new entity lump, its NUL included.
PlannedSave PlanKeepingSave(const MapTables& tables, std::span<const unsigned char> image,
                            std::span<const unsigned char> lumpText);

// The bytes outside every lump and table of the map that hold something
// other than zeros, from their first non-zero byte to their last (or to the
// end of the file), in file order.
std::vector<FileBytes> FindLooseBytes(const MapTables& tables, std::uint64_t fileSize, const ReadMapBytes& read);

// Reads from the file a plan would write.
bool ReadPlanned(const SavePlan& plan, std::span<const unsigned char> image, std::span<const unsigned char> lumpText,
                 std::uint64_t offset, std::span<unsigned char> into);

}  // namespace lw
