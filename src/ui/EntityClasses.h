// The entity class names offered in the search box, in the order shown,
// written once: the Windows resource script turns this list into its dialog
// initialisation data, the Linux window and the command line read the array.
//
// The resource compiler reads the first part, so it holds preprocessor macros
// only; the C++ part at the end is hidden from it. Each entry is the length
// the initialisation record carries (the name and its NUL) and the name.
#pragma once

// clang-format off
#define LW_ENTITY_CLASSES(X) \
  X(23, "info_player_deathmatch") \
  X(18, "info_player_start") \
  X(15, "info_vip_start") \
  X(16, "ambient_generic") \
  X(15, "armoury_entity") \
  X(14, "button_target") \
  X(7, "cycler") \
  X(14, "cycler_sprite") \
  X(9, "env_beam") \
  X(13, "env_beverage") \
  X(12, "env_bubbles") \
  X(14, "env_explosion") \
  X(9, "env_glow") \
  X(10, "env_laser") \
  X(11, "env_render") \
  X(10, "env_shake") \
  X(12, "env_shooter") \
  X(10, "env_sound") \
  X(10, "env_spark") \
  X(11, "env_sprite") \
  X(17, "func_bomb_target") \
  X(15, "func_breakable") \
  X(12, "func_button") \
  X(13, "func_buyzone") \
  X(14, "func_conveyor") \
  X(10, "func_door") \
  X(19, "func_door_rotating") \
  X(20, "func_hostage_rescue") \
  X(17, "func_illusionary") \
  X(12, "func_ladder") \
  X(14, "func_pendulum") \
  X(10, "func_plat") \
  X(14, "func_pushable") \
  X(16, "func_rot_button") \
  X(14, "func_rotating") \
  X(16, "func_tracktrain") \
  X(11, "func_train") \
  X(20, "func_vip_safetyzone") \
  X(10, "func_wall") \
  X(17, "func_wall_toggle") \
  X(11, "func_water") \
  X(13, "game_counter") \
  X(17, "game_counter_set") \
  X(17, "game_team_master") \
  X(10, "game_text") \
  X(15, "hostage_entity") \
  X(17, "info_bomb_target") \
  X(20, "info_hostage_rescue") \
  X(20, "info_map_parameters") \
  X(10, "info_null") \
  X(12, "info_target") \
  X(10, "infodecal") \
  X(6, "light") \
  X(18, "light_environment") \
  X(11, "light_spot") \
  X(14, "multi_manager") \
  X(12, "multisource") \
  X(12, "path_corner") \
  X(11, "path_track") \
  X(13, "trigger_auto") \
  X(15, "trigger_camera") \
  X(21, "trigger_changetarget") \
  X(13, "trigger_hurt") \
  X(17, "trigger_multiple") \
  X(13, "trigger_once") \
  X(13, "trigger_push") \
  X(14, "trigger_relay") \
  X(11, "worldspawn")
// clang-format on

#ifndef RC_INVOKED

#include <array>
#include <string_view>

namespace lw {

#define LW_ENTITY_CLASS_NAME(length, name) std::string_view(name),
inline constexpr std::array kEntityClassNames = {LW_ENTITY_CLASSES(LW_ENTITY_CLASS_NAME)};
#undef LW_ENTITY_CLASS_NAME

// A wrong length would make the resource's records unreadable from there on.
#define LW_ENTITY_CLASS_LENGTH(length, name) static_assert((length) == sizeof(name), name);
LW_ENTITY_CLASSES(LW_ENTITY_CLASS_LENGTH)
#undef LW_ENTITY_CLASS_LENGTH

}  // namespace lw

#endif  // RC_INVOKED
