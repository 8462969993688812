#pragma once

// The keys by which one entity names another: their values (and the keys of a
// multi_manager) are "targetname"s that the game looks up when it fires,
// follows or asks a master. Each row names the game code that reads it.

#include <array>
#include <string_view>

namespace lw {

inline constexpr std::string_view kTargetnameKey = "targetname";
inline constexpr std::string_view kMultiManager = "multi_manager";

struct NameLinkKey {
  std::string_view key;
  std::string_view className;  // empty: every class
  std::string_view source;     // Half-Life SDK, dlls/
};

// scripted_sequence's "m_iszEntity" is left out: it may name a class as well
// as a targetname (CCineMonster::FindEntity).
inline constexpr std::array<NameLinkKey, 21> kNameLinkKeys = {{
    {"target", "", "subs.cpp SUB_UseTargets, FireTargets"},
    {"killtarget", "", "subs.cpp CBaseDelay::KeyValue, SUB_UseTargets"},
    {"master", "", "util.cpp UTIL_IsMasterTriggered"},
    {"TriggerTarget", "", "monsters.cpp CBaseMonster::KeyValue"},
    {"netname", "func_door", "doors.cpp CBaseDoor::DoorHitTop, DoorHitBottom"},
    {"netname", "func_door_rotating", "doors.cpp CBaseDoor::DoorHitTop, DoorHitBottom"},
    {"message", "path_corner", "plats.cpp CFuncTrain::Wait"},
    {"message", "path_track", "plats.cpp CFuncTrackTrain::Next"},
    {"altpath", "path_track", "pathcorner.cpp CPathTrack::KeyValue"},
    {"LightningStart", "env_beam", "effects.cpp CLightning::KeyValue"},
    {"LightningEnd", "env_beam", "effects.cpp CLightning::KeyValue"},
    {"LaserTarget", "env_laser", "effects.cpp CLaser::KeyValue"},
    {"m_iszNewTarget", "trigger_changetarget", "triggers.cpp CTriggerChangeTarget::KeyValue"},
    {"moveto", "trigger_camera", "triggers.cpp CTriggerCamera::KeyValue"},
    {"landmark", "trigger_changelevel", "triggers.cpp CChangeLevel::KeyValue, FindLandmark"},
    {"train", "func_trackchange", "plats.cpp CFuncTrackChange::KeyValue"},
    {"toptrack", "func_trackchange", "plats.cpp CFuncTrackChange::KeyValue"},
    {"bottomtrack", "func_trackchange", "plats.cpp CFuncTrackChange::KeyValue"},
    {"train", "func_trackautochange", "plats.cpp CFuncTrackChange::KeyValue"},
    {"intarget", "game_zone_player", "maprules.cpp CGamePlayerZone::KeyValue"},
    {"outtarget", "game_zone_player", "maprules.cpp CGamePlayerZone::KeyValue"},
}};

// triggers.cpp MAX_MULTI_TARGETS: a multi_manager keeps no more targets.
inline constexpr size_t kMaxMultiTargets = 16;

// Where a key of a block of class `className` names an entity.
enum class LinkPlace {
  kNone,
  kValue,  // its value is a targetname
  kKey,    // multi_manager: the key itself, up to a '#', with a delay as value
};
[[nodiscard]] LinkPlace LinkPlaceOf(std::string_view className, std::string_view key);

// The name a multi_manager key fires: up to its first '#', which lets one
// target be fired several times (triggers.cpp CMultiManager::KeyValue,
// util.cpp UTIL_StripToken).
[[nodiscard]] constexpr std::string_view MultiManagerTarget(std::string_view key) {
  return key.substr(0, key.find('#'));
}

}  // namespace lw
