// What a map is from its entities: the spawns of each team and the modes
// the game plays, and the warnings check gives when the name or the teams
// ask for more.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entities/EntityCheck.h"
#include "entities/MapModes.h"

namespace lw {
namespace {

std::string Block(const std::string& className) { return "{\n\"classname\" \"" + className + "\"\n}\n"; }
const std::string kWorld = "{\n\"classname\" \"worldspawn\"\n\"wad\" \"cs_dust.wad\"\n}\n";

std::string Spawns(int terrorists, int counterTerrorists) {
  std::string text;
  for (int i = 0; i < terrorists; ++i) text += Block("info_player_deathmatch");
  for (int i = 0; i < counterTerrorists; ++i) text += Block("info_player_start");
  return text;
}

TEST(MapModes, CountsSpawnsAndTellsTheModes) {
  const struct {
    const char* name;
    std::string text;
    size_t t;
    size_t ct;
    std::string described;
  } rows[] = {
      {"a bomb map with buy zones", kWorld + Spawns(2, 3) + Block("func_bomb_target") + Block("func_buyzone"), 2, 3,
       "bomb, buy zones"},
      {"hostages, rescued or not", kWorld + Block("hostage_entity") + Block("info_hostage_rescue"), 0, 0,
       "hostages, buy at spawn"},
      {"VIP and escape together", kWorld + Block("info_vip_start") + Block("func_escapezone"), 0, 0,
       "VIP, escape, buy at spawn"},
      {"the first classname decides",
       kWorld + "{\n\"classname\" \"info_target\"\n\"classname\" \"info_bomb_target\"\n}\n" + Spawns(1, 0), 1, 0,
       "buy at spawn"},
      {"a name inside a value is no entity",
       kWorld + "{\n\"classname\" \"info_target\"\n\"target\" \"func_buyzone\"\n}\n", 0, 0, "buy at spawn"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const MapModes modes = ModesOf(row.text);
    EXPECT_EQ(modes.terroristSpawns, row.t);
    EXPECT_EQ(modes.counterTerroristSpawns, row.ct);
    EXPECT_EQ(modes.Describe(), row.described);
  }
}

// The warnings of check, which the saves print too.
TEST(MapModes, CheckWarnsOfMissingSpawnsAndModes) {
  const auto warnings = [](const std::string& text, const char* mapName, std::optional<size_t> players = {}) {
    EntityCheckOptions options;
    if (mapName != nullptr) options.mapName = mapName;
    options.maxPlayers = players;
    std::vector<std::string> lines;
    for (const CheckFinding& finding : CheckEntityText(text, options)) lines.push_back(finding.message);
    return lines;
  };
  const std::string noT = "no Terrorist spawn (info_player_deathmatch): the team counts as full and no one can join it";
  const std::string noCt =
      "no Counter-Terrorist spawn (info_player_start): the team counts as full and no one can join it";
  const std::string bombless =
      "a de_ map without func_bomb_target or info_bomb_target: the game plays no bomb mode on it";
  const struct {
    const char* name;
    std::string text;
    const char* mapName;
    std::optional<size_t> players;
    std::vector<std::string> expected;
  } rows[] = {
      {"a whole bomb map", kWorld + Spawns(1, 1) + Block("func_bomb_target"), "de_x", {}, {}},
      {"its bomb targets removed", kWorld + Spawns(1, 1), "DE_X", {}, {bombless}},
      {"every CT spawn removed from a hostage map",
       kWorld + Spawns(1, 0) + Block("hostage_entity"),
       "cs_x",
       {},
       {noCt}},
      {"no spawns on a bomb map", kWorld + Block("info_bomb_target"), "de_x", {}, {noT, noCt}},
      {"a Half-Life map is not held to teams", kWorld + Block("info_player_start"), "crossfire", {}, {}},
      {"too few spawns for the players",
       kWorld + Spawns(3, 8) + Block("func_buyzone"),
       "fy_x",
       16,
       {"3 Terrorist spawns (info_player_deathmatch) for 16 players: the team is full at 3"}},
      {"a text without a map name", kWorld + Spawns(1, 1), nullptr, {}, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(warnings(row.text, row.mapName, row.players), row.expected);
  }
  EXPECT_EQ(EdictsForPlayers(32), 1365U);
  EXPECT_EQ(PromisedMode("as_oilrig"), MapMode::kVip);
  EXPECT_EQ(PromisedMode("de"), std::nullopt);
}

}  // namespace
}  // namespace lw
