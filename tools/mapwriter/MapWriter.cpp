#include "mapwriter/MapWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "mapwriter/MapLayoutWriter.h"

namespace lw::mapwriter {
namespace {

// A models lump record: bounds, origin, four hull heads, leaves, faces.
constexpr size_t kModelRecordBytes = 64;
// The brush models the made blocks name.
constexpr size_t kBrushModels = 40;

// A small deterministic generator: the same seed gives the same map.
class Random {
 public:
  explicit Random(std::uint32_t seed) : state_(seed == 0 ? 0x9E3779B9U : seed) {}

  std::uint32_t Next() {
    state_ ^= state_ << 13U;
    state_ ^= state_ >> 17U;
    state_ ^= state_ << 5U;
    return state_;
  }
  int Between(int low, int high) { return low + static_cast<int>(Next() % static_cast<std::uint32_t>(high - low + 1)); }

 private:
  std::uint32_t state_;
};

void AppendInt32(std::string& out, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (unsigned shift = 0; shift < 32; shift += 8) out += static_cast<char>((bits >> shift) & 0xFFU);
}

void AppendFloat(std::string& out, float value) {
  std::uint32_t bits = 0;
  static_assert(sizeof bits == sizeof value);
  std::memcpy(&bits, &value, sizeof bits);
  AppendInt32(out, static_cast<std::int32_t>(bits));
}

std::string Origin(Random& random) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%d %d %d", random.Between(-2048, 2048), random.Between(-2048, 2048),
                random.Between(-256, 512));
  return buffer;
}

std::string Key(std::string_view key, std::string_view value) {
  std::string line = "\"";
  line += key;
  line += "\" \"";
  line += value;
  line += "\"\n";
  return line;
}

std::string Worldspawn(std::uint32_t seed) {
  std::string block = "{\n";
  // ZHLT writes the wad list with full Windows paths and repeats the class.
  block += Key("wad",
               "\\half-life\\valve\\halflife.wad;\\half-life\\cstrike\\cstrike.wad;"
               "\\half-life\\cstrike\\de_sample.wad;C:\\Mapping Tools\\wads\\decals.wad");
  block += Key("mapversion", "220");
  block += Key("classname", "worldspawn");
  block += Key("skyname", seed % 2 == 0 ? "cx" : "desert");
  block += Key("MaxRange", "4096");
  block += Key("sounds", "1");
  block += Key("light", "0");
  block += Key("message", "Sample map {made by Lumpwright} - braces and all");
  block += Key("classname", "worldspawn");
  block += "}\n";
  return block;
}

std::string Block(int number, Random& random) {
  char model[16];
  std::snprintf(model, sizeof model, "*%d", 1 + number % static_cast<int>(kBrushModels));
  std::string block = "{\n";
  switch (random.Next() % 10) {
    case 0:
      block += Key("classname", "info_player_start");
      block += Key("angles", "0 90 0");
      block += Key("origin", Origin(random));
      break;
    case 1:
      block += Key("classname", "info_player_deathmatch");
      block += Key("angles", "0 270 0");
      block += Key("origin", Origin(random));
      break;
    case 2:
      block += Key("model", model);
      block += Key("team", std::to_string(1 + number % 2));
      block += Key("classname", "func_buyzone");
      break;
    case 3:
      block += Key("model", model);
      block += Key("targetname", "bombsite_" + std::to_string(number));
      block += Key("classname", "func_bomb_target");
      break;
    case 4:
      block += Key("texture", "{target");
      block += Key("origin", Origin(random));
      block += Key("classname", "infodecal");
      break;
    case 5:
      block += Key("_light", "255 236 201 " + std::to_string(random.Between(50, 400)));
      block += Key("style", "0");
      block += Key("origin", Origin(random));
      block += Key("classname", "light");
      break;
    case 6:
      block += Key("item", std::to_string(random.Between(1, 19)));
      block += Key("count", "1");
      block += Key("origin", Origin(random));
      block += Key("classname", "armoury_entity");
      break;
    case 7:
      block += Key("model", "models/scientist.mdl");
      block += Key("angles", "0 180 0");
      block += Key("origin", Origin(random));
      block += Key("classname", "hostage_entity");
      break;
    case 8:
      block += Key("message", "ambience\\wind1.wav");
      block += Key("health", "10");
      block += Key("spawnflags", "2");
      block += Key("origin", Origin(random));
      block += Key("classname", "ambient_generic");
      break;
    default:
      block += Key("targetname", "door_" + std::to_string(number));
      block += Key("model", model);
      block += Key("speed", "100");
      block += Key("message", "Door {" + std::to_string(number) + "} of the west wing");
      block += Key("classname", "func_door");
      break;
  }
  block += "}\n";
  return block;
}

// Geometry bytes: plausible values for each lump's records, so that the file
// does not compress to nothing and a stray write shows up in a comparison.
std::string GeometryLump(int index, size_t bytes, Random& random) {
  std::string out;
  out.reserve(bytes + 64);
  switch (index) {
    case kPlanes:  // normal (3 floats), distance, type: 20 bytes
      while (out.size() + 20 <= bytes) {
        const int axis = random.Between(0, 5);
        for (int component = 0; component < 3; ++component) AppendFloat(out, component == axis % 3 ? 1.0F : 0.0F);
        AppendFloat(out, static_cast<float>(random.Between(-4096, 4096)));
        AppendInt32(out, axis);
      }
      break;
    case kVertices:  // 3 floats
      while (out.size() + 12 <= bytes) {
        for (int component = 0; component < 3; ++component) {
          AppendFloat(out, static_cast<float>(random.Between(-4096, 4096)) / 2.0F);
        }
      }
      break;
    case kLighting:    // RGB samples: any length
    case kVisibility:  // run-length coded bits: any length
      while (out.size() < bytes) out += static_cast<char>(random.Next() & 0xFFU);
      break;
    default:
      while (out.size() + 4 <= bytes) AppendInt32(out, static_cast<std::int32_t>(random.Next() & 0xFFFFU));
      break;
  }
  return out;
}

// A miptex lump: a count, the offsets, then one 40-byte record per texture.
// Most name a texture kept in a WAD file (no pixels); one carries its pixels
// so that the lump reaches the wanted size.
std::string TexturesLump(size_t bytes, Random& random) {
  if (bytes == 0) return {};
  static constexpr const char* kNames[] = {"{BLUE", "AAATRIGGER", "SKY", "DUST_FLOOR1", "CRETE2_WALL", "+0BUTTON"};
  constexpr int kCount = 6;
  constexpr size_t kRecordSize = 40;
  std::string out;
  AppendInt32(out, kCount);
  const size_t tableEnd = 4 + 4 * kCount;
  for (int texture = 0; texture < kCount; ++texture) {
    AppendInt32(out, static_cast<std::int32_t>(tableEnd + kRecordSize * static_cast<size_t>(texture)));
  }
  for (int texture = 0; texture < kCount; ++texture) {
    const size_t start = out.size();
    std::string name = kNames[texture];
    name.resize(16, '\0');
    out += name;
    AppendInt32(out, 64);
    AppendInt32(out, 64);
    for (int mip = 0; mip < 4; ++mip) AppendInt32(out, 0);
    if (texture == kCount - 1) {
      // The pixels follow the record; their offset counts from the record.
      PutInt32At(out, start + 24, static_cast<std::int32_t>(kRecordSize));
    }
  }
  while (out.size() < bytes) out += static_cast<char>(random.Next() & 0xFFU);
  return out;
}

}  // namespace

std::string WriteMap(const MapContents& contents) { return WriteMapInOrder(contents, CompilerOrder()); }

std::string MakeEntityText(int entityCount, std::uint32_t seed) {
  Random random(seed);
  std::string text = Worldspawn(seed);
  for (int number = 1; number < entityCount; ++number) text += Block(number, random);
  return text;
}

MapContents MakeMapContents(std::string_view entityText, std::uint32_t seed, size_t geometryBytes,
                            size_t textureBytes) {
  // Shares of the geometry in a typical Counter-Strike map, lighting largest.
  struct Share {
    int index;
    int permille;
  };
  static constexpr Share kShares[] = {
      {kPlanes, 30}, {kLeaves, 25},    {kVertices, 35},    {kNodes, 28},     {kTexinfo, 14},
      {kFaces, 50},  {kClipnodes, 22}, {kMarksurfaces, 6}, {kSurfedges, 45}, {kEdges, 22},
      {kModels, 8},  {kLighting, 700}, {kVisibility, 15},
  };
  Random random(seed * 2654435761U + 1U);
  MapContents contents;
  for (const Share& share : kShares) {
    const size_t bytes = geometryBytes * static_cast<size_t>(share.permille) / 1000;
    contents.lumps[static_cast<size_t>(share.index)] = GeometryLump(share.index, bytes, random);
  }
  // Room for the brush models the blocks name ("*1" to "*40") and the world's
  // "*0": a map names no model it does not have.
  std::string& models = contents.lumps[kModels];
  models.resize(std::max(models.size(), kModelRecordBytes * (kBrushModels + 1)), '\0');
  contents.lumps[kEntities] = std::string(entityText);
  contents.lumps[kTextures] = TexturesLump(textureBytes, random);
  return contents;
}

}  // namespace lw::mapwriter
