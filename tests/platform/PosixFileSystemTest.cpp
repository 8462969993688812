#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include "platform/CFile.h"
#include "support/TempDir.h"

namespace lw {
namespace {

// Replacing a map: take hold of it, write a new file beside it, put that in
// its place.
bool ReplaceWith(const std::string& path, const std::string& bytes) {
  CFile hold;
  CFile temp;
  if (!hold.Open(CString(path), CFile::Mode::kReplace) || !temp.OpenTempBeside(CString(path))) return false;
  temp.Write(bytes.data(), bytes.size());
  temp.Flush();
  const CString tempPath = temp.GetFilePath();
  temp.Close();
  hold.Close();
  SystemFileSystem().Replace(tempPath, CString(path));
  return true;
}

TEST(PosixFileSystem, ReplacedFileKeepsModeAndOwner) {
  test::TempDir dir;
  const std::string map = dir.File("de_test.bsp");
  test::WriteFileBytes(map, "old");
  ASSERT_EQ(chmod(map.c_str(), 0640), 0);
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(map.c_str(), 4321, 4321), 0);
  }
  ASSERT_TRUE(ReplaceWith(map, "new bytes"));
  struct stat info {};
  ASSERT_EQ(stat(map.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(info.st_uid, 4321u);
    EXPECT_EQ(info.st_gid, 4321u);
  }
  EXPECT_EQ(test::ReadFileBytes(map), "new bytes");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"de_test.bsp"});
}

TEST(PosixFileSystem, DeferredFolderSyncsStillReplaceAtOnce) {
  test::TempDir dir;
  const std::string map = dir.File("de_test.bsp");
  test::WriteFileBytes(map, "old");
  {
    const DeferredFolderSyncs batch(SystemFileSystem());
    ASSERT_TRUE(ReplaceWith(map, "new"));
    EXPECT_EQ(test::ReadFileBytes(map), "new");
  }
  ASSERT_TRUE(ReplaceWith(map, "newer"));
  EXPECT_EQ(test::ReadFileBytes(map), "newer");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"de_test.bsp"});
}

TEST(PosixFileSystem, HoldingAMissingMapCreatesNothing) {
  test::TempDir dir;
  const std::string map = dir.File("gone.bsp");
  CFile hold;
  ASSERT_TRUE(hold.Open(CString(map), CFile::Mode::kReplace));
  hold.Close();
  EXPECT_TRUE(dir.Entries().empty());
}

TEST(PosixFileSystem, MapsInUseOrReadOnlyCannotBeTakenHoldOf) {
  test::TempDir dir;
  const std::string map = dir.File("map.bsp");
  test::WriteFileBytes(map, "bytes");
  {
    const int other = open(map.c_str(), O_RDONLY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX), 0);
    CFile hold;
    EXPECT_FALSE(hold.Open(CString(map), CFile::Mode::kReplace));
    EXPECT_FALSE(hold.Open(CString(map), CFile::Mode::kRead));
    close(other);
  }
  ASSERT_EQ(chmod(map.c_str(), 0444), 0);
  CFile hold;
  EXPECT_FALSE(hold.Open(CString(map), CFile::Mode::kReplace));
  EXPECT_TRUE(hold.Open(CString(map), CFile::Mode::kRead));
  CFile folder;
  EXPECT_FALSE(folder.Open(CString(dir.Path().string()), CFile::Mode::kRead));
}

}  // namespace
}  // namespace lw
