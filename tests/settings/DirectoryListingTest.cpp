#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/DirectoryListing.h"
#include "support/TempDir.h"

namespace lw {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFileBytes;

// Entry names as listed, directories marked with a trailing '/'.
std::vector<std::string> Listed(const std::string& pattern) {
  std::vector<std::string> names;
  for (const DirectoryEntry& entry : ListDirectory(CString(pattern))) {
    names.push_back(entry.name.Str() + (entry.isDirectory ? "/" : ""));
  }
  return names;
}

class DirectoryListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    maps_ = dir_.Path() / "maps";
    fs::create_directories(maps_ / "folder.bsp");
    fs::create_directories(maps_ / "sub");
    for (const char* name :
         {"de_dust.bsp", "CS_ITALY.BSP", ".hidden.bsp", "notes.txt", "de_dust.bsp.bak", "bsp", "as_oilrig.Bsp"}) {
      WriteFileBytes(maps_ / name, "x");
    }
    fs::create_directory_symlink(maps_ / "sub", maps_ / "linked.bsp");
    fs::create_symlink(maps_ / "de_dust.bsp", maps_ / "alias.bsp");
    fs::create_symlink(maps_ / "gone", maps_ / "dangling.bsp");
    for (const char* name : {"maps.bsp", "mapsB.BSP", "xmaps.bsp", "maps.bspx"}) {
      WriteFileBytes(dir_.Path() / name, "x");
    }
  }

  TempDir dir_;
  fs::path maps_;
};

TEST_F(DirectoryListingTest, PatternsMatchNamesWithoutRegardToCase) {
  const std::string maps = maps_.string();
  const std::string top = dir_.Path().string();
  const struct {
    const char* name;
    std::string pattern;
    std::vector<std::string> expected;
  } cases[] = {
      {"map files in any case, hidden ones, directories flagged, links followed",
       maps + "/*.bsp",
       {".hidden.bsp", "CS_ITALY.BSP", "alias.bsp", "as_oilrig.Bsp", "dangling.bsp", "de_dust.bsp", "folder.bsp/",
        "linked.bsp/"}},
      {"capital pattern",
       maps + "/*.BSP",
       {".hidden.bsp", "CS_ITALY.BSP", "alias.bsp", "as_oilrig.Bsp", "dangling.bsp", "de_dust.bsp", "folder.bsp/",
        "linked.bsp/"}},
      {"folder without its separator lists the parent", maps, {"maps/"}},
      {"prefix pattern of a folder without separator", top + "/maps*.bsp", {"maps.bsp", "mapsB.BSP"}},
      {"question mark takes one character", maps + "/de_?ust.bsp", {"de_dust.bsp"}},
      {"star in the middle", maps + "/*_*.bsp", {"CS_ITALY.BSP", "as_oilrig.Bsp", "de_dust.bsp"}},
      {"doubled separator", maps + "//*.txt", {"notes.txt"}},
      {"exact name", maps + "/BSP", {"bsp"}},
      {"nothing matches", maps + "/*.wad", {}},
      {"missing folder", top + "/nowhere/*.bsp", {}},
      {"a file taken for a folder", maps + "/notes.txt/*.bsp", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Listed(c.pattern), c.expected) << c.name;
  }
}

TEST_F(DirectoryListingTest, PatternWithoutSeparatorListsTheCurrentFolder) {
  const fs::path before = fs::current_path();
  fs::current_path(maps_);
  const std::vector<std::string> listed = Listed("*.txt");
  const std::vector<std::string> everything = Listed("*");
  fs::current_path(before);
  EXPECT_EQ(listed, std::vector<std::string>{"notes.txt"});
  EXPECT_EQ(everything.size(), 12U) << "every entry but . and ..";
}

}  // namespace
}  // namespace lw
