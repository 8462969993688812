#pragma once

#include <windows.h>

#include <memory>

#include "platform/SettingsStore.h"

namespace lw {

// The registry under `root`: HKEY_CURRENT_USER for the program, a scratch
// key of their own for the tests.
std::unique_ptr<SettingsStore> MakeRegistrySettingsStore(HKEY root);

}  // namespace lw
