#include "support/InMemorySettingsStore.h"

#include <algorithm>
#include <cctype>

namespace lw::test {
namespace {

std::string Folded(std::string_view name) {
  std::string folded(name);
  std::transform(folded.begin(), folded.end(), folded.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return folded;
}

}  // namespace

bool InMemorySettingsStore::OpenKey(const CString& subkey) {
  ++openCount;
  return keys_.count(Folded(subkey.View())) != 0;
}

bool InMemorySettingsStore::QueryValue(const CString& subkey, const CString& valueName, size_t maxBytes,
                                       std::string& bytes) {
  if (failReads) return false;
  const auto value = Get(subkey.Str(), valueName.Str());
  if (!value || value->size() > maxBytes) return false;
  bytes = *value;
  return true;
}

bool InMemorySettingsStore::SetStringValue(const CString& subkey, const CString& valueName, const CString& value) {
  if (failWrites) return false;
  ++setCount;
  Put(subkey.Str(), valueName.Str(), value.Str());
  return true;
}

void InMemorySettingsStore::AddKey(const std::string& subkey) { keys_[Folded(subkey)]; }

void InMemorySettingsStore::Put(const std::string& subkey, const std::string& valueName, std::string bytes) {
  keys_[Folded(subkey)][Folded(valueName)] = std::move(bytes);
}

std::optional<std::string> InMemorySettingsStore::Get(const std::string& subkey, const std::string& valueName) const {
  const auto key = keys_.find(Folded(subkey));
  if (key == keys_.end()) return std::nullopt;
  const auto value = key->second.find(Folded(valueName));
  if (value == key->second.end()) return std::nullopt;
  return value->second;
}

}  // namespace lw::test
