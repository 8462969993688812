#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/SettingsStore.h"

namespace lw::test {

// Keys and values held in memory. Key and value names match without regard
// to ASCII case, as the registry's do. Values are raw bytes, so a test can
// plant one with embedded NULs or of any length.
class InMemorySettingsStore : public SettingsStore {
 public:
  bool OpenKey(const CString& subkey) override;
  bool QueryValue(const CString& subkey, const CString& valueName, size_t maxBytes, std::string& bytes) override;
  bool SetStringValue(const CString& subkey, const CString& valueName, const CString& value) override;

  // Creates the key, without any value.
  void AddKey(const std::string& subkey);
  void Put(const std::string& subkey, const std::string& valueName, std::string bytes);
  // The stored bytes, or nothing when the key or value is missing.
  [[nodiscard]] std::optional<std::string> Get(const std::string& subkey, const std::string& valueName) const;

  // While set, SetStringValue fails and stores nothing (a key that can be
  // neither created nor opened).
  bool failWrites = false;
  // While set, QueryValue fails on every value (a value that cannot be read).
  bool failReads = false;
  int openCount = 0;
  int setCount = 0;

 private:
  using Values = std::map<std::string, std::string>;
  std::map<std::string, Values> keys_;
};

}  // namespace lw::test
