#include "mapwriter/TestMaps.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "mapwriter/MapLayoutWriter.h"
#include "mapwriter/MapWriter.h"

namespace lw::mapwriter {
namespace {

constexpr size_t kTestGeometryBytes = 4096;
constexpr size_t kTestTextureBytes = 1024;

MapContents TestContents(std::string_view entityText = TestEntityText()) {
  return MakeMapContents(entityText, 5, kTestGeometryBytes, kTestTextureBytes);
}

std::string Standard() { return WriteMap(TestContents()); }

std::string WithField(std::string bytes, size_t position, std::int32_t value) {
  PutInt32At(bytes, position, value);
  return bytes;
}

std::string InOrder(std::initializer_list<int> tail) {
  // Compiler order for the geometry, then `tail` as the last lumps.
  LumpOrder order{};
  size_t at = 0;
  for (const int index : CompilerOrder()) {
    if (std::find(tail.begin(), tail.end(), index) == tail.end()) order[at++] = index;
  }
  for (const int index : tail) order[at++] = index;
  return WriteMapInOrder(TestContents(), order);
}

std::string SwappedDirectory() {
  std::string bytes = Standard();
  const std::int32_t entitiesOffset = ReadInt32At(bytes, OffsetField(kEntities));
  const std::int32_t entitiesLength = ReadInt32At(bytes, LengthField(kEntities));
  PutInt32At(bytes, OffsetField(kEntities), ReadInt32At(bytes, OffsetField(kPlanes)));
  PutInt32At(bytes, LengthField(kEntities), ReadInt32At(bytes, LengthField(kPlanes)));
  PutInt32At(bytes, OffsetField(kPlanes), entitiesOffset);
  PutInt32At(bytes, LengthField(kPlanes), entitiesLength);
  return bytes;
}

// The test entity text with spaces at the end of its last line, so that its
// NUL ends one byte past a multiple of 4 and 3 bytes of padding follow.
std::string TextEndingOnePastAMultipleOfFour() {
  const std::string text = TestEntityText();
  const std::string_view lastBrace = "\n}\n";
  const size_t spaces = (4 - text.size() % 4) % 4;
  return text.substr(0, text.size() - lastBrace.size()) + std::string(spaces, ' ') + std::string(lastBrace);
}

std::string EntitiesWithoutNul() {
  std::string bytes = Standard();
  const auto end =
      static_cast<size_t>(ReadInt32At(bytes, OffsetField(kEntities)) + ReadInt32At(bytes, LengthField(kEntities)));
  bytes.at(end - 1) = '\n';
  return bytes;
}

std::string DataBetweenEntitiesAndTextures() {
  // An entity text whose NUL is followed by 3 bytes of padding, then made
  // non-zero so that they are data, not padding.
  const std::string text = TextEndingOnePastAMultipleOfFour();
  std::string bytes = WriteMap(TestContents(text));
  const auto end =
      static_cast<size_t>(ReadInt32At(bytes, OffsetField(kEntities)) + ReadInt32At(bytes, LengthField(kEntities)));
  bytes.replace(end, 3, "XYZ");
  return bytes;
}

std::string PaddedTextures() { return WriteMap(TestContents(TextEndingOnePastAMultipleOfFour())); }

std::string CrlfEntities() {
  std::string crlf;
  for (const char c : TestEntityText()) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  return WriteMap(TestContents(crlf));
}

std::string EmptyLumpsAtEntities() {
  MapContents contents = TestContents();
  contents.lumps[kLighting].clear();
  contents.lumps[kVisibility].clear();
  return WriteMap(contents);
}

std::string EmptyTextures() { return WriteMap(MakeMapContents(TestEntityText(), 5, kTestGeometryBytes, 0)); }

// Bytes that differ from lump to lump, so that a block written in the wrong
// place shows up in a comparison.
std::string PatternBytes(size_t count, unsigned char seed) {
  std::string bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>((i * 31U + seed * 7U + 1U) & 0xFFU);
  return bytes;
}

// A light compiler's BSPX lumps, of lengths that need padding.
MapExtraContents BspxExtras() {
  MapExtraContents extras;
  extras.bspxLumps = {{"RGBLIGHTING", PatternBytes(3001, 1)}, {"LIGHTINGDIR", PatternBytes(1003, 2)}};
  return extras;
}

// Three lumps of the extended header: deluxe data, face info, vertex normals.
MapExtraContents ExtendedExtras() {
  MapExtraContents extras;
  extras.extendedHeader = true;
  extras.extendedLumps = {{0, PatternBytes(2050, 3)}, {1, PatternBytes(97, 4)}, {3, PatternBytes(600, 5)}};
  return extras;
}

std::string WithExtras(const MapExtraContents& extras) { return WriteMapWithExtras(TestContents(), extras); }

std::string ExtendedAndBspx() {
  MapExtraContents extras = ExtendedExtras();
  extras.bspxLumps = BspxExtras().bspxLumps;
  return WithExtras(extras);
}

// A map with both blocks as Blue Shift stores it: lump table entries 0 and 1
// swapped.
std::string SwappedWithExtras() {
  std::string bytes = ExtendedAndBspx();
  std::swap_ranges(bytes.begin() + static_cast<std::ptrdiff_t>(OffsetField(kEntities)),
                   bytes.begin() + static_cast<std::ptrdiff_t>(OffsetField(kPlanes)),
                   bytes.begin() + static_cast<std::ptrdiff_t>(OffsetField(kPlanes)));
  return bytes;
}

// The last BSPX lump said to run 64 bytes past the end of the file.
std::string BspxPastEnd() {
  std::string bytes = WithExtras(BspxExtras());
  const size_t table = bytes.find("BSPX");
  const size_t lengthField = table + 8 + kBspxEntryBytes + kBspxNameBytes + 4;
  const std::int32_t offset = ReadInt32At(bytes, lengthField - 4);
  PutInt32At(bytes, lengthField, static_cast<std::int32_t>(bytes.size()) - offset + 64);
  return bytes;
}

// Bytes between the lighting and the visibility lumps that are not padding.
std::string DataBetweenLumps() {
  const std::string bytes = Standard();
  const auto lightingEnd =
      static_cast<size_t>(ReadInt32At(bytes, OffsetField(kLighting)) + ReadInt32At(bytes, LengthField(kLighting)));
  const std::string data = "GAP!";
  std::string out = bytes.substr(0, lightingEnd) + data + bytes.substr(lightingEnd);
  for (int index = 0; index < kLumpCount; ++index) {
    const std::int32_t offset = ReadInt32At(out, OffsetField(index));
    if (static_cast<size_t>(offset) >= lightingEnd && index != kLighting) {
      PutInt32At(out, OffsetField(index), offset + static_cast<std::int32_t>(data.size()));
    }
  }
  return out;
}

std::string Version29() {
  MapContents contents = TestContents();
  contents.version = 29;
  return WriteMap(contents);
}

}  // namespace

std::string TestEntityText() { return MakeEntityText(12, 3); }

std::vector<NamedMap> MakeSampleMaps() {
  std::vector<NamedMap> maps;
  maps.push_back({"de_sample.bsp", WriteMap(MakeMapContents(MakeEntityText(180, 7), 7, 1600 * 1024, 420 * 1024))});
  maps.push_back({"cs_sample.bsp", WriteMap(MakeMapContents(MakeEntityText(140, 11), 11, 1200 * 1024, 300 * 1024))});
  maps.push_back({"as_tiny.bsp", WriteMap(MakeMapContents(MakeEntityText(20, 13), 13, 48 * 1024, 8 * 1024))});
  return maps;
}

std::vector<NamedMap> MakeTestMaps() {
  const std::string standard = Standard();
  const std::string tailData = "LUMPWRIGHT-TAIL!";
  std::vector<NamedMap> maps;
  maps.push_back({"standard.bsp", standard});
  maps.push_back({"too_short.bsp", standard.substr(0, 100)});
  maps.push_back({"shorter_than_version.bsp", standard.substr(0, 3)});
  maps.push_back({"version_29.bsp", Version29()});
  maps.push_back({"lump_past_end.bsp",
                  WithField(standard, LengthField(kTextures), ReadInt32At(standard, LengthField(kTextures)) + 1000)});
  maps.push_back({"lump_end_overflows.bsp",
                  WithField(WithField(standard, OffsetField(kNodes), 0x7FFFFF00), LengthField(kNodes), 0x7FFFFF00)});
  maps.push_back({"negative_offset.bsp", WithField(standard, OffsetField(kFaces), -64)});
  maps.push_back({"negative_length.bsp", WithField(standard, LengthField(kVertices), -4)});
  maps.push_back({"lump_in_header.bsp", WithField(standard, OffsetField(kTexinfo), 16)});
  maps.push_back({"entities_without_nul.bsp", EntitiesWithoutNul()});
  maps.push_back({"empty_entities.bsp", WithField(standard, LengthField(kEntities), 0)});
  maps.push_back({"swapped_directory.bsp", SwappedDirectory()});
  maps.push_back({"lump_after_entities.bsp", InOrder({kEntities, kVisibility, kTextures})});
  maps.push_back({"textures_not_last.bsp", InOrder({kTextures, kEntities})});
  maps.push_back({"trailing_data.bsp", standard + tailData});
  maps.push_back({"trailing_padding.bsp", standard + std::string(3, '\0')});
  maps.push_back({"data_between_entities_and_textures.bsp", DataBetweenEntitiesAndTextures()});
  maps.push_back({"padded_textures.bsp", PaddedTextures()});
  maps.push_back({"empty_textures.bsp", EmptyTextures()});
  maps.push_back({"empty_lumps_at_entities.bsp", EmptyLumpsAtEntities()});
  maps.push_back({"crlf_entities.bsp", CrlfEntities()});
  maps.push_back({"bspx.bsp", WithExtras(BspxExtras())});
  maps.push_back({"extended.bsp", WithExtras(ExtendedExtras())});
  maps.push_back({"extended_bspx.bsp", ExtendedAndBspx()});
  maps.push_back({"swapped_extended_bspx.bsp", SwappedWithExtras()});
  maps.push_back({"bspx_past_end.bsp", BspxPastEnd()});
  maps.push_back({"data_between_lumps.bsp", DataBetweenLumps()});
  return maps;
}

std::string MakeTestMap(std::string_view name) {
  for (NamedMap& map : MakeTestMaps()) {
    if (map.name == name) return std::move(map.bytes);
  }
  throw std::out_of_range("no test map named " + std::string(name));
}

}  // namespace lw::mapwriter
