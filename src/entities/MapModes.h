#pragma once

// What a Counter-Strike map is, from its entities: the spawn points of each
// team and the game modes the game plays on it (ReGameDLL dlls/multiplay_gamerules.cpp,
// CheckMapConditions; TeamFull for the spawns).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

// The classes that make a map's spawns and modes, in one table.
inline constexpr std::string_view kTerroristSpawn = "info_player_deathmatch";
inline constexpr std::string_view kCounterTerroristSpawn = "info_player_start";
inline constexpr std::string_view kVipStart = "info_vip_start";

enum class MapMode { kBomb, kHostages, kVip, kEscape };

struct MapModes {
  size_t terroristSpawns = 0;
  size_t counterTerroristSpawns = 0;
  size_t vipStarts = 0;
  bool bomb = false;      // func_bomb_target, info_bomb_target
  bool hostages = false;  // hostage_entity, func_hostage_rescue, info_hostage_rescue
  bool vip = false;       // func_vip_safetyzone, info_vip_start
  bool escape = false;    // func_escapezone
  bool buyZones = false;  // func_buyzone; without one, players buy where they spawn

  // Counts one block of class `className`.
  void Count(std::string_view className);
  [[nodiscard]] bool Has(MapMode mode) const;
  // Whether a block of Counter-Strike's own is there: a mode's or a buy zone.
  [[nodiscard]] bool IsCounterStrike() const { return bomb || hostages || vip || escape || buyZones; }
  // "bomb, hostages, buy zones" or "..., buy at spawn": what the game plays.
  [[nodiscard]] std::string Describe() const;
};

// The blocks of an entity text counted by their class (the first
// "classname", as the engine takes it).
MapModes ModesOf(std::string_view text);

// The mode the map's name promises by its prefix (de_ bomb, cs_ hostages,
// as_ VIP, es_ escape), compared without regard to case; nothing for others.
std::optional<MapMode> PromisedMode(std::string_view mapName);

// The mode's name and the classes that give it, for messages.
std::string_view ModeName(MapMode mode);
std::string_view ModePrefix(MapMode mode);
std::string ModeClasses(MapMode mode);

}  // namespace lw
