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
  size_t total = kHeaderBytes;
  for (const std::string& lump : contents.lumps) total += lump.size() + 8;
  std::string out(kHeaderBytes, '\0');
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
  return out;
}

}  // namespace lw::mapwriter
