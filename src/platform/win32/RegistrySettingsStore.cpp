#include <windows.h>

#include "platform/SettingsStore.h"
#include "platform/win32/RegistrySettingsStore.h"

namespace lw {
namespace {

// Closes an open key when it goes out of scope, whatever the query said.
class OpenedKey {
 public:
  OpenedKey(HKEY root, const CString& subkey, REGSAM access) {
    if (RegOpenKeyExA(root, subkey.GetString(), 0, access, &key_) != ERROR_SUCCESS) key_ = nullptr;
  }
  ~OpenedKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;

  [[nodiscard]] HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

class RegistrySettingsStore final : public SettingsStore {
 public:
  explicit RegistrySettingsStore(HKEY root) : root_(root) {}

  bool OpenKey(const CString& subkey) override { return OpenedKey(root_, subkey, KEY_READ).Get() != nullptr; }

  bool QueryValue(const CString& subkey, const CString& valueName, size_t maxBytes, std::string& bytes) override {
    const OpenedKey key(root_, subkey, KEY_QUERY_VALUE);
    if (key.Get() == nullptr) return false;
    // The value's type is not looked at: its bytes are the string.
    std::string buffer(maxBytes, '\0');
    auto size = static_cast<DWORD>(maxBytes);
    if (RegQueryValueExA(key.Get(), valueName.GetString(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS) {
      return false;  // ERROR_MORE_DATA included: too long for the buffer
    }
    buffer.resize(size);
    bytes = std::move(buffer);
    return true;
  }

  bool SetStringValue(const CString& subkey, const CString& valueName, const CString& value) override {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root_, subkey.GetString(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
      return false;
    }
    // Stored without its terminator, as the program always stored it; the
    // readers terminate the bytes themselves.
    const LSTATUS status = RegSetValueExA(key, valueName.GetString(), 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>(value.GetString()),
                                          static_cast<DWORD>(value.Size()));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
  }

 private:
  HKEY root_;
};

}  // namespace

std::unique_ptr<SettingsStore> MakeRegistrySettingsStore(HKEY root) {
  return std::make_unique<RegistrySettingsStore>(root);
}

SettingsStore& SystemSettingsStore() {
  static RegistrySettingsStore store(HKEY_CURRENT_USER);
  return store;
}

}  // namespace lw
