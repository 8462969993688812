#pragma once

#include <array>
#include <string_view>

namespace lw {

// The entity class names offered in the search box, in the order shown.
inline constexpr std::array<std::string_view, 68> kEntityClassNames = {
    "info_player_deathmatch", "info_player_start", "info_vip_start", "ambient_generic",
    "armoury_entity", "button_target", "cycler", "cycler_sprite", "env_beam", "env_beverage",
    "env_bubbles", "env_explosion", "env_glow", "env_laser", "env_render", "env_shake",
    "env_shooter", "env_sound", "env_spark", "env_sprite", "func_bomb_target", "func_breakable",
    "func_button", "func_buyzone", "func_conveyor", "func_door", "func_door_rotating",
    "func_hostage_rescue", "func_illusionary", "func_ladder", "func_pendulum", "func_plat",
    "func_pushable", "func_rot_button", "func_rotating", "func_tracktrain", "func_train",
    "func_vip_safetyzone", "func_wall", "func_wall_toggle", "func_water", "game_counter",
    "game_counter_set", "game_team_master", "game_text", "hostage_entity", "info_bomb_target",
    "info_hostage_rescue", "info_map_parameters", "info_null", "info_target", "infodecal", "light",
    "light_environment", "light_spot", "multi_manager", "multisource", "path_corner", "path_track",
    "trigger_auto", "trigger_camera", "trigger_changetarget", "trigger_hurt", "trigger_multiple",
    "trigger_once", "trigger_push", "trigger_relay", "worldspawn",
};

}  // namespace lw
