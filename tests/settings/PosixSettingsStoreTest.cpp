#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ScopedEnv.h"
#include "platform/posix/PosixSettingsStore.h"
#include "settings/MapFolderSettings.h"
#include "support/FailingFileSystem.h"
#include "support/TempDir.h"

namespace lw {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

std::string AllBytes() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  return bytes;
}

std::string Read(PosixSettingsStore& store, const char* key, const char* name = kInstallPathValue) {
  std::string bytes;
  return store.QueryValue(key, name, 100000, bytes) ? bytes : std::string("<absent>");
}

TEST(PosixSettingsStore, EveryByteRoundTripsThroughTheFile) {
  const struct {
    const char* name;
    std::string value;
  } cases[] = {
      {"all 256 byte values", AllBytes()},
      {"empty", ""},
      {"blanks at both ends", "  /maps/ \t"},
      {"escape look-alikes", "%41%%2x%"},
      {"line breaks", "a\r\nb\nc\r"},
      {"format characters", "x=y [z] #c ;d"},
      {"backslashes", "C:\\Sierra\\Counter-Strike\\cstrike\\maps\\"},
      {"UTF-8 path", "/home/\xC3\xA5sa/maps/"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string file = dir.File("settings.ini");
    {
      PosixSettingsStore writer(file, {});
      ASSERT_TRUE(writer.SetStringValue(kSettingsKey, kInstallPathValue, CString(c.value))) << c.name;
      // A second key in the same file must not disturb the first.
      ASSERT_TRUE(writer.SetStringValue("Software\\Other", "Value", CString(c.value + "2"))) << c.name;
    }
    PosixSettingsStore reader(file, {});
    EXPECT_EQ(Read(reader, kSettingsKey), c.value) << c.name;
    EXPECT_EQ(Read(reader, "Software\\Other", "Value"), c.value + "2") << c.name;
    // Nothing but printable text and line feeds ends up in the file.
    for (const char byte : ReadFileBytes(file)) {
      const auto u = static_cast<unsigned char>(byte);
      EXPECT_TRUE(u == '\n' || (u >= 0x20 && u != 0x7F)) << c.name << ": raw byte " << int{u};
    }
  }
}

TEST(PosixSettingsStore, FileIsPlainTextAPersonCanEdit) {
  TempDir dir;
  const std::string file = dir.File("settings.ini");
  PosixSettingsStore store(file, {});
  ASSERT_TRUE(store.SetStringValue(kSettingsKey, kInstallPathValue, "/home/ann/maps/"));
  const std::string text = ReadFileBytes(file);
  EXPECT_NE(text.find("[Software\\Quellmoor\\Lumpwright\\Settings]\nInstallPath=/home/ann/maps/\n"), std::string::npos)
      << text;

  // Edited by hand on another system: other case, blanks, CRLF, a comment.
  WriteFileBytes(file,
                 "; mine\r\n [software\\quellmoor\\lumpwright\\settings] \r\n"
                 "  installpath = /srv/cs maps/ \r\n");
  EXPECT_TRUE(store.OpenKey(kSettingsKey));
  EXPECT_EQ(Read(store, kSettingsKey), "/srv/cs maps/");

  // Rewriting one value keeps the comment and replaces the line, not adds one.
  ASSERT_TRUE(store.SetStringValue(kSettingsKey, kInstallPathValue, "/srv/new/"));
  const std::string rewritten = ReadFileBytes(file);
  EXPECT_EQ(rewritten.rfind("; mine", 0), 0U) << rewritten;
  EXPECT_EQ(rewritten.find("/srv/cs maps/"), std::string::npos) << rewritten;
  EXPECT_EQ(Read(store, kSettingsKey), "/srv/new/");
}

TEST(PosixSettingsStore, KeysAndValuesThatAreMissing) {
  TempDir dir;
  const std::string file = dir.File("settings.ini");
  PosixSettingsStore store(file, {});
  EXPECT_FALSE(store.OpenKey(kSettingsKey)) << "no file yet";

  WriteFileBytes(file, "[Software\\Quellmoor\\Lumpwright\\Settings]\nOther=1\n");
  EXPECT_TRUE(store.OpenKey(kSettingsKey)) << "the key exists without the value";
  char buffer[kRegistryBufferSize];
  EXPECT_FALSE(ReadRegistryString(store, kSettingsKey, kInstallPathValue, buffer));
  EXPECT_FALSE(store.OpenKey("Software\\Quellmoor"));

  // A value longer than asked for is absent, as a too-long registry value.
  ASSERT_TRUE(store.SetStringValue(kSettingsKey, kInstallPathValue, CString(std::string(260, 'a'))));
  EXPECT_FALSE(ReadRegistryString(store, kSettingsKey, kInstallPathValue, buffer));
}

TEST(PosixSettingsStore, MakesTheConfigFolderAndLeavesNoTemporaryFile) {
  TempDir dir;
  const std::string file = dir.File("config/lumpwright/settings.ini");
  PosixSettingsStore store(file, {});
  ASSERT_TRUE(store.SetStringValue(kSettingsKey, kInstallPathValue, "/a/"));
  ASSERT_TRUE(store.SetStringValue(kSettingsKey, kInstallPathValue, "/b/"));
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path() / "config/lumpwright")) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"settings.ini"});
  EXPECT_EQ(Read(store, kSettingsKey), "/b/");
}

TEST(PosixSettingsStore, LinkedSettingsFileStaysALink) {
  TempDir dir;
  std::filesystem::create_directories(dir.Path() / "dotfiles");
  WriteFileBytes(dir.Path() / "dotfiles/settings.ini", "");
  std::filesystem::create_symlink(dir.Path() / "dotfiles/settings.ini", dir.Path() / "settings.ini");
  PosixSettingsStore store(dir.File("settings.ini"), {});
  ASSERT_TRUE(store.SetStringValue(kSettingsKey, kInstallPathValue, "/linked/"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.Path() / "settings.ini"));
  EXPECT_NE(ReadFileBytes(dir.Path() / "dotfiles/settings.ini").find("InstallPath=/linked/"), std::string::npos);
}

TEST(PosixSettingsStore, FailedSaveKeepsTheOldFileAndRemovesTheTemporaryOne) {
  const struct {
    test::FileOp op;
    bool saved;  // where no new file can be made, the file is saved in place
  } cases[] = {
      {test::FileOp::kCreateTemp, true}, {test::FileOp::kWrite, false},   {test::FileOp::kFlush, false},
      {test::FileOp::kClose, false},     {test::FileOp::kReplace, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.op));
    TempDir dir;
    const std::string file = dir.File("settings.ini");
    PosixSettingsStore good(file, {});
    ASSERT_TRUE(good.SetStringValue(kSettingsKey, kInstallPathValue, "/old/"));
    const std::string before = ReadFileBytes(file);

    test::FailingFileSystem files;
    files.FailAt(c.op, 1);
    PosixSettingsStore failing(file, {}, files);
    EXPECT_EQ(failing.SetStringValue(kSettingsKey, kInstallPathValue, "/new/maps/folder/"), c.saved);
    EXPECT_TRUE(files.Failed());
    EXPECT_EQ(ReadFileBytes(file).find("/new/maps/folder/") != std::string::npos, c.saved);
    if (!c.saved) {
      EXPECT_EQ(ReadFileBytes(file), before);
    }
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"settings.ini"});
  }
}

TEST(DefaultSettingsFile, FollowsTheConfigFolderConvention) {
  const struct {
    const char* name;
    std::optional<std::string> configHome;
    std::string expected;
  } cases[] = {
      {"XDG_CONFIG_HOME set", std::string("/xdg"), "/xdg/lumpwright/settings.ini"},
      {"XDG_CONFIG_HOME unset", std::nullopt, "/home/ann/.config/lumpwright/settings.ini"},
      {"XDG_CONFIG_HOME empty", std::string(), "/home/ann/.config/lumpwright/settings.ini"},
      {"XDG_CONFIG_HOME relative", std::string("rel"), "/home/ann/.config/lumpwright/settings.ini"},
  };
  test::ScopedEnv home("HOME", "/home/ann");
  for (const auto& c : cases) {
    test::ScopedEnv config("XDG_CONFIG_HOME", c.configHome);
    EXPECT_EQ(DefaultSettingsFile(), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace lw
