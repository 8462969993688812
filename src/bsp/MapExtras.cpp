#include "bsp/MapExtras.h"

#include <algorithm>
#include <cstring>

#include "platform/CString.h"

namespace lw {
namespace {

constexpr std::int64_t kHeadersEndWithExtended = static_cast<std::int64_t>(kBspHeaderSize + kExtendedHeaderSize);

std::int64_t AlignUp(std::int64_t position, std::int64_t alignment) {
  return (position + alignment - 1) / alignment * alignment;
}

std::string ExtendedLumpName(int index) {
  return FormatString("Extended lump %d (%s)", index,
                      std::string(kExtendedLumpNames[static_cast<size_t>(index)]).c_str())
      .Str();
}

// The fault of one lump of an extra table, or nothing. Each table's lumps
// must lie inside the file and after the headers, which a save rewrites.
std::optional<std::string> LumpFault(const std::string& name, const BspLump& lump, std::uint64_t fileSize,
                                     std::int64_t headersEnd) {
  if (lump.offset < 0) return name + " has a negative offset.";
  if (lump.length < 0) return name + " has a negative length.";
  if (lump.length == 0) return std::nullopt;
  if (static_cast<std::uint64_t>(lump.End()) > fileSize) return name + " runs past the end of the file.";
  if (lump.offset < headersEnd) return name + " overlaps the map's headers.";
  return std::nullopt;
}

// The extended header, when the file has one: its id and version right
// after the lump table, where no lump of the table lies.
std::optional<ExtendedHeader> ReadExtendedHeader(const BspHeader& header, std::uint64_t fileSize,
                                                 const ReadMapBytes& read) {
  if (fileSize < static_cast<std::uint64_t>(kHeadersEndWithExtended)) return std::nullopt;
  for (const BspLump& lump : header.lumps) {
    if (lump.length > 0 && lump.offset < kHeadersEndWithExtended) return std::nullopt;
  }
  std::array<unsigned char, kExtendedHeaderSize> bytes{};
  if (!read(kExtendedHeaderOffset, bytes)) return std::nullopt;
  const LittleEndianBytes fields(bytes);
  if (fields.Int32At(kExtendedIdField) != kExtendedHeaderId ||
      fields.Int32At(kExtendedVersionField) != kExtendedHeaderVersion) {
    return std::nullopt;
  }
  ExtendedHeader extended;
  for (int index = 0; index < kExtendedLumpCount; ++index) {
    const size_t entry = kExtendedDirectoryField + static_cast<size_t>(index) * kLumpEntrySize;
    auto& lump = extended.lumps[static_cast<size_t>(index)];
    lump.offset = *fields.Int32At(entry + kLumpOffsetField);
    lump.length = *fields.Int32At(entry + kLumpLengthField);
  }
  return extended;
}

void ReadBspx(const BspHeader& header, std::uint64_t fileSize, const ReadMapBytes& read, MapExtras& extras) {
  const std::int64_t position = BspxPosition(header, extras.extended);
  if (static_cast<std::uint64_t>(position) + kBspxHeaderSize > fileSize) return;
  std::array<unsigned char, kBspxHeaderSize> start{};
  if (!read(static_cast<std::uint64_t>(position), start)) return;
  if (std::memcmp(start.data(), kBspxId.data(), kBspxId.size()) != 0) return;

  BspxBlock& bspx = extras.bspx.emplace();
  bspx.offset = position;
  const std::int32_t count = *LittleEndianBytes(start).Int32At(kBspxCountField);
  const std::uint64_t room = fileSize - static_cast<std::uint64_t>(position) - kBspxHeaderSize;
  if (count < 0 || static_cast<std::uint64_t>(count) > room / kBspxEntrySize) {
    extras.fault = "Its BSPX block's table runs past the end of the file.";
    return;
  }
  std::vector<unsigned char> table(static_cast<size_t>(count) * kBspxEntrySize);
  if (!table.empty() && !read(static_cast<std::uint64_t>(position) + kBspxHeaderSize, table)) {
    extras.fault = "Its BSPX block could not be read.";
    return;
  }
  const LittleEndianBytes fields(table);
  bspx.lumps.resize(static_cast<size_t>(count));
  for (size_t index = 0; index < bspx.lumps.size(); ++index) {
    BspxLump& lump = bspx.lumps[index];
    const size_t entry = index * kBspxEntrySize;
    std::memcpy(lump.storedName.data(), table.data() + entry, kBspxNameSize);
    lump.lump.offset = *fields.Int32At(entry + kBspxNameSize + kLumpOffsetField);
    lump.lump.length = *fields.Int32At(entry + kBspxNameSize + kLumpLengthField);
  }
  for (const BspxLump& lump : bspx.lumps) {
    const std::string name = "BSPX lump " + lump.Name();
    if (auto fault = LumpFault(name, lump.lump, fileSize, extras.HeadersEnd())) {
      extras.fault = "Its " + *fault;
      return;
    }
    // The table is rewritten wherever it moves, so no lump may share its bytes.
    if (lump.lump.length > 0 && lump.lump.offset < bspx.TableEnd() && lump.lump.End() > bspx.offset) {
      extras.fault = "Its " + name + " overlaps the BSPX table.";
      return;
    }
  }
}

}  // namespace

std::string BspxLump::Name() const {
  const auto* end = std::find(storedName.begin(), storedName.end(), 0);
  return {storedName.begin(), end};
}

std::int64_t MapExtras::HeadersEnd() const {
  return extended ? kHeadersEndWithExtended : static_cast<std::int64_t>(kBspHeaderSize);
}

std::int64_t BspxPosition(const BspHeader& header, const std::optional<ExtendedHeader>& extended) {
  std::int64_t end = static_cast<std::int64_t>(kBspHeaderSize);
  for (const BspLump& lump : header.lumps) end = std::max(end, lump.End());
  if (extended) {
    for (const BspLump& lump : extended->lumps) end = std::max(end, lump.End());
  }
  return AlignUp(end, kBspxAlignment);
}

MapExtras FindMapExtras(const BspHeader& header, std::uint64_t fileSize, const ReadMapBytes& read) {
  MapExtras extras;
  extras.extended = ReadExtendedHeader(header, fileSize, read);
  if (extras.extended) {
    for (int index = 0; index < kExtendedLumpCount; ++index) {
      const BspLump& lump = extras.extended->lumps[static_cast<size_t>(index)];
      if (auto fault = LumpFault(ExtendedLumpName(index), lump, fileSize, extras.HeadersEnd())) {
        // Where its lumps end is unknown, so no BSPX block is looked for.
        extras.fault = "Its " + *fault;
        return extras;
      }
    }
  }
  ReadBspx(header, fileSize, read, extras);
  return extras;
}

MapExtras FindMapExtras(const BspHeader& header, std::span<const unsigned char> image) {
  return FindMapExtras(header, image.size(), [image](std::uint64_t offset, std::span<unsigned char> into) {
    if (offset > image.size() || image.size() - offset < into.size()) return false;
    if (!into.empty()) std::memcpy(into.data(), image.data() + offset, into.size());
    return true;
  });
}

std::array<unsigned char, kExtendedHeaderSize> ExtendedHeaderBytes(const ExtendedHeader& extended) {
  std::array<unsigned char, kExtendedHeaderSize> bytes{};
  LittleEndianBytes::PutInt32(bytes, kExtendedIdField, kExtendedHeaderId);
  LittleEndianBytes::PutInt32(bytes, kExtendedVersionField, kExtendedHeaderVersion);
  for (int index = 0; index < kExtendedLumpCount; ++index) {
    const size_t entry = kExtendedDirectoryField + static_cast<size_t>(index) * kLumpEntrySize;
    const BspLump& lump = extended.lumps[static_cast<size_t>(index)];
    LittleEndianBytes::PutInt32(bytes, entry + kLumpOffsetField, lump.offset);
    LittleEndianBytes::PutInt32(bytes, entry + kLumpLengthField, lump.length);
  }
  return bytes;
}

std::vector<unsigned char> BspxTableBytes(const BspxBlock& bspx) {
  std::vector<unsigned char> bytes(static_cast<size_t>(bspx.TableSize()));
  std::memcpy(bytes.data(), kBspxId.data(), kBspxId.size());
  LittleEndianBytes::PutInt32(bytes, kBspxCountField, static_cast<std::int32_t>(bspx.lumps.size()));
  for (size_t index = 0; index < bspx.lumps.size(); ++index) {
    const size_t entry = kBspxHeaderSize + index * kBspxEntrySize;
    const BspxLump& lump = bspx.lumps[index];
    std::memcpy(bytes.data() + entry, lump.storedName.data(), kBspxNameSize);
    LittleEndianBytes::PutInt32(bytes, entry + kBspxNameSize + kLumpOffsetField, lump.lump.offset);
    LittleEndianBytes::PutInt32(bytes, entry + kBspxNameSize + kLumpLengthField, lump.lump.length);
  }
  return bytes;
}

}  // namespace lw
