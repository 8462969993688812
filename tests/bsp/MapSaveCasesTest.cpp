// Saving maps as server folders hold them: behind links, with other hard
// links, owned by someone else, in folders that take no new file, under a
// file size limit, interrupted by a signal, beside what a killed save left.
// Each case checks what lands on disk: the bytes of the file the path names,
// whether it is still the same file, its owner, mode and link count, the
// links, and that nothing is left beside it.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bsp/BspTestSupport.h"
#include "bsp/CBspFile.h"
#include "entities/EntityText.h"
#include "mapwriter/MapWriter.h"
#include "support/FailingFileSystem.h"
#include "support/OrdinaryUserFiles.h"
#include "support/RecordingMessages.h"
#include "support/TempDir.h"

namespace lw::test {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kOtherUser = 4321;
constexpr gid_t kOtherGroup = 4321;
constexpr uid_t kUser = OrdinaryUserFiles::kUser;
constexpr const char* kAccessList = "system.posix_acl_access";
constexpr const char* kAddedBlock = "{\n\"classname\" \"info_target\"\n\"targetname\" \"added\"\n}\n";

enum class Outcome {
  kReplaced,  // a new file with the new bytes took the map's place
  kInPlace,   // the map's own file holds the new bytes
  kRefused,   // the map's file is exactly as it was
};

// A folder of maps laid out for one case. `savePath` is what the user opens;
// `mapFile` the file its links finally name.
struct Layout {
  TempDir dir;
  fs::path maps;
  fs::path savePath;
  fs::path mapFile;
  // The map's other name, when it has one, and the links that lead to it.
  std::optional<fs::path> otherName;
  std::vector<fs::path> links;
  // The map's access list (POSIX ACL) as stored, when it has one.
  std::string accessList;
  // Files beside the map that the save must leave, and ones it must remove.
  std::vector<std::string> kept;
  std::vector<std::string> removed;
  // A lock held on a file, as a save still in progress holds its new file.
  int heldFile = -1;

  ~Layout() {
    if (heldFile >= 0) close(heldFile);
  }
};

// What happens while the save runs: a signal raised just after a file
// operation, or a file size limit.
struct During {
  std::optional<FileOp> signalAfter;
  int k = 1;
  int signal = 0;
  bool signalIgnored = false;  // the program was started to ignore it (nohup)
  bool sizeLimit = false;      // the limit lies between the old size and the new
  bool bindMount = false;      // the map is bind-mounted over its name, as in a container
};

// The exit status of a child that could not lay out its mount.
constexpr int kCannotMount = 77;

struct SaveCase {
  const char* name;
  std::function<void(Layout&)> arrange;
  bool asOrdinaryUser;
  During during;
  Outcome outcome;
};

void Own(const fs::path& path, uid_t user, gid_t group) { ASSERT_EQ(lchown(path.c_str(), user, group), 0) << path; }
void Mode(const fs::path& path, mode_t mode) { ASSERT_EQ(chmod(path.c_str(), mode), 0) << path; }

std::vector<SaveCase> Cases() {
  const auto plain = [](Layout&) {};
  const auto hardLinked = [](Layout& l) {
    fs::create_directory(l.dir.Path() / "other");
    l.otherName = l.dir.Path() / "other" / "de_case.bsp";
    fs::create_hard_link(l.mapFile, *l.otherName);
  };
  return {
      {"an ordinary map", plain, false, {}, Outcome::kReplaced},
      {"a symbolic link",
       [](Layout& l) {
         fs::create_directory(l.dir.Path() / "shared");
         l.mapFile = l.dir.Path() / "shared" / "de_case.bsp";
         fs::rename(l.savePath, l.mapFile);
         fs::create_symlink("../shared/de_case.bsp", l.savePath);
         l.links = {l.savePath};
       },
       false,
       {},
       Outcome::kReplaced},
      {"a chain of links",
       [](Layout& l) {
         fs::create_directory(l.dir.Path() / "shared");
         l.mapFile = l.dir.Path() / "shared" / "de_case.bsp";
         fs::rename(l.savePath, l.mapFile);
         fs::create_symlink(l.mapFile, l.maps / "middle.bsp");
         fs::create_symlink("middle.bsp", l.savePath);
         l.links = {l.savePath, l.maps / "middle.bsp"};
       },
       false,
       {},
       Outcome::kReplaced},
      {"a map with a second hard link", hardLinked, false, {}, Outcome::kInPlace},
      {"owned by another user, saved by the superuser",
       [](Layout& l) {
         Own(l.mapFile, kOtherUser, kOtherGroup);
         Mode(l.mapFile, 0640);
       },
       false,
       {},
       Outcome::kReplaced},
      {"a map with an access list",
       [](Layout& l) {
         // Version 2; the owner rw-, user 4321 rw-, the group r--, mask rw-, others r--.
         const auto entry = [](std::uint16_t tag, std::uint16_t perm, std::uint32_t id) {
           std::string bytes;
           for (const std::uint32_t value : {std::uint32_t{tag} | (std::uint32_t{perm} << 16U), id}) {
             for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((value >> shift) & 0xFFU);
           }
           return bytes;
         };
         const std::uint32_t none = 0xFFFFFFFFU;
         l.accessList = std::string("\x02\0\0\0", 4) + entry(0x01, 6, none) + entry(0x02, 6, kOtherUser) +
                        entry(0x04, 4, none) + entry(0x10, 6, none) + entry(0x20, 4, none);
         if (setxattr(l.mapFile.c_str(), kAccessList, l.accessList.data(), l.accessList.size(), 0) != 0) {
           l.accessList.clear();  // no access lists on this file system
         }
       },
       false,
       {},
       Outcome::kReplaced},
      {"owned by another user, writable by the one saving",
       [](Layout& l) {
         Own(l.mapFile, kOtherUser, kOtherGroup);
         Mode(l.mapFile, 0666);
         Mode(l.maps, 0777);
       },
       true,
       {},
       Outcome::kInPlace},
      {"the saver's own map in a group the saver is not in",
       [](Layout& l) {
         Own(l.mapFile, kUser, kOtherGroup);
         Mode(l.mapFile, 0664);
         Mode(l.maps, 0777);
       },
       true,
       {},
       Outcome::kInPlace},
      {"a folder without write permission",
       [](Layout& l) {
         Own(l.mapFile, kUser, kUser);
         Mode(l.maps, 0555);
       },
       true,
       {},
       Outcome::kInPlace},
      {"a file bind-mounted over its name",
       [](Layout& l) {
         l.mapFile = l.dir.Path() / "volume.bsp";
         fs::rename(l.savePath, l.mapFile);
         WriteFileBytes(l.savePath, "the mount point");
       },
       false,
       {std::nullopt, 0, 0, false, false, true},
       Outcome::kInPlace},
      {"a file size limit below the new size", plain, false, {std::nullopt, 0, 0, false, true}, Outcome::kRefused},
      {"a file size limit, hard-linked map", hardLinked, false, {std::nullopt, 0, 0, false, true}, Outcome::kRefused},
      {"what killed saves left beside the map",
       [](Layout& l) {
         l.removed = {".de_case.bsp.lumpwright-Ab12Cd", ".de_case.bsp.lumpwright-zzzzzz"};
         l.kept = {".de_case.bsp.lumpwright-InUse1", ".de_case.bsp.lumpwright-notes", ".other.bsp.lumpwright-Ab12Cd"};
         for (const auto& name : l.removed) WriteFileBytes(l.maps / name, "half a map");
         for (const auto& name : l.kept) WriteFileBytes(l.maps / name, "not ours to remove");
         l.heldFile = open((l.maps / l.kept[0]).c_str(), O_RDONLY | O_CLOEXEC);
         ASSERT_EQ(flock(l.heldFile, LOCK_EX), 0);
         // A pipe named like one, which nobody writes to: opening it must not wait.
         l.kept.push_back(".de_case.bsp.lumpwright-Fifo01");
         ASSERT_EQ(mkfifo((l.maps / l.kept.back()).c_str(), 0644), 0);
       },
       false,
       {},
       Outcome::kReplaced},
      {"Ctrl+C once the new file is made", plain, false, {FileOp::kCreateTemp, 1, SIGINT}, Outcome::kRefused},
      {"SIGTERM between writes", plain, false, {FileOp::kWrite, 2, SIGTERM}, Outcome::kRefused},
      {"SIGHUP after the flush", plain, false, {FileOp::kFlush, 1, SIGHUP}, Outcome::kRefused},
      {"Ctrl+C just before the rename", plain, false, {FileOp::kClose, 1, SIGINT}, Outcome::kRefused},
      {"SIGHUP ignored (nohup)", plain, false, {FileOp::kWrite, 1, SIGHUP, true}, Outcome::kReplaced},
      {"Ctrl+C before an in-place write", hardLinked, false, {FileOp::kRead, 1, SIGINT}, Outcome::kRefused},
      {"Ctrl+C during an in-place write", hardLinked, false, {FileOp::kWrite, 2, SIGINT}, Outcome::kInPlace},
  };
}

struct Observed {
  int result = -1;              // SaveMap's
  std::optional<int> killedBy;  // the signal that ended the saving process
  std::vector<std::string> shown;
};

// Loads and saves the map with `text` added, as the case asks; in a child
// process when a signal is to end it.
Observed Save(const SaveCase& c, const Layout& l, const std::string& text) {
  const auto run = [&](RecordingMessages& messages) {
    FailingFileSystem files;
    CBspFile map(messages, files);
    if (map.LoadMap(CString(l.savePath.string())) != 0) return -1;
    files.Reset();
    if (c.during.signalAfter) files.SignalAt(*c.during.signalAfter, c.during.k, c.during.signal);
    std::optional<OrdinaryUserFiles> user;
    if (c.asOrdinaryUser) user.emplace();
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    if (c.during.sizeLimit) {
      rlimit limit = saved;
      limit.rlim_cur = fs::file_size(l.mapFile) + 16;
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    CString edited(text);
    const int result = map.SaveMap(CString(l.savePath.string()), edited);
    setrlimit(RLIMIT_FSIZE, &saved);
    return result;
  };

  Observed observed;
  if (!c.during.signalAfter && !c.during.bindMount) {
    RecordingMessages messages;
    observed.result = run(messages);
    observed.shown = messages.shown;
    return observed;
  }
  const pid_t child = fork();
  if (child == 0) {
    if (c.during.signalIgnored) std::signal(c.during.signal, SIG_IGN);
    // The mount lives in a namespace of the child's own and goes with it.
    if (c.during.bindMount &&
        (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
         mount(l.mapFile.c_str(), l.savePath.c_str(), nullptr, MS_BIND, nullptr) != 0)) {
      _exit(kCannotMount);
    }
    RecordingMessages messages;
    _exit(run(messages) == 0 ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFSIGNALED(status)) observed.killedBy = WTERMSIG(status);
  if (WIFEXITED(status)) observed.result = WEXITSTATUS(status);
  return observed;
}

TEST(MapSaveCases, EachCaseSavesWhereItShouldAndKeepsWhatTheMapIs) {
  const std::string entityText = mapwriter::MakeEntityText(30);
  const std::string original = mapwriter::WriteMap(mapwriter::MakeMapContents(entityText, 5));
  const std::string display = ToDisplayText((entityText + kAddedBlock).c_str()).Str();
  CString converted(display);
  ToLumpText(converted);
  const std::string saved = ExpectedSave(original, converted.Str());
  const bool root = geteuid() == 0;

  for (const SaveCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    Layout l;
    Mode(l.dir.Path(), 0755);
    l.maps = l.dir.Path() / "maps";
    fs::create_directory(l.maps);
    l.savePath = l.maps / "de_case.bsp";
    l.mapFile = l.savePath;
    WriteFileBytes(l.savePath, original);
    // Laying out another user's files takes the superuser, who then saves
    // with an ordinary user's permissions where the case needs one.
    if (!root && (c.asOrdinaryUser || std::string(c.name).find("superuser") != std::string::npos)) {
      std::printf("skipped, needs the superuser: %s\n", c.name);
      continue;
    }
    ASSERT_NO_FATAL_FAILURE(c.arrange(l));
    if (c.asOrdinaryUser && !OrdinaryUserFiles().Active()) {
      std::printf("skipped, cannot check files as an ordinary user: %s\n", c.name);
      continue;
    }

    struct stat before {};
    ASSERT_EQ(stat(l.mapFile.c_str(), &before), 0);

    const Observed observed = Save(c, l, display);
    if (c.during.bindMount && observed.result == kCannotMount) {
      std::printf("skipped, no bind mounts here: %s\n", c.name);
      continue;
    }

    // Who saw what.
    if (c.during.signalAfter && !c.during.signalIgnored) {
      EXPECT_EQ(observed.killedBy, c.during.signal) << "the program did not end as the signal asked";
    } else if (c.during.signalAfter || c.during.bindMount) {
      EXPECT_EQ(observed.result, 0);  // saved in another process: its messages are its own
    } else if (c.outcome == Outcome::kRefused) {
      EXPECT_EQ(observed.result, 1);
      EXPECT_EQ(observed.shown, std::vector<std::string>{"Error saving the file: de_case.bsp."});
    } else {
      EXPECT_EQ(observed.result, 0);
      EXPECT_EQ(observed.shown, std::vector<std::string>{"The file:  de_case.bsp\nwas saved!"});
    }

    // What is on disk.
    struct stat after {};
    ASSERT_EQ(stat(l.mapFile.c_str(), &after), 0);
    const std::string bytes = ReadFileBytes(l.mapFile);
    EXPECT_TRUE(bytes == (c.outcome == Outcome::kRefused ? original : saved)) << "the map holds the wrong bytes";
    EXPECT_EQ(after.st_ino == before.st_ino, c.outcome != Outcome::kReplaced) << "saved the wrong way";
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_nlink, before.st_nlink);
    if (!l.accessList.empty()) {
      std::string kept(256, '\0');
      const ssize_t length = getxattr(l.mapFile.c_str(), kAccessList, kept.data(), kept.size());
      EXPECT_EQ(kept.substr(0, static_cast<size_t>(std::max<ssize_t>(length, 0))), l.accessList);
    }
    if (l.otherName) {
      EXPECT_TRUE(ReadFileBytes(*l.otherName) == bytes) << "the map's names differ";
    }
    for (const fs::path& link : l.links) EXPECT_TRUE(fs::is_symlink(link)) << link << " is no longer a link";
    std::vector<std::string> expected = {"de_case.bsp"};
    if (fs::is_symlink(l.maps / "middle.bsp")) expected.push_back("middle.bsp");
    expected.insert(expected.end(), l.kept.begin(), l.kept.end());
    std::vector<std::string> entries;
    for (const auto& entry : fs::directory_iterator(l.maps)) entries.push_back(entry.path().filename().string());
    std::sort(expected.begin(), expected.end());
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, expected) << "files were left or removed beside the map";
    if (l.mapFile.parent_path().filename() == "shared") {
      EXPECT_EQ(fs::hard_link_count(l.mapFile.parent_path()), 2u);
      EXPECT_EQ(std::distance(fs::directory_iterator(l.mapFile.parent_path()), fs::directory_iterator()), 1);
    }
  }
}

}  // namespace
}  // namespace lw::test
