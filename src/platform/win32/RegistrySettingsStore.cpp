#include <windows.h>

#include <cstring>
#include <string>

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

std::wstring Wide(const CString& text) {
  const int units = MultiByteToWideChar(CP_ACP, 0, text.GetString(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(units > 0 ? units : 1), L'\0');
  if (units > 0) MultiByteToWideChar(CP_ACP, 0, text.GetString(), -1, wide.data(), units);
  wide.resize(wide.size() - 1);
  return wide;
}

class RegistrySettingsStore final : public SettingsStore {
 public:
  explicit RegistrySettingsStore(HKEY root) : root_(root) {}

  bool OpenKey(const CString& subkey) override { return OpenedKey(root_, subkey, KEY_READ).Get() != nullptr; }

  bool QueryValue(const CString& subkey, const CString& valueName, size_t maxBytes, std::string& bytes) override {
    const OpenedKey key(root_, subkey, KEY_QUERY_VALUE);
    if (key.Get() == nullptr) return false;
    // Through the wide function, which hands out the bytes as stored: the
    // ANSI one adds a terminator that was never stored.
    const std::wstring name = Wide(valueName);
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    std::string raw(size, '\0');
    if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(raw.data()), &size) !=
        ERROR_SUCCESS) {
      return false;
    }
    raw.resize(size);
    std::string value = raw;
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
      // Text is kept in UTF-16: back to the program's code page.
      const auto units = static_cast<int>(raw.size() / sizeof(wchar_t));
      std::wstring wide(static_cast<size_t>(units), L'\0');
      std::memcpy(wide.data(), raw.data(), wide.size() * sizeof(wchar_t));
      const int length =
          units == 0 ? 0 : WideCharToMultiByte(CP_ACP, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
      value.assign(static_cast<size_t>(length), '\0');
      if (length > 0) WideCharToMultiByte(CP_ACP, 0, wide.data(), units, value.data(), length, nullptr, nullptr);
    }
    // Longer than the reader's buffer: nothing is copied.
    if (value.size() > maxBytes) return false;
    bytes = std::move(value);
    return true;
  }

  bool SetStringValue(const CString& subkey, const CString& valueName, const CString& value) override {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root_, subkey.GetString(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
      return false;
    }
    // Stored without its terminator, as the program always stored it; the
    // readers terminate the bytes themselves. The system adds a terminator
    // of its own when the character after the counted ones is a NUL, as it
    // is after every C string: a guard character that is not counted keeps
    // it out.
    const int units =
        value.IsEmpty() ? 0
                        : MultiByteToWideChar(CP_ACP, 0, value.GetString(), static_cast<int>(value.Size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(units), L'\0');
    if (units > 0) {
      MultiByteToWideChar(CP_ACP, 0, value.GetString(), static_cast<int>(value.Size()), wide.data(), units);
    }
    const DWORD storedSize = static_cast<DWORD>(wide.size() * sizeof(wchar_t));
    wide.push_back(L'?');
    const std::wstring name = Wide(valueName);
    const LSTATUS status =
        RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.data()), storedSize);
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
