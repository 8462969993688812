#include "settings/MapFolderSettings.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/Paths.h"

namespace lw {

bool ReadRegistryString(SettingsStore& store, const CString& subkey, const CString& valueName,
                        char (&buffer)[kRegistryBufferSize]) {
  if (!store.OpenKey(subkey)) return false;
  std::string bytes;
  if (!store.QueryValue(subkey, valueName, kRegistryBufferSize, bytes)) return false;
  // A value that fills the whole buffer leaves no room for the terminator
  // unless it carries a NUL of its own.
  const size_t length = std::min(bytes.find('\0'), bytes.size());
  if (length >= kRegistryBufferSize) return false;
  std::memcpy(buffer, bytes.data(), length);
  buffer[length] = '\0';
  return true;
}

CString GameMapsFolder(const CString& gameFolder) {
  CString folder = gameFolder;
  for (const char* part : {"cstrike", "maps"}) {
    folder += kPathSeparator;
    folder += part;
  }
  folder += kPathSeparator;
  return folder;
}

bool StoreString(SettingsStore& store, const CString& subkey, const CString& valueName, const CString& value) {
  return store.SetStringValue(subkey, valueName, value);
}

}  // namespace lw
