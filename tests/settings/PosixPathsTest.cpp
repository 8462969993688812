#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ScopedEnv.h"
#include "platform/Paths.h"
#include "support/TempDir.h"

namespace lw {
namespace {

TEST(PosixPaths, EntityDumpGoesToTheCurrentFolderWithoutHome) {
  test::TempDir dir;
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  const std::string expected = (std::filesystem::current_path() / "AllEntities.txt").string();
  CString path;
  {
    test::ScopedEnv home("HOME", std::nullopt);
    path = EntityDumpPath();
  }
  std::filesystem::current_path(before);
  EXPECT_EQ(path.Str(), expected);
}

}  // namespace
}  // namespace lw
