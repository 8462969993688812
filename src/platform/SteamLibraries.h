#pragma once

// Steam's game libraries: the folder Steam is installed in holds one, and its
// steamapps/libraryfolders.vdf lists the others. The map folder search looks
// for Half-Life (and its cstrike folder) in them on every system.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

// The folder .../steamapps/common/Half-Life in the first Steam library that
// has it (each root, then the libraries its steamapps/libraryfolders.vdf
// lists), holding a cstrike folder when `needCstrike`; nothing when none does.
std::optional<std::string> FindSteamGameFolder(const std::vector<std::string>& steamRoots, bool needCstrike);

// The folder paths a Steam libraryfolders.vdf lists, in its order.
std::vector<std::string> LibraryFoldersOf(std::string_view vdf);

}  // namespace lw
