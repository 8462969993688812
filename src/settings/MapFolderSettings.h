#pragma once

#include "platform/CString.h"
#include "platform/GameKeys.h"
#include "platform/SettingsStore.h"

namespace lw {

// Where the map folder is remembered between runs (under the value name the
// game's keys use, kInstallPathValue).
inline constexpr const char* kSettingsKey = "Software\\Quellmoor\\Lumpwright\\Settings";

// Size of the buffer a stored string is read into, terminator included.
inline constexpr size_t kRegistryBufferSize = 260;

// Reads `valueName` under `subkey` into `buffer` as a NUL-terminated string:
// the value's bytes up to its first NUL, or all of them. False when the key or
// the value is missing or the string and its terminator do not fit in the
// buffer; `buffer` is then left as it was.
bool ReadRegistryString(SettingsStore& store, const CString& subkey, const CString& valueName,
                        char (&buffer)[kRegistryBufferSize]);

// The maps folder of the game installed in `gameFolder` (a game key's value):
// `gameFolder` followed by cstrike and maps, each with a separator after it.
CString GameMapsFolder(const CString& gameFolder);

// Stores `value`'s bytes, without a terminator, as `valueName` under `subkey`,
// creating the key when missing. False when nothing could be stored.
bool StoreString(SettingsStore& store, const CString& subkey, const CString& valueName, const CString& value);

}  // namespace lw
