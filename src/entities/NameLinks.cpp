#include "entities/NameLinks.h"

#include <algorithm>
#include <cstdint>

namespace lw {
namespace {

// The entity fields the game sets before a class reads a key (util.cpp
// gEntvarsDescription, through DispatchKeyValue's EntvarsKeyvalue), and the
// multi_manager's own "wait": a multi_manager takes every other key for a
// target. Sorted, for the search.
constexpr std::array<std::string_view, 72> kMultiManagerFields = {{
    "aiment",     "angles",      "animtime",      "armortype",  "armorvalue",  "avelocity", "basevelocity",
    "blending",   "body",        "button",        "chain",      "classname",   "colormap",  "controller",
    "deadflag",   "dmg",         "dmg_inflictor", "dmg_save",   "dmg_take",    "dmgtime",   "effects",
    "enemy",      "fixangle",    "flags",         "frags",      "frame",       "framerate", "friction",
    "globalname", "gravity",     "health",        "ideal_yaw",  "idealpitch",  "impulse",   "light_level",
    "max_health", "message",     "model",         "modelindex", "movedir",     "movetype",  "netname",
    "nextthink",  "noise",       "noise1",        "noise2",     "noise3",      "oldorigin", "origin",
    "owner",      "pitch_speed", "punchangle",    "renderamt",  "rendercolor", "renderfx",  "rendermode",
    "scale",      "sequence",    "skin",          "solid",      "spawnflags",  "speed",     "target",
    "targetname", "team",        "teleport_time", "v_angle",    "velocity",    "view_ofs",  "wait",
    "waterlevel", "watertype",
}};

// The lengths of the table's keys, one bit each: most keys of a text are
// passed over by one test.
constexpr std::uint64_t LinkKeyLengths() {
  std::uint64_t bits = 0;
  for (const NameLinkKey& row : kNameLinkKeys) bits |= std::uint64_t{1} << row.key.size();
  return bits;
}
constexpr std::uint64_t kLinkKeyLengths = LinkKeyLengths();

}  // namespace

LinkPlace LinkPlaceOf(std::string_view className, std::string_view key) {
  if (className == kMultiManager) {
    if (key.empty() || key == "target") return key.empty() ? LinkPlace::kNone : LinkPlace::kValue;
    return std::binary_search(kMultiManagerFields.begin(), kMultiManagerFields.end(), key) ? LinkPlace::kNone
                                                                                           : LinkPlace::kKey;
  }
  if (key.size() >= 64 || (kLinkKeyLengths >> key.size() & 1U) == 0) return LinkPlace::kNone;
  for (const NameLinkKey& row : kNameLinkKeys) {
    if (row.key == key && (row.className.empty() || row.className == className)) return LinkPlace::kValue;
  }
  return LinkPlace::kNone;
}

}  // namespace lw
