// The Windows backends, run under Wine in CI: what a map's save and the
// stored folder look like on a Windows disk and in the registry.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/CodePage.h"
#include "platform/CommandLine.h"
#include "platform/DirectoryListing.h"
#include "platform/FileSave.h"
#include "platform/FileSystem.h"
#include "platform/win32/RegistrySettingsStore.h"
#include "support/HeldFile.h"
#include "support/TempDir.h"

namespace lw {
namespace {

using test::HeldFile;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

bool Save(const std::string& path, std::string_view bytes) {
  return SaveFileBytes(SystemFileSystem(), CString(path), bytes);
}

TEST(Win32FileSystemTest, SavesReplaceTheMapWholeOrLeaveItAsItWas) {
  struct Row {
    const char* name;
    // Prepares the folder, which holds map.bsp.
    std::function<void(const TempDir&)> prepare;
    bool saved;
    // The folder's entries afterwards.
    std::vector<std::string> entries;
  };
  const std::vector<Row> rows = {
      {"an ordinary map", [](const TempDir&) {}, true, {"map.bsp"}},
      {"a read-only map", [](const TempDir& dir) { test::SetReadOnly(dir.File("map.bsp"), true); }, false, {"map.bsp"}},
      {"what killed saves left beside it goes; another map's stays",
       [](const TempDir& dir) {
         WriteFileBytes(dir.File(".map.bsp.lumpwright-abc123"), "half");
         WriteFileBytes(dir.File(".other.bsp.lumpwright-abc123"), "half");
       },
       true,
       {".other.bsp.lumpwright-abc123", "map.bsp"}},
      {"a map that is not there yet is made",
       [](const TempDir& dir) { std::filesystem::remove(dir.File("map.bsp")); },
       true,
       {"map.bsp"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const TempDir dir;
    WriteFileBytes(dir.File("map.bsp"), "old bytes");
    row.prepare(dir);
    const bool before = std::filesystem::exists(dir.File("map.bsp"));
    const std::string old = before ? ReadFileBytes(dir.File("map.bsp")) : std::string();
    EXPECT_EQ(Save(dir.File("map.bsp"), "new bytes, longer than the old"), row.saved);
    EXPECT_EQ(dir.Entries(), row.entries);
    if (row.saved) {
      EXPECT_EQ(ReadFileBytes(dir.File("map.bsp")), "new bytes, longer than the old");
    } else {
      EXPECT_EQ(ReadFileBytes(dir.File("map.bsp")), old);
    }
    test::SetReadOnly(dir.File("map.bsp"), false);
  }
}

TEST(Win32FileSystemTest, AMapAnotherProgramHoldsIsNeitherReadNorSaved) {
  const TempDir dir;
  const std::string map = dir.File("map.bsp");
  WriteFileBytes(map, "old bytes");
  {
    const HeldFile other(map);
    ASSERT_TRUE(other.Held());
    EXPECT_EQ(SystemFileSystem().OpenRead(CString(map)), kNoFile);
    EXPECT_FALSE(Save(map, "new bytes"));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"map.bsp"});
  }
  EXPECT_TRUE(Save(map, "new bytes")) << "a retry succeeds once the other program lets go";
  EXPECT_EQ(ReadFileBytes(map), "new bytes");
}

TEST(Win32FileSystemTest, ANewFileAnotherSaveIsWritingIsNotTakenForAStaleOne) {
  const TempDir dir;
  WriteFileBytes(dir.File("map.bsp"), "old bytes");
  const std::string live = dir.File(".map.bsp.lumpwright-live01");
  WriteFileBytes(live, "being written");
  const HeldFile writer(live);
  ASSERT_TRUE(writer.Held());
  EXPECT_TRUE(Save(dir.File("map.bsp"), "new bytes"));
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{".map.bsp.lumpwright-live01", "map.bsp"}));
}

TEST(Win32FileSystemTest, AMapWithASecondNameIsWrittenInPlaceSoBothNamesSeeTheSave) {
  const TempDir dir;
  WriteFileBytes(dir.File("map.bsp"), "old bytes, the longer ones");
  ASSERT_TRUE(CreateHardLinkA(dir.File("second.bsp").c_str(), dir.File("map.bsp").c_str(), nullptr));
  EXPECT_TRUE(Save(dir.File("map.bsp"), "new bytes"));
  EXPECT_EQ(ReadFileBytes(dir.File("map.bsp")), "new bytes");
  EXPECT_EQ(ReadFileBytes(dir.File("second.bsp")), "new bytes");
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"map.bsp", "second.bsp"}));
}

// A key of the test's own under the user's hive, removed afterwards.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kRoot, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root_, nullptr),
              ERROR_SUCCESS);
    store_ = MakeRegistrySettingsStore(root_);
  }
  void TearDown() override {
    RegCloseKey(root_);
    RegDeleteTreeA(HKEY_CURRENT_USER, kRoot);
  }

  static constexpr const char* kRoot = "Software\\Quellmoor\\LumpwrightTests";
  HKEY root_ = nullptr;
  std::unique_ptr<SettingsStore> store_;
};

TEST_F(RegistryTest, TheFolderIsStoredAsAStringWithoutItsTerminatorAndReadBackWithinTheBuffer) {
  const CString key = "Software\\Quellmoor\\Lumpwright\\Settings";
  EXPECT_FALSE(store_->OpenKey(key));
  std::string bytes;
  EXPECT_FALSE(store_->QueryValue(key, "InstallPath", 260, bytes));

  ASSERT_TRUE(store_->SetStringValue(key, "InstallPath", "C:\\Games\\CS\\cstrike\\maps\\"));
  EXPECT_TRUE(store_->OpenKey(key));
  DWORD type = 0;
  DWORD size = 0;
  HKEY opened = nullptr;
  ASSERT_EQ(RegOpenKeyExA(root_, key.GetString(), 0, KEY_QUERY_VALUE, &opened), ERROR_SUCCESS);
  ASSERT_EQ(RegQueryValueExW(opened, L"InstallPath", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  RegCloseKey(opened);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, std::string("C:\\Games\\CS\\cstrike\\maps\\").size() * sizeof(wchar_t)) << "no terminator is stored";

  struct Row {
    std::string stored;
    size_t maxBytes;
    bool read;
  };
  for (const Row& row : {Row{"C:\\maps\\", 260, true}, Row{"", 260, true}, Row{std::string(260, 'x'), 260, true},
                         Row{std::string(261, 'x'), 260, false}}) {
    SCOPED_TRACE(row.stored.size());
    ASSERT_TRUE(store_->SetStringValue(key, "InstallPath", CString(row.stored)));
    bytes = "unchanged";
    EXPECT_EQ(store_->QueryValue(key, "InstallPath", row.maxBytes, bytes), row.read);
    EXPECT_EQ(bytes, row.read ? row.stored : "unchanged");
  }
}

TEST(Win32ListingTest, MapsAreFoundWithoutRegardToCaseHiddenOnesIncludedFoldersMarked) {
  const TempDir dir;
  for (const char* name : {"de_dust2.bsp", "CS_ITALY.BSP", "readme.txt", "hidden.bsp"}) {
    WriteFileBytes(dir.File(name), "x");
  }
  SetFileAttributesA(dir.File("hidden.bsp").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  std::filesystem::create_directory(dir.File("folder.bsp"));
  std::vector<std::string> listed;
  for (const DirectoryEntry& entry : ListDirectory(CString(dir.File("*.bsp")))) {
    listed.push_back(entry.name.Str() + (entry.isDirectory ? "/" : ""));
  }
  EXPECT_EQ(listed, (std::vector<std::string>{"CS_ITALY.BSP", "de_dust2.bsp", "folder.bsp/", "hidden.bsp"}));
  EXPECT_TRUE(ListDirectory(CString(dir.File("missing\\*.bsp"))).empty());
}

TEST(Win32StartTest, TheCommandLineAndCodePageAreTheSystems) {
  SetCommandLine(0, nullptr);
  EXPECT_EQ(GetCommandLineString(), CString(GetCommandLineA()));
  EXPECT_EQ(SystemCodePage(), GetACP());
}

}  // namespace
}  // namespace lw
