#include "cli/JsonOutput.h"

#include <nlohmann/json.hpp>

#include "platform/Utf8.h"

namespace lw {
namespace {

// Keys in the order they are set, so that a document reads as the README shows it.
using Json = nlohmann::ordered_json;

constexpr const char* kEncodingKey = "encoding";
constexpr int kIndent = 2;

// Runs `visit` on every string in `value`, not going into the nested objects
// that carry an encoding of their own.
template <typename Visit>
void VisitStrings(Json& value, bool outermost, Visit& visit) {
  if (value.is_string()) {
    visit(value.get_ref<std::string&>());
  } else if (value.is_object()) {
    if (!outermost && value.contains(kEncodingKey)) return;
    for (auto& [key, member] : value.items()) VisitStrings(member, false, visit);
  } else if (value.is_array()) {
    for (Json& element : value) VisitStrings(element, false, visit);
  }
}

// Starts an object whose strings are still raw bytes; SetEncoding settles them.
Json BytesObject() {
  Json object = Json::object();
  object[kEncodingKey] = "utf-8";
  return object;
}

// Gives the strings of `object` as UTF-8 when all of them are, else all as
// Latin-1, and says which. The nested objects must be settled first.
void SetEncoding(Json& object) {
  bool utf8 = true;
  auto check = [&utf8](std::string& bytes) { utf8 = utf8 && IsValidUtf8(bytes); };
  VisitStrings(object, true, check);
  if (!utf8) {
    auto decode = [](std::string& bytes) { bytes = Latin1ToUtf8(bytes); };
    VisitStrings(object, true, decode);
  }
  object[kEncodingKey] = utf8 ? "utf-8" : "latin-1";
}

std::string Document(const Json& document) { return document.dump(kIndent) + '\n'; }

}  // namespace

namespace {

Json InfoObject(const MapInfo& info) {
  Json document = BytesObject();
  document["path"] = info.path;
  document["version"] = info.version;
  document["size"] = info.size;
  document["entities"] = info.entities;
  document["entity_lump"] = info.entityLump;
  document["layout"] = info.standardLayout ? "standard" : "non-standard";
  document["layout_description"] = info.layoutDescription;
  Json lumps = Json::array();
  for (const InfoLump& lump : info.lumps) {
    lumps.push_back(Json{{"index", lump.index}, {"name", lump.name}, {"offset", lump.offset}, {"length", lump.length}});
  }
  document["lumps"] = std::move(lumps);
  const auto namedLumps = [](const std::vector<InfoNamedLump>& from) {
    Json named = Json::array();
    for (const InfoNamedLump& lump : from) {
      named.push_back(
          Json{{"index", lump.index}, {"name", lump.name}, {"offset", lump.offset}, {"length", lump.length}});
    }
    return named;
  };
  document["extended_header"] = info.hasExtendedHeader ? Json{{"lumps", namedLumps(info.extendedLumps)}} : Json();
  document["bspx"] = info.hasBspx ? Json{{"offset", info.bspxOffset}, {"lumps", namedLumps(info.bspxLumps)}} : Json();
  Json loose = Json::array();
  for (const InfoBytes& bytes : info.looseBytes)
    loose.push_back(Json{{"offset", bytes.offset}, {"length", bytes.length}});
  document["loose_bytes"] = std::move(loose);
  document["save_refused"] = info.saveRefusal.empty() ? Json() : Json(info.saveRefusal);
  SetEncoding(document);
  return document;
}

}  // namespace

std::string InfoJson(const MapInfo& info) { return Document(InfoObject(info)); }

std::string InfoJson(const std::vector<MapInfo>& infos) {
  Json maps = Json::array();
  for (const MapInfo& info : infos) maps.push_back(InfoObject(info));
  return Document(maps);
}

std::string ListJson(std::string_view folder, const std::vector<std::string>& names) {
  Json document = BytesObject();
  document["folder"] = folder;
  document["maps"] = names;
  SetEncoding(document);
  return Document(document);
}

std::string SpawnsJson(const std::vector<MapSpawns>& maps) {
  Json list = Json::array();
  for (const MapSpawns& map : maps) {
    Json object = BytesObject();
    object["path"] = map.path;
    object["terrorist_spawns"] = map.modes.terroristSpawns;
    object["counter_terrorist_spawns"] = map.modes.counterTerroristSpawns;
    object["vip_starts"] = map.modes.vipStarts;
    Json modes = Json::array();
    for (const MapMode mode : {MapMode::kBomb, MapMode::kHostages, MapMode::kVip, MapMode::kEscape}) {
      if (map.modes.Has(mode)) modes.push_back(std::string(ModeName(mode)));
    }
    object["modes"] = std::move(modes);
    object["buy_zones"] = map.modes.buyZones;
    SetEncoding(object);
    list.push_back(std::move(object));
  }
  Json document = Json::object();
  document["maps"] = std::move(list);
  return Document(document);
}

std::string OutlineJson(const std::vector<MapOutline>& maps) {
  Json list = Json::array();
  for (const MapOutline& map : maps) {
    Json object = BytesObject();
    object["path"] = map.path;
    Json rows = Json::array();
    for (const OutlineRow& row : map.rows) {
      Json entry = Json::object();
      entry["block"] = row.block;
      entry["line"] = row.line;
      entry["offset"] = row.open;
      entry["classname"] = row.className;
      entry["targetname"] = row.targetname;
      entry["origin"] = row.origin;
      rows.push_back(std::move(entry));
    }
    object["entities"] = std::move(rows);
    SetEncoding(object);
    list.push_back(std::move(object));
  }
  Json document = Json::object();
  document["maps"] = std::move(list);
  return Document(document);
}

std::string PatchJson(const std::vector<MapPatch>& maps) {
  Json list = Json::array();
  for (const MapPatch& map : maps) {
    Json object = BytesObject();
    object["path"] = map.path;
    object["state"] = map.state;
    object["removed"] = map.removed;
    object["added"] = map.added;
    object["modified"] = map.modified;
    if (!map.entFile.empty()) object["ent_file"] = map.entFile;
    if (!map.diff.empty()) object["diff"] = map.diff;
    SetEncoding(object);
    list.push_back(std::move(object));
  }
  Json document = Json::object();
  document["maps"] = std::move(list);
  return Document(document);
}

std::string FindJson(std::string_view search, const std::vector<MapFinds>& maps) {
  Json document = BytesObject();
  document["search"] = search;
  Json mapObjects = Json::array();
  for (const MapFinds& map : maps) {
    Json mapObject = BytesObject();
    mapObject["path"] = map.path;
    Json blocks = Json::array();
    for (const FoundBlock& block : map.blocks) {
      blocks.push_back(Json{{"start", block.start}, {"end", block.end}, {"text", block.text}});
    }
    mapObject["blocks"] = std::move(blocks);
    SetEncoding(mapObject);
    mapObjects.push_back(std::move(mapObject));
  }
  document["maps"] = std::move(mapObjects);
  SetEncoding(document);
  return Document(document);
}

std::string CheckJson(const std::vector<CheckedText>& checked) {
  size_t errors = 0;
  size_t warnings = 0;
  Json files = Json::array();
  for (const CheckedText& text : checked) {
    Json file = BytesObject();
    file["path"] = text.path;
    file["kind"] = text.isMap ? "map" : "text";
    file["readable"] = text.readable;
    Json findings = Json::array();
    for (const CheckFinding& finding : text.findings) {
      const bool error = finding.severity == CheckSeverity::kError;
      ++(error ? errors : warnings);
      // The message may quote the text's own bytes (a key, a class name).
      findings.push_back(Json{{"severity", error ? "error" : "warning"},
                              {"line", finding.line},
                              {"column", finding.column},
                              {"offset", finding.offset},
                              {"message", finding.message}});
    }
    file["findings"] = std::move(findings);
    SetEncoding(file);
    files.push_back(std::move(file));
  }
  Json document = Json::object();
  document["errors"] = errors;
  document["warnings"] = warnings;
  document["files"] = std::move(files);
  return Document(document);
}

}  // namespace lw
