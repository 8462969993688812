#pragma once

// The settings keys of the game and of Steam, as the Windows registry names
// them: the map folder search asks for them, and the settings store of a
// system without a registry answers for them from Steam's own files.

namespace lw {

// The game's own keys, tried in this order on the first run; each holds the
// game's installation folder, without the maps subfolder.
inline constexpr const char* kCounterStrikeKey = "Software\\Valve\\CounterStrike";
inline constexpr const char* kHalfLifeKey = "Software\\Valve\\Half-life";
inline constexpr const char* kInstallPathValue = "InstallPath";

// Where Steam is installed (Steam's own key; its value has '/' separators).
inline constexpr const char* kSteamKey = "Software\\Valve\\Steam";
inline constexpr const char* kSteamPathValue = "SteamPath";

}  // namespace lw
