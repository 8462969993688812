#include "bsp/SavePlan.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace lw {
namespace {

constexpr std::int64_t kMaxFieldValue = std::numeric_limits<std::int32_t>::max();
constexpr std::uint64_t kMaxFileSize = std::numeric_limits<std::uint32_t>::max();
// Loose bytes are looked at this much at a time.
constexpr size_t kScanChunk = 4096;

std::int64_t AlignUp(std::int64_t position) {
  return (position + kLumpAlignment - 1) / kLumpAlignment * kLumpAlignment;
}

// Which table entry a stretch of bytes belongs to.
struct Member {
  enum class Table { kLump, kExtended, kBspx, kBspxTable };
  Table table = Table::kLump;
  size_t index = 0;
};

// A stretch of the old file that keeps its bytes together: the entity lump,
// a group of lumps that share bytes (most groups are one lump), or bytes no
// table describes.
struct Item {
  enum class Kind { kEntity, kLumps, kLoose };
  Kind kind = Kind::kLumps;
  std::int64_t start = 0;
  std::int64_t end = 0;
  std::vector<Member> members;
  std::int64_t newStart = 0;
  std::int64_t newEnd = 0;

  [[nodiscard]] std::int64_t Length() const { return end - start; }
  [[nodiscard]] bool IsBspxTable() const {
    return std::any_of(members.begin(), members.end(),
                       [](const Member& member) { return member.table == Member::Table::kBspxTable; });
  }
};

// Every lump entry of the three tables.
template <typename Visit>
void ForEachLump(MapTables& tables, Visit visit) {
  for (size_t index = 0; index < tables.header.lumps.size(); ++index) {
    visit(Member{Member::Table::kLump, index}, tables.header.lumps[index]);
  }
  if (tables.extras.extended) {
    for (size_t index = 0; index < tables.extras.extended->lumps.size(); ++index) {
      visit(Member{Member::Table::kExtended, index}, tables.extras.extended->lumps[index]);
    }
  }
  if (tables.extras.bspx) {
    for (size_t index = 0; index < tables.extras.bspx->lumps.size(); ++index) {
      visit(Member{Member::Table::kBspx, index}, tables.extras.bspx->lumps[index].lump);
    }
  }
}

// The entity lump and the groups of the other lumps that hold bytes, in
// file order; the entity lump comes first of two that start together.
std::vector<Item> DescribedItems(const MapTables& tables) {
  MapTables copy = tables;
  struct Region {
    std::int64_t start;
    std::int64_t end;
    Member member;
  };
  std::vector<Region> regions;
  ForEachLump(copy, [&](const Member& member, const BspLump& lump) {
    const bool entity = member.table == Member::Table::kLump && member.index == static_cast<size_t>(tables.entityIndex);
    if (!entity && lump.length > 0) regions.push_back({lump.offset, lump.End(), member});
  });
  if (tables.extras.bspx) {
    regions.push_back({tables.extras.bspx->offset, tables.extras.bspx->TableEnd(), {Member::Table::kBspxTable, 0}});
  }
  std::sort(regions.begin(), regions.end(),
            [](const Region& a, const Region& b) { return a.start != b.start ? a.start < b.start : a.end > b.end; });

  std::vector<Item> items;
  for (const Region& region : regions) {
    if (!items.empty() && region.start < items.back().end) {
      items.back().end = std::max(items.back().end, region.end);
      items.back().members.push_back(region.member);
      continue;
    }
    items.push_back({Item::Kind::kLumps, region.start, region.end, {region.member}, 0, 0});
  }
  const BspLump& entity = tables.EntityLump();
  const auto at = std::lower_bound(items.begin(), items.end(), entity.offset,
                                   [](const Item& item, std::int64_t offset) { return item.start < offset; });
  items.insert(at, {Item::Kind::kEntity, entity.offset, entity.End(), {}, 0, 0});
  return items;
}

// The stretches between the headers and the end of the file that no item covers.
std::vector<FileBytes> Gaps(const std::vector<Item>& items, std::int64_t headersEnd, std::uint64_t fileSize) {
  std::vector<FileBytes> gaps;
  std::int64_t position = headersEnd;
  const auto add = [&](std::int64_t end) {
    if (end > position) {
      gaps.push_back({static_cast<std::uint64_t>(position), static_cast<size_t>(end - position)});
    }
  };
  for (const Item& item : items) {
    add(item.start);
    position = std::max(position, item.end);
  }
  add(static_cast<std::int64_t>(fileSize));
  return gaps;
}

// The part of a gap that holds data: from its first non-zero byte to its
// last, or to the end of the file; nothing for zeros alone, which are
// padding.
std::optional<FileBytes> DataIn(const FileBytes& gap, bool endsTheFile, const ReadMapBytes& read) {
  std::array<unsigned char, kScanChunk> chunk;  // NOLINT: filled before each use
  std::optional<std::uint64_t> first;
  for (std::uint64_t at = gap.offset; at < gap.offset + gap.length && !first; at += kScanChunk) {
    const auto count = static_cast<size_t>(std::min<std::uint64_t>(kScanChunk, gap.offset + gap.length - at));
    // Bytes that cannot be read are kept rather than taken for padding.
    if (!read(at, std::span(chunk).first(count))) return gap;
    const auto* nonZero = std::find_if(chunk.begin(), chunk.begin() + count, [](unsigned char b) { return b != 0; });
    if (nonZero != chunk.begin() + count) first = at + static_cast<std::uint64_t>(nonZero - chunk.begin());
  }
  if (!first) return std::nullopt;
  const std::uint64_t gapEnd = gap.offset + gap.length;
  std::uint64_t last = gapEnd;
  if (!endsTheFile) {
    for (std::uint64_t to = gapEnd; to > *first;) {
      const std::uint64_t from = std::max(*first, to >= kScanChunk ? to - kScanChunk : 0);
      const auto count = static_cast<size_t>(to - from);
      if (!read(from, std::span(chunk).first(count))) return gap;
      size_t kept = count;
      while (kept > 0 && chunk[kept - 1] == 0) --kept;
      if (kept > 0) {
        last = from + kept;
        break;
      }
      to = from;
    }
  }
  return FileBytes{*first, static_cast<size_t>(last - *first)};
}

// The items of the map with its loose bytes among them, in file order.
std::vector<Item> AllItems(const MapTables& tables, std::uint64_t fileSize, const ReadMapBytes& read) {
  std::vector<Item> items = DescribedItems(tables);
  const std::vector<FileBytes> gaps = Gaps(items, tables.extras.HeadersEnd(), fileSize);
  for (const FileBytes& gap : gaps) {
    const bool endsTheFile = gap.offset + gap.length == fileSize;
    if (const std::optional<FileBytes> data = DataIn(gap, endsTheFile, read)) {
      const auto start = static_cast<std::int64_t>(data->offset);
      items.push_back({Item::Kind::kLoose, start, start + static_cast<std::int64_t>(data->length), {}, 0, 0});
    }
  }
  // Loose bytes never start where an item does, so the order is whole.
  std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.start < b.start; });
  return items;
}

ReadMapBytes ImageReader(std::span<const unsigned char> image) {
  return [image](std::uint64_t offset, std::span<unsigned char> into) {
    if (offset > image.size() || image.size() - offset < into.size()) return false;
    if (!into.empty()) std::memcpy(into.data(), image.data() + offset, into.size());
    return true;
  };
}

bool FitsField(std::int64_t value) { return value >= 0 && value <= kMaxFieldValue; }

template <typename Tables>
auto& LumpOf(Tables& tables, const Member& member) {
  switch (member.table) {
    case Member::Table::kExtended: return tables.extras.extended->lumps[member.index];
    case Member::Table::kBspx: return tables.extras.bspx->lumps[member.index].lump;
    case Member::Table::kLump:
    case Member::Table::kBspxTable: break;
  }
  return tables.header.lumps[member.index];
}

// The end of the last lump of the lump table and the extended header.
std::int64_t LumpsEnd(const MapTables& tables) {
  std::int64_t end = tables.extras.HeadersEnd();
  for (const BspLump& lump : tables.header.lumps) end = std::max(end, lump.End());
  if (tables.extras.extended) {
    for (const BspLump& lump : tables.extras.extended->lumps) end = std::max(end, lump.End());
  }
  return end;
}

// Where an empty lump at `offset` points once the items after `prefixEnd`
// have moved: at the item that starts there, into the item it lies in, or
// else right after what precedes it.
std::int64_t MovedEmptyOffset(std::int64_t offset, std::int64_t prefixEnd, const std::vector<Item>& moved) {
  if (offset < prefixEnd) return offset;
  for (const Item& item : moved) {
    if (item.start == offset) return item.newStart;
  }
  std::int64_t after = prefixEnd;
  for (const Item& item : moved) {
    if (item.start < offset && offset < item.end) {
      return item.kind == Item::Kind::kEntity ? item.newStart : offset + (item.newStart - item.start);
    }
    if (item.end <= offset) after = std::max(after, item.newEnd);
  }
  return after;
}

// Whether the map the plan writes has the blocks the plan gave it, as the
// engine finds them, and nothing else.
std::string CheckPlannedExtras(const SavePlan& plan, std::span<const unsigned char> image,
                               std::span<const unsigned char> lumpText) {
  if (FindDirectoryFault(plan.tables.header, plan.fileSize)) return "Its lump table would not fit the saved file.";
  const MapExtras found =
      FindMapExtras(plan.tables.header, plan.fileSize, [&](std::uint64_t offset, std::span<unsigned char> into) {
        return ReadPlanned(plan, image, lumpText, offset, into);
      });
  const MapExtras& planned = plan.tables.extras;
  const bool sameBspx = found.bspx.has_value() == planned.bspx.has_value() &&
                        (!found.bspx || (found.bspx->offset == planned.bspx->offset &&
                                         found.bspx->lumps.size() == planned.bspx->lumps.size()));
  if (!found.fault.empty() || found.extended.has_value() != planned.extended.has_value() || !sameBspx) {
    return planned.bspx ? "Once saved, the game would not find its BSPX block."
                        : "Once saved, the bytes after its last lump would read as a BSPX block.";
  }
  return {};
}

}  // namespace

bool ExtrasAllowStandardSave(const MapTables& tables) {
  if (tables.extras.bspx || !tables.extras.fault.empty()) return false;
  if (!tables.extras.extended) return true;
  const std::int32_t entityOffset = tables.EntityLump().offset;
  return std::all_of(tables.extras.extended->lumps.begin(), tables.extras.extended->lumps.end(),
                     [entityOffset](const BspLump& lump) { return lump.length == 0 || lump.End() <= entityOffset; });
}

bool SavesInStandardLayout(const MapTables& tables, std::span<const unsigned char> image) {
  return ExtrasAllowStandardSave(tables) && IsStandardLayout(tables.header, image, tables.entityIndex);
}

std::optional<SavePlan> PlanStandardSave(const MapTables& tables, size_t lumpLength) {
  const BspLump& entities = tables.EntityLump();
  const BspLump& textures = tables.header.lumps[kTexturesLump];
  const auto length = static_cast<std::int64_t>(lumpLength);
  const std::int64_t texturesOffset = std::int64_t{entities.offset} + length;
  if (!FitsField(length) || !FitsField(texturesOffset) ||
      static_cast<std::uint64_t>(texturesOffset + textures.length) > kMaxFileSize) {
    return std::nullopt;
  }
  SavePlan plan;
  plan.tables = tables;
  plan.tables.header.lumps[static_cast<size_t>(tables.entityIndex)].length = static_cast<std::int32_t>(length);
  plan.tables.header.lumps[kTexturesLump].offset = static_cast<std::int32_t>(texturesOffset);
  using Source = SavePiece::Source;
  plan.pieces = {
      {Source::kHeader, 0, kBspHeaderSize},
      {Source::kImage, kBspHeaderSize, static_cast<std::uint64_t>(entities.offset) - kBspHeaderSize},
      {Source::kText, 0, lumpLength},
      {Source::kImage, static_cast<std::uint64_t>(textures.offset), static_cast<std::uint64_t>(textures.length)}};
  plan.fileSize = static_cast<std::uint64_t>(texturesOffset + textures.length);
  return plan;
}

PlannedSave PlanKeepingSave(const MapTables& tables, std::span<const unsigned char> image,
                            std::span<const unsigned char> lumpText) {
  if (!tables.extras.fault.empty()) return {std::nullopt, tables.extras.fault};
  const auto lumpLength = static_cast<std::int64_t>(lumpText.size());
  if (!FitsField(lumpLength)) return {std::nullopt, "Its entity text would be too long for the lump table."};
  std::vector<Item> items = AllItems(tables, image.size(), ImageReader(image));

  // Everything before the first item the new text can move stays as it is.
  const std::int32_t entityOffset = tables.EntityLump().offset;
  const auto first = std::find_if(items.begin(), items.end(), [entityOffset](const Item& item) {
    return item.kind == Item::Kind::kEntity || (item.kind == Item::Kind::kLumps && item.end > entityOffset);
  });
  const std::int64_t prefixEnd = first->start;
  const std::vector<Item>::iterator moved = first;

  SavePlan plan;
  plan.tables = tables;
  MapTables& next = plan.tables;
  std::int64_t cursor = prefixEnd;
  for (auto item = moved; item != items.end(); ++item) {
    switch (item->kind) {
      case Item::Kind::kEntity: item->newStart = cursor == entityOffset ? cursor : AlignUp(cursor); break;
      case Item::Kind::kLoose:
        // At the place modulo 4 it had, for whatever reads it by words.
        item->newStart = cursor + ((item->start - cursor) % kLumpAlignment + kLumpAlignment) % kLumpAlignment;
        break;
      case Item::Kind::kLumps:
        if (!item->IsBspxTable()) {
          item->newStart = AlignUp(cursor);
          break;
        }
        // Every lump of the two tables lies before it, and is placed.
        item->newStart = AlignUp(LumpsEnd(next));
        if (item->newStart < cursor) {
          return {std::nullopt,
                  "It holds bytes that no table describes between its last lump and its BSPX block, where the "
                  "game would no longer find the block."};
        }
        break;
    }
    item->newEnd = item->newStart + (item->kind == Item::Kind::kEntity ? lumpLength : item->Length());
    cursor = item->newEnd;
    if (!FitsField(item->newStart) || static_cast<std::uint64_t>(cursor) > kMaxFileSize) {
      return {std::nullopt, "It would grow past the 32-bit offsets of its lump table."};
    }
    if (item->kind == Item::Kind::kEntity) {
      BspLump& entity = next.header.lumps[static_cast<size_t>(tables.entityIndex)];
      entity.offset = static_cast<std::int32_t>(item->newStart);
      entity.length = static_cast<std::int32_t>(lumpLength);
    }
    for (const Member& member : item->members) {
      if (member.table == Member::Table::kBspxTable) {
        next.extras.bspx->offset = item->newStart;
        continue;
      }
      LumpOf(next, member).offset =
          static_cast<std::int32_t>(item->newStart + (LumpOf(tables, member).offset - item->start));
    }
  }
  plan.fileSize = static_cast<std::uint64_t>(cursor);

  // Empty lumps point where they pointed.
  const std::vector<Item> placed(moved, items.end());
  ForEachLump(next, [&](const Member& member, BspLump& lump) {
    const bool entity = member.table == Member::Table::kLump && member.index == static_cast<size_t>(tables.entityIndex);
    if (entity || lump.length != 0) return;
    lump.offset = static_cast<std::int32_t>(MovedEmptyOffset(LumpOf(tables, member).offset, prefixEnd, placed));
  });

  using Source = SavePiece::Source;
  const auto headersEnd = static_cast<std::uint64_t>(tables.extras.HeadersEnd());
  plan.pieces.push_back({Source::kHeader, 0, kBspHeaderSize});
  if (tables.extras.extended) plan.pieces.push_back({Source::kExtendedHeader, 0, kExtendedHeaderSize});
  if (static_cast<std::uint64_t>(prefixEnd) > headersEnd) {
    plan.pieces.push_back({Source::kImage, headersEnd, static_cast<std::uint64_t>(prefixEnd) - headersEnd});
  }
  std::int64_t written = prefixEnd;
  for (const Item& item : placed) {
    if (item.newStart > written) {
      plan.pieces.push_back({Source::kZeros, 0, static_cast<std::uint64_t>(item.newStart - written)});
    }
    const auto length = static_cast<std::uint64_t>(item.newEnd - item.newStart);
    if (item.kind == Item::Kind::kEntity) {
      plan.pieces.push_back({Source::kText, 0, length});
    } else if (item.IsBspxTable()) {
      plan.pieces.push_back({Source::kBspxTable, 0, length});
    } else {
      plan.pieces.push_back({Source::kImage, static_cast<std::uint64_t>(item.start), length});
    }
    written = item.newEnd;
  }

  if (std::string fault = CheckPlannedExtras(plan, image, lumpText); !fault.empty()) {
    return {std::nullopt, std::move(fault)};
  }
  return {std::move(plan), {}};
}

std::vector<FileBytes> FindLooseBytes(const MapTables& tables, std::uint64_t fileSize, const ReadMapBytes& read) {
  std::vector<FileBytes> loose;
  for (const Item& item : AllItems(tables, fileSize, read)) {
    if (item.kind == Item::Kind::kLoose) {
      loose.push_back({static_cast<std::uint64_t>(item.start), static_cast<size_t>(item.Length())});
    }
  }
  return loose;
}

bool ReadPlanned(const SavePlan& plan, std::span<const unsigned char> image, std::span<const unsigned char> lumpText,
                 std::uint64_t offset, std::span<unsigned char> into) {
  if (offset > plan.fileSize || plan.fileSize - offset < into.size()) return false;
  std::array<unsigned char, kBspHeaderSize> header{};
  WriteBspHeader(plan.tables.header, header);
  std::array<unsigned char, kExtendedHeaderSize> extended{};
  if (plan.tables.extras.extended) extended = ExtendedHeaderBytes(*plan.tables.extras.extended);
  const std::vector<unsigned char> bspx =
      plan.tables.extras.bspx ? BspxTableBytes(*plan.tables.extras.bspx) : std::vector<unsigned char>();

  std::uint64_t at = 0;
  for (const SavePiece& piece : plan.pieces) {
    const std::uint64_t end = at + piece.length;
    const std::uint64_t from = std::max(at, offset);
    const std::uint64_t to = std::min(end, offset + into.size());
    if (from < to) {
      const std::uint64_t inPiece = from - at;
      const auto count = static_cast<size_t>(to - from);
      unsigned char* target = into.data() + (from - offset);
      switch (piece.source) {
        case SavePiece::Source::kHeader: std::memcpy(target, header.data() + inPiece, count); break;
        case SavePiece::Source::kExtendedHeader: std::memcpy(target, extended.data() + inPiece, count); break;
        case SavePiece::Source::kBspxTable: std::memcpy(target, bspx.data() + inPiece, count); break;
        case SavePiece::Source::kImage: std::memcpy(target, image.data() + piece.from + inPiece, count); break;
        case SavePiece::Source::kText: std::memcpy(target, lumpText.data() + inPiece, count); break;
        case SavePiece::Source::kZeros: std::memset(target, 0, count); break;
      }
    }
    at = end;
  }
  return true;
}

}  // namespace lw
