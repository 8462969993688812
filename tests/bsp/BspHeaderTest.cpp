#include "bsp/BspHeader.h"

#include <limits>
#include <vector>

#include <gtest/gtest.h>

namespace lw {
namespace {

TEST(BspHeaderTest, TheReaderNeverReadsPastTheBytes) {
  const std::vector<unsigned char> bytes = {0x1E, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x7F, 0x01};
  const LittleEndianBytes reader(bytes);
  struct Row {
    size_t position;
    std::optional<std::int32_t> expected;
  };
  const Row rows[] = {
      {0, 30},
      {4, std::numeric_limits<std::int32_t>::max()},
      {5, 0x01'7F'FF'FF},
      {6, std::nullopt},
      {9, std::nullopt},
      {10, std::nullopt},
      {std::numeric_limits<size_t>::max() - 1, std::nullopt},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(reader.Int32At(row.position), row.expected) << row.position;
  }
}

TEST(BspHeaderTest, AHeaderWritesBackToTheSameBytes) {
  std::vector<unsigned char> bytes(kBspHeaderSize);
  for (size_t at = 0; at < bytes.size(); ++at) bytes[at] = static_cast<unsigned char>(at * 37 + 11);
  const auto header = ReadBspHeader(bytes);
  ASSERT_TRUE(header);
  std::vector<unsigned char> written(kBspHeaderSize);
  ASSERT_TRUE(WriteBspHeader(*header, written));
  EXPECT_EQ(written, bytes);
  EXPECT_FALSE(ReadBspHeader(std::span(bytes).first(kBspHeaderSize - 1)));
}

TEST(BspHeaderTest, DirectoryFaultsAreFoundWithoutOverflow) {
  struct Row {
    BspLump lump;
    std::uint64_t fileSize;
    const char* fault;  // null: no fault
  };
  const Row rows[] = {
      {{124, 10}, 134, nullptr},
      {{124, 11}, 134, "Lump 4 runs past the end of the file."},
      {{0x7FFFFF00, 0x7FFFFF00}, 1000, "Lump 4 runs past the end of the file."},  // wraps in 32 bits
      {{0x7FFFFFFF, 0x7FFFFFFF}, 0xFFFFFFFD, "Lump 4 runs past the end of the file."},
      {{0x7FFFFFFF, 0x7FFFFFFF}, 0xFFFFFFFE, nullptr},
      {{-1, 0}, 1000, "Lump 4 has a negative offset."},
      {{200, -1}, 1000, "Lump 4 has a negative length."},
      {{100, 4}, 1000, "Lump 4 overlaps the map header."},
      {{100, 0}, 1000, nullptr},  // an empty lump covers no bytes
  };
  for (const Row& row : rows) {
    BspHeader header;
    header.version = kBspVersion;
    for (auto& lump : header.lumps) lump = {124, 0};
    header.lumps[4] = row.lump;
    const auto fault = FindDirectoryFault(header, row.fileSize);
    if (row.fault) {
      EXPECT_EQ(fault.value_or("(none)"), row.fault) << row.lump.offset << "+" << row.lump.length;
    } else {
      EXPECT_FALSE(fault) << *fault;
    }
  }
}

}  // namespace
}  // namespace lw
