#include "bsp/BspHeader.h"

#include "platform/CString.h"

namespace lw {

std::optional<std::int32_t> LittleEndianBytes::Int32At(size_t position) const {
  if (position > bytes_.size() || bytes_.size() - position < 4) return std::nullopt;
  const std::uint32_t value = std::uint32_t{bytes_[position]} | (std::uint32_t{bytes_[position + 1]} << 8U) |
                              (std::uint32_t{bytes_[position + 2]} << 16U) |
                              (std::uint32_t{bytes_[position + 3]} << 24U);
  return static_cast<std::int32_t>(value);
}

bool LittleEndianBytes::PutInt32(std::span<unsigned char> bytes, size_t position, std::int32_t value) {
  if (position > bytes.size() || bytes.size() - position < 4) return false;
  const auto bits = static_cast<std::uint32_t>(value);
  bytes[position] = static_cast<unsigned char>(bits & 0xFFU);
  bytes[position + 1] = static_cast<unsigned char>((bits >> 8U) & 0xFFU);
  bytes[position + 2] = static_cast<unsigned char>((bits >> 16U) & 0xFFU);
  bytes[position + 3] = static_cast<unsigned char>((bits >> 24U) & 0xFFU);
  return true;
}

std::optional<std::int32_t> ReadBspVersion(std::span<const unsigned char> image) {
  return LittleEndianBytes(image).Int32At(kVersionFieldOffset);
}

std::optional<BspHeader> ReadBspHeader(std::span<const unsigned char> image) {
  if (image.size() < kBspHeaderSize) return std::nullopt;
  const LittleEndianBytes bytes(image);
  BspHeader header;
  header.version = *bytes.Int32At(kVersionFieldOffset);
  for (int index = 0; index < kLumpCount; ++index) {
    auto& lump = header.lumps[static_cast<size_t>(index)];
    lump.offset = *bytes.Int32At(LumpOffsetPosition(index));
    lump.length = *bytes.Int32At(LumpLengthPosition(index));
  }
  return header;
}

bool WriteBspHeader(const BspHeader& header, std::span<unsigned char> image) {
  if (image.size() < kBspHeaderSize) return false;
  LittleEndianBytes::PutInt32(image, kVersionFieldOffset, header.version);
  for (int index = 0; index < kLumpCount; ++index) {
    const auto& lump = header.lumps[static_cast<size_t>(index)];
    LittleEndianBytes::PutInt32(image, LumpOffsetPosition(index), lump.offset);
    LittleEndianBytes::PutInt32(image, LumpLengthPosition(index), lump.length);
  }
  return true;
}

std::optional<std::string> FindDirectoryFault(const BspHeader& header, std::uint64_t fileSize) {
  for (int index = 0; index < kLumpCount; ++index) {
    const BspLump& lump = header.lumps[static_cast<size_t>(index)];
    if (lump.offset < 0) return FormatString("Lump %d has a negative offset.", index).Str();
    if (lump.length < 0) return FormatString("Lump %d has a negative length.", index).Str();
    if (static_cast<std::uint64_t>(lump.End()) > fileSize) {
      return FormatString("Lump %d runs past the end of the file.", index).Str();
    }
    // Rewriting the directory would change such a lump's bytes.
    if (lump.length > 0 && static_cast<size_t>(lump.offset) < kBspHeaderSize) {
      return FormatString("Lump %d overlaps the map header.", index).Str();
    }
  }
  return std::nullopt;
}

}  // namespace lw
