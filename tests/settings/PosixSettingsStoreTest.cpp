#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/posix/PosixSettingsStore.h"
#include "settings/MapFolderSettings.h"
#include "ScopedEnv.h"
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
  EXPECT_NE(text.find("[Software\\Quellmoor\\Lumpwright\\Settings]\nInstallPath=/home/ann/maps/\n"),
            std::string::npos)
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

// Passes everything to the real files, failing one chosen step of a save.
class FailingFiles final : public FileSystem {
 public:
  enum class Step { kCreateTemp, kWrite, kFlush, kClose, kReplace };
  explicit FailingFiles(Step step) : step_(step) {}

  FileHandle OpenRead(const CString& path) override { return real_.OpenRead(path); }
  FileHandle OpenWrite(const CString& path) override { return real_.OpenWrite(path); }
  FileHandle OpenForReplace(const CString& path) override { return real_.OpenForReplace(path); }
  FileHandle CreateTempBeside(const CString& target, CString& tempPath) override {
    return step_ == Step::kCreateTemp ? kNoFile : real_.CreateTempBeside(target, tempPath);
  }
  bool QuerySize(FileHandle file, std::uint64_t& size) override { return real_.QuerySize(file, size); }
  size_t Read(FileHandle file, void* buffer, size_t count) override { return real_.Read(file, buffer, count); }
  void Write(FileHandle file, const void* buffer, size_t count) override {
    if (step_ == Step::kWrite) {
      real_.Write(file, buffer, count / 2);
      throw FileError("write: the disk is full");
    }
    real_.Write(file, buffer, count);
  }
  void Flush(FileHandle file) override {
    if (step_ == Step::kFlush) throw FileError("fsync failed");
    real_.Flush(file);
  }
  void Close(FileHandle file) override {
    real_.Close(file);
    if (step_ == Step::kClose) throw FileError("close failed");
  }
  void Abort(FileHandle file) noexcept override { real_.Abort(file); }
  void Replace(const CString& tempPath, const CString& target) override {
    if (step_ == Step::kReplace) throw FileError("rename failed");
    real_.Replace(tempPath, target);
  }
  void Remove(const CString& path) noexcept override { real_.Remove(path); }

 private:
  Step step_;
  FileSystem& real_ = SystemFileSystem();
};

TEST(PosixSettingsStore, FailedSaveKeepsTheOldFileAndRemovesTheTemporaryOne) {
  using Step = FailingFiles::Step;
  for (const Step step : {Step::kCreateTemp, Step::kWrite, Step::kFlush, Step::kClose, Step::kReplace}) {
    TempDir dir;
    const std::string file = dir.File("settings.ini");
    PosixSettingsStore good(file, {});
    ASSERT_TRUE(good.SetStringValue(kSettingsKey, kInstallPathValue, "/old/"));
    const std::string before = ReadFileBytes(file);

    FailingFiles files(step);
    PosixSettingsStore failing(file, {}, files);
    EXPECT_FALSE(failing.SetStringValue(kSettingsKey, kInstallPathValue, "/new/maps/folder/"))
        << static_cast<int>(step);
    EXPECT_EQ(ReadFileBytes(file), before) << static_cast<int>(step);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"settings.ini"}) << static_cast<int>(step);
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
