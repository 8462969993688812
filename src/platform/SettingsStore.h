#pragma once

#include <string>

#include "platform/CString.h"

namespace lw {

// The per-user store of string values by key and value name: the registry's
// current-user hive on Windows, a settings file (and, for the game's keys, the
// Steam installation) elsewhere.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  // Opens `subkey`; false when it does not exist.
  virtual bool OpenKey(const CString& subkey) = 0;
  // The raw bytes of `valueName` under an open `subkey`, as stored (no
  // terminator added). False when the value is missing, cannot be read, or is
  // longer than `maxBytes` (nothing is copied then).
  virtual bool QueryValue(const CString& subkey, const CString& valueName, size_t maxBytes, std::string& bytes) = 0;
  // Creates `subkey` when missing and sets `valueName` to `value`'s bytes,
  // without a terminator. False when the key can be neither created nor
  // opened or the value cannot be written.
  virtual bool SetStringValue(const CString& subkey, const CString& valueName, const CString& value) = 0;
};

// The store of this system.
SettingsStore& SystemSettingsStore();

}  // namespace lw
