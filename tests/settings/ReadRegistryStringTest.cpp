#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

#include "settings/MapFolderSettings.h"
#include "support/InMemorySettingsStore.h"

namespace lw {
namespace {

using test::InMemorySettingsStore;

std::string Repeat(char c, size_t count) { return std::string(count, c); }

TEST(ReadRegistryString, StringMustFitTheBufferWithItsTerminator) {
  const struct {
    const char* name;
    std::optional<std::string> stored;  // nothing: the key exists without the value
    bool found;
    std::string expected;
  } cases[] = {
      {"empty value counts as found", std::string(), true, ""},
      {"plain folder", std::string("/home/ann/maps/"), true, "/home/ann/maps/"},
      {"259 characters fit", Repeat('a', 259), true, Repeat('a', 259)},
      {"260 characters leave no room for the NUL", Repeat('a', 260), false, ""},
      {"260 bytes ending in NUL", Repeat('a', 259) + '\0', true, Repeat('a', 259)},
      {"261 bytes ending in NUL are too long", Repeat('a', 260) + '\0', false, ""},
      {"embedded NUL ends the string", std::string("C:\\maps\\\0junk", 13), true, "C:\\maps\\"},
      {"260 bytes with an early NUL", std::string("abc\0", 4) + Repeat('z', 256), true, "abc"},
      {"leading NUL is an empty string", std::string("\0abc", 4), true, ""},
      {"missing value", std::nullopt, false, ""},
  };
  for (const auto& c : cases) {
    InMemorySettingsStore store;
    store.AddKey(kSettingsKey);
    if (c.stored) store.Put(kSettingsKey, kInstallPathValue, *c.stored);
    char buffer[kRegistryBufferSize];
    std::memset(buffer, '#', sizeof buffer);

    const bool found = ReadRegistryString(store, kSettingsKey, kInstallPathValue, buffer);

    EXPECT_EQ(found, c.found) << c.name;
    if (found) {
      EXPECT_EQ(std::string(buffer), c.expected) << c.name;
    } else {
      EXPECT_EQ(buffer[0], '#') << c.name << ": a failed read leaves the buffer alone";
    }
  }
}

TEST(ReadRegistryString, MissingKeyOrFailedReadIsAbsent) {
  InMemorySettingsStore store;
  char buffer[kRegistryBufferSize];
  EXPECT_FALSE(ReadRegistryString(store, kCounterStrikeKey, kInstallPathValue, buffer));

  store.Put(kCounterStrikeKey, kInstallPathValue, "C:\\Games\\CS");
  store.failReads = true;
  EXPECT_FALSE(ReadRegistryString(store, kCounterStrikeKey, kInstallPathValue, buffer));
}

TEST(StoreString, StoresTheBytesWithoutTerminatorAndReadsBack) {
  InMemorySettingsStore store;
  ASSERT_TRUE(StoreString(store, kSettingsKey, kInstallPathValue, "C:\\maps"));
  EXPECT_EQ(store.Get(kSettingsKey, kInstallPathValue), std::string("C:\\maps"));

  char buffer[kRegistryBufferSize];
  ASSERT_TRUE(ReadRegistryString(store, kSettingsKey, kInstallPathValue, buffer));
  EXPECT_STREQ(buffer, "C:\\maps");

  store.failWrites = true;
  EXPECT_FALSE(StoreString(store, kSettingsKey, kInstallPathValue, "D:\\other\\"));
  EXPECT_EQ(store.Get(kSettingsKey, kInstallPathValue), std::string("C:\\maps"));
}

}  // namespace
}  // namespace lw
