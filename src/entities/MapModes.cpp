#include "entities/MapModes.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "entities/EntityBlocks.h"

namespace lw {
namespace {

struct ModeRow {
  MapMode mode;
  std::string_view prefix;
  std::string_view name;
  std::array<std::string_view, 3> classes;  // empty ones unused
};

// ReGameDLL CheckMapConditions: the classes whose presence gives each mode.
constexpr std::array<ModeRow, 4> kModes = {{
    {MapMode::kBomb, "de_", "bomb", {"func_bomb_target", "info_bomb_target", ""}},
    {MapMode::kHostages, "cs_", "hostages", {"hostage_entity", "func_hostage_rescue", "info_hostage_rescue"}},
    {MapMode::kVip, "as_", "VIP", {"func_vip_safetyzone", "info_vip_start", ""}},
    {MapMode::kEscape, "es_", "escape", {"func_escapezone", "", ""}},
}};
constexpr std::string_view kBuyZone = "func_buyzone";

const ModeRow& RowOf(MapMode mode) {
  return *std::find_if(kModes.begin(), kModes.end(), [mode](const ModeRow& row) { return row.mode == mode; });
}

}  // namespace

void MapModes::Count(std::string_view className) {
  if (className == kTerroristSpawn) ++terroristSpawns;
  if (className == kCounterTerroristSpawn) ++counterTerroristSpawns;
  if (className == kVipStart) ++vipStarts;
  if (className == kBuyZone) buyZones = true;
  for (const ModeRow& row : kModes) {
    if (std::find(row.classes.begin(), row.classes.end(), className) == row.classes.end() || className.empty()) {
      continue;
    }
    switch (row.mode) {
      case MapMode::kBomb: bomb = true; break;
      case MapMode::kHostages: hostages = true; break;
      case MapMode::kVip: vip = true; break;
      case MapMode::kEscape: escape = true; break;
    }
  }
}

bool MapModes::Has(MapMode mode) const {
  switch (mode) {
    case MapMode::kBomb: return bomb;
    case MapMode::kHostages: return hostages;
    case MapMode::kVip: return vip;
    case MapMode::kEscape: return escape;
  }
  return false;
}

std::string MapModes::Describe() const {
  std::string text;
  for (const ModeRow& row : kModes) {
    if (!Has(row.mode)) continue;
    text += std::string(row.name) + ", ";
  }
  return text + (buyZones ? "buy zones" : "buy at spawn");
}

MapModes ModesOf(std::string_view text) {
  MapModes modes;
  ForEachEntityBlock(text, [&](const EntityBlock& block) {
    if (const std::optional<std::string_view> name = ClassOf(text, block)) modes.Count(*name);
  });
  return modes;
}

std::optional<MapMode> PromisedMode(std::string_view mapName) {
  for (const ModeRow& row : kModes) {
    if (mapName.size() < row.prefix.size()) continue;
    const bool same = std::equal(row.prefix.begin(), row.prefix.end(), mapName.begin(),
                                 [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
    if (same) return row.mode;
  }
  return std::nullopt;
}

std::string_view ModeName(MapMode mode) { return RowOf(mode).name; }

std::string_view ModePrefix(MapMode mode) { return RowOf(mode).prefix; }

std::string ModeClasses(MapMode mode) {
  std::vector<std::string_view> classes;
  for (const std::string_view name : RowOf(mode).classes) {
    if (!name.empty()) classes.push_back(name);
  }
  std::string text;
  for (size_t i = 0; i < classes.size(); ++i) {
    text += i == 0 ? "" : (i + 1 == classes.size() ? " or " : ", ");
    text += classes[i];
  }
  return text;
}

}  // namespace lw
