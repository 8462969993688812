#include "mapwriter/MapLayoutWriter.h"

namespace lw::mapwriter {
namespace {

void PadToFour(std::string& out) {
  while (out.size() % 4 != 0) out += '\0';
}

}  // namespace

LumpOrder CompilerOrder() {
  return {kPlanes,    kLeaves, kVertices, kNodes,    kTexinfo,    kFaces,    kClipnodes, kMarksurfaces,
          kSurfedges, kEdges,  kModels,   kLighting, kVisibility, kEntities, kTextures};
}

std::int32_t ReadInt32At(const std::string& bytes, size_t position) {
  std::uint32_t bits = 0;
  for (unsigned byte = 0; byte < 4; ++byte) {
    bits |= std::uint32_t{static_cast<unsigned char>(bytes.at(position + byte))} << (8U * byte);
  }
  return static_cast<std::int32_t>(bits);
}

void PutInt32At(std::string& bytes, size_t position, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (unsigned byte = 0; byte < 4; ++byte) {
    bytes.at(position + byte) = static_cast<char>((bits >> (8U * byte)) & 0xFFU);
  }
}

std::string WriteMapInOrder(const MapContents& contents, const LumpOrder& order) {
  return WriteMapWithExtras(contents, {}, order);
}

std::string WriteMapWithExtras(const MapContents& contents, const MapExtraContents& extras, const LumpOrder& order) {
  const size_t headers = kHeaderBytes + (extras.extendedHeader ? kExtendedHeaderBytes : 0);
  size_t total = headers;
  for (const std::string& lump : contents.lumps) total += lump.size() + 8;
  std::string out(headers, '\0');
  out.reserve(total);
  PutInt32At(out, 0, contents.version);
  for (const int index : order) {
    PadToFour(out);
    const std::string& lump = contents.lumps[static_cast<size_t>(index)];
    PutInt32At(out, OffsetField(index), static_cast<std::int32_t>(out.size()));
    out += lump;
    size_t length = lump.size();
    if (index == kEntities) {
      out += '\0';
      ++length;
    }
    PutInt32At(out, LengthField(index), static_cast<std::int32_t>(length));
  }
  if (extras.extendedHeader) {
    PutInt32At(out, kHeaderBytes, 0x48534158);  // "XASH"
    PutInt32At(out, kHeaderBytes + 4, 4);
    for (const auto& [index, bytes] : extras.extendedLumps) {
      PadToFour(out);
      PutInt32At(out, ExtendedOffsetField(index), static_cast<std::int32_t>(out.size()));
      PutInt32At(out, ExtendedLengthField(index), static_cast<std::int32_t>(bytes.size()));
      out += bytes;
    }
  }
  if (!extras.bspxLumps.empty()) {
    PadToFour(out);
    const size_t table = out.size();
    out += "BSPX";
    out.append(4 + kBspxEntryBytes * extras.bspxLumps.size(), '\0');
    PutInt32At(out, table + 4, static_cast<std::int32_t>(extras.bspxLumps.size()));
    for (size_t lump = 0; lump < extras.bspxLumps.size(); ++lump) {
      const auto& [name, bytes] = extras.bspxLumps[lump];
      PadToFour(out);
      const size_t entry = table + 8 + kBspxEntryBytes * lump;
      out.replace(entry, name.size(), name);
      PutInt32At(out, entry + kBspxNameBytes, static_cast<std::int32_t>(out.size()));
      PutInt32At(out, entry + kBspxNameBytes + 4, static_cast<std::int32_t>(bytes.size()));
      out += bytes;
    }
  }
  return out;
}

}  // namespace lw::mapwriter
