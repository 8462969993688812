#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/CFile.h"
#include "platform/FileSave.h"
#include "platform/posix/PosixFileSystem.h"
#include "support/TempDir.h"

namespace lw {
namespace {

bool SaveWith(FileSystem& files, const std::string& path, const std::string& bytes) {
  return SaveFileBytes(files, CString(path), bytes);
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
  ASSERT_TRUE(SaveWith(SystemFileSystem(), map, "new bytes"));
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

TEST(PosixFileSystem, ABatchOfSavesStillReplacesAtOnce) {
  test::TempDir dir;
  const std::string map = dir.File("de_test.bsp");
  test::WriteFileBytes(map, "old");
  {
    const SaveBatch batch(SystemFileSystem());
    ASSERT_TRUE(SaveWith(SystemFileSystem(), map, "new"));
    EXPECT_EQ(test::ReadFileBytes(map), "new");
  }
  ASSERT_TRUE(SaveWith(SystemFileSystem(), map, "newer"));
  EXPECT_EQ(test::ReadFileBytes(map), "newer");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"de_test.bsp"});
}

TEST(PosixFileSystem, HoldingAMissingMapCreatesNothing) {
  test::TempDir dir;
  FileSave save(SystemFileSystem());
  ASSERT_TRUE(save.Open(CString(dir.File("gone.bsp"))));
  save.Abort();
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
    FileSave save(SystemFileSystem());
    EXPECT_FALSE(save.Open(CString(map)));
    CFile read;
    EXPECT_FALSE(read.Open(CString(map), CFile::Mode::kRead));
    close(other);
  }
  ASSERT_EQ(chmod(map.c_str(), 0444), 0);
  FileSave save(SystemFileSystem());
  EXPECT_FALSE(save.Open(CString(map)));
  CFile read;
  EXPECT_TRUE(read.Open(CString(map), CFile::Mode::kRead));
  CFile folder;
  EXPECT_FALSE(folder.Open(CString(dir.Path().string()), CFile::Mode::kRead));
}

// NFS gives an exclusive lock only to a file open for writing.
int NfsLock(int fd, int operation) {
  if ((operation & LOCK_EX) != 0 && (fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDONLY) {
    errno = EBADF;
    return -1;
  }
  return flock(fd, operation);
}

// Some FUSE file systems offer no locks at all.
int NoLocks(int /*fd*/, int /*operation*/) {
  errno = ENOLCK;
  return -1;
}

TEST(PosixFileSystem, MapsLoadAndSaveWhereverLocksDiffer) {
  const struct {
    const char* name;
    LockCall lock;
    bool keepsSavesApart;  // a map held by another program cannot be saved
  } cases[] = {
      {"local", ::flock, true},
      {"NFS", NfsLock, true},
      {"no locks", NoLocks, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const std::string map = dir.File("de_nfs.bsp");
    test::WriteFileBytes(map, "old bytes");
    const std::unique_ptr<FileSystem> files = MakePosixFileSystem(c.lock);

    CFile read(*files);
    ASSERT_TRUE(read.Open(CString(map), CFile::Mode::kRead));
    std::string bytes(9, '\0');
    EXPECT_EQ(read.Read(bytes.data(), bytes.size()), 9u);
    read.Close();
    EXPECT_TRUE(SaveWith(*files, map, "new bytes"));
    EXPECT_EQ(test::ReadFileBytes(map), "new bytes");

    // Another program in the middle of a save of the same map.
    FileSave other(*files);
    ASSERT_TRUE(other.Open(CString(map)));
    EXPECT_EQ(SaveWith(*files, map, "third"), !c.keepsSavesApart);
    other.Abort();
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"de_nfs.bsp"});
  }
}

}  // namespace
}  // namespace lw
