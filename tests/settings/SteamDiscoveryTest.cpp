#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/posix/PosixSettingsStore.h"
#include "settings/MapFolderSettings.h"
#include "support/TempDir.h"

namespace lw {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFileBytes;

// A Steam library under `library` holding Half-Life, with or without cstrike.
void AddGame(const fs::path& library, bool withCstrike) {
  fs::create_directories(library / "steamapps/common/Half-Life/valve");
  if (withCstrike) fs::create_directories(library / "steamapps/common/Half-Life/cstrike/maps");
}

std::string GameFolder(const fs::path& library) {
  return fs::canonical(library / "steamapps/common/Half-Life").string();
}

std::string LibraryFile(const std::vector<std::string>& paths) {
  std::string vdf = "\"libraryfolders\"\n{\n\t\"contentstatsid\"\t\t\"-123\"\n";
  for (size_t i = 0; i < paths.size(); ++i) {
    vdf += "\t\"" + std::to_string(i) + "\"\n\t{\n\t\t\"path\"\t\t\"" + paths[i] +
           "\"\n\t\t\"label\"\t\t\"\"\n\t\t\"apps\"\n\t\t{\n\t\t\t\"10\"\t\t\"123\"\n\t\t}\n\t}\n";
  }
  return vdf + "}\n";
}

// What the store answers for both game keys: the value, or "" when absent.
struct GameAnswers {
  std::string counterStrike;
  std::string halfLife;
};

GameAnswers Ask(const fs::path& home, const std::string& settingsFile) {
  PosixSettingsStore store(settingsFile, SteamRootsUnder(home.string()));
  GameAnswers answers;
  char buffer[kRegistryBufferSize];
  if (ReadRegistryString(store, kCounterStrikeKey, kInstallPathValue, buffer)) answers.counterStrike = buffer;
  if (ReadRegistryString(store, kHalfLifeKey, kInstallPathValue, buffer)) answers.halfLife = buffer;
  return answers;
}

TEST(SteamDiscovery, GameKeysAnswerFromSteamLibraries) {
  TempDir dir;
  const fs::path home = dir.Path() / "home";
  const fs::path mainRoot = home / ".local/share/Steam";
  const fs::path extra = dir.Path() / "mnt/games/SteamLibrary";
  const std::string settings = dir.File("settings.ini");

  // No Steam at all: both keys are absent.
  fs::create_directories(home);
  GameAnswers answers = Ask(home, settings);
  EXPECT_EQ(answers.counterStrike, "");
  EXPECT_EQ(answers.halfLife, "");

  // Half-Life without Counter-Strike answers only the Half-Life key.
  AddGame(mainRoot, false);
  answers = Ask(home, settings);
  EXPECT_EQ(answers.counterStrike, "");
  EXPECT_EQ(answers.halfLife, GameFolder(mainRoot));

  // Counter-Strike in an extra library listed by the main root.
  AddGame(extra, true);
  WriteFileBytes(mainRoot / "steamapps/libraryfolders.vdf", LibraryFile({mainRoot.string(), extra.string()}));
  answers = Ask(home, settings);
  EXPECT_EQ(answers.counterStrike, GameFolder(extra));
  EXPECT_EQ(answers.halfLife, GameFolder(mainRoot));

  // The settings file's own entry for a game key wins over Steam.
  PosixSettingsStore(settings, {}).SetStringValue(kCounterStrikeKey, kInstallPathValue, "/opt/cs");
  EXPECT_EQ(Ask(home, settings).counterStrike, "/opt/cs");
}

TEST(SteamDiscovery, FlatpakAndLinkedRoots) {
  TempDir dir;
  const fs::path home = dir.Path() / "home";
  const fs::path flatpakRoot = home / ".var/app/com.valvesoftware.Steam/.local/share/Steam";
  AddGame(flatpakRoot, true);
  GameAnswers answers = Ask(home, dir.File("settings.ini"));
  EXPECT_EQ(answers.counterStrike, GameFolder(flatpakRoot));
  EXPECT_EQ(answers.halfLife, GameFolder(flatpakRoot));

  // ~/.steam/steam is usually a link to the real root; the answer names the
  // real folder.
  const fs::path realRoot = dir.Path() / "elsewhere/Steam";
  AddGame(realRoot, true);
  fs::create_directories(home / ".steam");
  fs::create_directory_symlink(realRoot, home / ".steam/steam");
  answers = Ask(home, dir.File("settings.ini"));
  EXPECT_EQ(answers.counterStrike, GameFolder(realRoot));
}

TEST(SteamDiscovery, LibraryFoldersFileFormats) {
  const struct {
    const char* name;
    std::string vdf;
    std::vector<std::string> expected;
  } cases[] = {
      {"nested blocks", LibraryFile({"/a", "/mnt/b c"}), {"/a", "/mnt/b c"}},
      {"older flat form",
       "\"LibraryFolders\"\n{\n\t\"TimeNextStatsReport\"\t\"1\"\n\t\"1\"\t\"/old/lib\"\n}\n",
       {"/old/lib"}},
      {"escaped characters",
       "\"libraryfolders\" { \"0\" { \"path\" \"D:\\\\Steam \\\"x\\\"\" } }",
       {"D:\\Steam \"x\""}},
      {"comments and bare words", "// made by hand\nlibraryfolders { 0 { path /bare // tail\n } }", {"/bare"}},
      {"apps and labels are not folders", LibraryFile({"/only"}), {"/only"}},
      {"cut short", "\"libraryfolders\" { \"0\" { \"path\" \"/cut", {"/cut"}},
      {"empty", "", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LibraryFoldersOf(c.vdf), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace lw
