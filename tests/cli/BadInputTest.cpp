// Broken maps and awkward files through the command line: every one is
// refused with a message that names the file and the fault, with exit status
// 1, and never changes the map; the unusual but valid ones work.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "CliRun.h"
#include "cli/Cli.h"
#include "entities/EntityText.h"
#include "mapwriter/MapLayoutWriter.h"
#include "mapwriter/MapWriter.h"
#include "mapwriter/TestMaps.h"
#include "platform/CString.h"
#include "support/OrdinaryUserFiles.h"
#include "support/TempDir.h"

namespace lw {
namespace {

using test::CliResult;
using test::OrdinaryUserFiles;
using test::RunArgs;

namespace fs = std::filesystem;
namespace mw = lw::mapwriter;
using test::ReadFileBytes;
using test::WriteFileBytes;

constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();

// Stand-ins in the expected messages for the map's path and file name.
constexpr std::string_view kPathMark = "PATH";
constexpr std::string_view kNameMark = "NAME";

const std::string kOpenFailed = "Error openning the file: PATH.\nMake sure it isn't opened in another program.\n";
constexpr const char* kHeld = "(held open by another program (it is locked))\n";
constexpr const char* kTooShort = "Error openning the file: PATH.\nThe file is shorter than the 124-byte map header.\n";
constexpr const char* kNoNul = "Error openning the file: PATH.\nThe entity lump has no NUL byte inside it.\n";
constexpr const char* kSaved = "The file:  NAME\nwas saved!\n";

// The text every import stores.
constexpr const char* kImportText =
    "{\r\n\"classname\" \"worldspawn\"\r\n}\r\n{\r\n\"classname\" \"info_target\"\r\n}\r\n";

std::string Replace(std::string text, std::string_view mark, const std::string& by) {
  for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + by.size())) {
    text.replace(at, mark.size(), by);
  }
  return text;
}

// --- The map as the tests read it, independently of the program ---------------

struct Lump {
  std::int64_t offset;
  std::int64_t length;
};

Lump DirectoryEntry(const std::string& map, int index) {
  return {mw::ReadInt32At(map, mw::OffsetField(index)), mw::ReadInt32At(map, mw::LengthField(index))};
}

std::string LumpBytes(const std::string& map, int index) {
  const Lump lump = DirectoryEntry(map, index);
  return map.substr(static_cast<size_t>(lump.offset), static_cast<size_t>(lump.length));
}

// A stored map holds `lumpText` as its entity lump and every other lump's
// bytes as `before` had them, wherever the save put them.
void ExpectOnlyEntitiesChanged(const std::string& before, const std::string& after, const std::string& lumpText) {
  ASSERT_GE(after.size(), mw::kHeaderBytes);
  EXPECT_EQ(mw::ReadInt32At(after, 0), 30);
  for (int index = 0; index < mw::kLumpCount; ++index) {
    const Lump lump = DirectoryEntry(after, index);
    ASSERT_GE(lump.offset, 0) << "lump " << index;
    ASSERT_LE(lump.offset + lump.length, static_cast<std::int64_t>(after.size())) << "lump " << index;
    if (index == mw::kEntities) continue;
    EXPECT_TRUE(LumpBytes(after, index) == LumpBytes(before, index)) << "lump " << index << " changed";
  }
  EXPECT_EQ(LumpBytes(after, mw::kEntities), lumpText + '\0');
}

std::string LumpForm(const std::string& displayText) {
  CString text(displayText);
  ToLumpText(text);
  return text.Str();
}

// --- Inputs -----------------------------------------------------------------

std::string SmallMap() { return mw::MakeTestMap("standard.bsp"); }

std::string WithField(std::string map, size_t field, std::int32_t value) {
  mw::PutInt32At(map, field, value);
  return map;
}

// What happens to the path before the commands run, and while they do.
enum class Condition {
  kNone,
  kMissing,         // nothing at the path
  kFolder,          // a folder at the path
  kHeldOpen,        // another program holds the map with an exclusive lock
  kReadOnlyFolder,  // the map's folder has no write permission
};

// What a command prints on standard error (exact, with PATH and NAME for the
// map's path and name) and its exit status; success prints nothing there.
struct Outcome {
  int status;
  std::string err;
};

struct Row {
  std::string what;
  std::string name;   // the map's file name
  std::string bytes;  // the map's contents
  Outcome read;       // info, show and export
  Outcome import;
  Condition condition = Condition::kNone;
};

const Outcome kWorks{kExitSuccess, ""};

Outcome Refused(const std::string& err) { return {kExitFailure, err}; }

std::vector<Row> FileRows() {
  const std::string map = SmallMap();
  mw::MapContents v29 = mw::MakeMapContents(mw::TestEntityText(), 3, 4096, 1024);
  v29.version = 29;
  mw::MapContents v31 = v29;
  v31.version = 31;
  return {
      {"empty file", "empty.bsp", "", Refused(kTooShort), Refused(kTooShort)},
      {"3 bytes", "three.bsp", std::string("\x1e\0\0", 3), Refused(kTooShort), Refused(kTooShort)},
      {"header cut short", "cut.bsp", map.substr(0, 123), Refused(kTooShort), Refused(kTooShort)},
      {"version 29", "v29.bsp", mw::WriteMap(v29), Refused("BSP is version 29, not 30\n"),
       Refused("BSP is version 29, not 30\n")},
      {"version 31", "v31.bsp", mw::WriteMap(v31), Refused("BSP is version 31, not 30\n"),
       Refused("BSP is version 31, not 30\n")},
      {"entity lump without NUL", "no_nul.bsp", mw::MakeTestMap("entities_without_nul.bsp"), Refused(kNoNul),
       Refused(kNoNul)},
      // The command line says why under the editor's message.
      {"a text file named like a map", "text.bsp", std::string(200, 'x'),
       Refused("BSP is version 2021161080, not 30\n(not a BSP file)\n"),
       Refused("BSP is version 2021161080, not 30\n(not a BSP file)\n")},
      {"missing file", "missing.bsp", "", Refused(kOpenFailed + "(No such file or directory)\n"),
       Refused(kOpenFailed + "(No such file or directory)\n"), Condition::kMissing},
      {"folder named like a map", "folder.bsp", "", Refused(kOpenFailed + "(Is a directory)\n"),
       Refused(kOpenFailed + "(Is a directory)\n"), Condition::kFolder},
      {"map held open elsewhere", "held.bsp", map, Refused(kOpenFailed + kHeld), Refused(kOpenFailed + kHeld),
       Condition::kHeldOpen},
      // No new file can be made there: the map is saved in place.
      {"map in a folder without write permission", "locked_folder.bsp", map, kWorks, kWorks,
       Condition::kReadOnlyFolder},
      {"non-ASCII path", "dé_ünïcödé_地图.bsp", map, kWorks, kWorks},
  };
}

// Every field of the directory made negative or pointing past the end, one
// at a time.
std::vector<Row> DirectoryRows() {
  const std::string map = SmallMap();
  const auto size = static_cast<std::int64_t>(map.size());
  std::vector<Row> rows;
  for (int index = 0; index < mw::kLumpCount; ++index) {
    const Lump lump = DirectoryEntry(map, index);
    const std::string prefix = "Error openning the file: PATH.\nLump " + std::to_string(index);
    const std::string negativeOffset = prefix + " has a negative offset.\n";
    const std::string negativeLength = prefix + " has a negative length.\n";
    const std::string pastEnd = prefix + " runs past the end of the file.\n";
    const std::string inHeader = prefix + " overlaps the map header.\n";
    const struct {
      const char* what;
      size_t field;
      std::int64_t value;
      std::string err;
    } faults[] = {
        {"offset -1", mw::OffsetField(index), -1, negativeOffset},
        {"offset INT32_MIN", mw::OffsetField(index), kInt32Min, negativeOffset},
        {"length -1", mw::LengthField(index), -1, negativeLength},
        {"length INT32_MIN", mw::LengthField(index), kInt32Min, negativeLength},
        {"offset just past the end", mw::OffsetField(index), size + 1, pastEnd},
        {"offset INT32_MAX", mw::OffsetField(index), kInt32Max, pastEnd},
        {"length one byte too long", mw::LengthField(index), size - lump.offset + 1, pastEnd},
        {"length INT32_MAX", mw::LengthField(index), kInt32Max, pastEnd},
        {"offset inside the header", mw::OffsetField(index), 100, lump.length > 0 ? inHeader : ""},
    };
    for (const auto& fault : faults) {
      // An empty lump may sit anywhere up to the end, the header included.
      if (fault.err.empty()) continue;
      const std::string name = "lump" + std::to_string(index) + ".bsp";
      rows.push_back({"lump " + std::to_string(index) + " " + fault.what, name,
                      WithField(map, fault.field, static_cast<std::int32_t>(fault.value)), Refused(fault.err),
                      Refused(fault.err)});
    }
  }
  return rows;
}

// Lumps that share bytes: the compile tools never write them, but reading
// them is safe and a save keeps every lump's own bytes.
std::vector<Row> OverlapRows() {
  const std::string map = SmallMap();
  const Lump entities = DirectoryEntry(map, mw::kEntities);
  const Lump planes = DirectoryEntry(map, mw::kPlanes);
  const Lump textures = DirectoryEntry(map, mw::kTextures);
  const Lump visibility = DirectoryEntry(map, mw::kVisibility);
  std::string sameBytes = WithField(map, mw::OffsetField(mw::kVertices), static_cast<std::int32_t>(planes.offset));
  std::string intoEntities = WithField(map, mw::LengthField(mw::kVisibility),
                                       static_cast<std::int32_t>(entities.offset - visibility.offset + 8));
  std::string texturesInsideEntities =
      WithField(map, mw::OffsetField(mw::kTextures), static_cast<std::int32_t>(entities.offset + 4));
  mw::PutInt32At(texturesInsideEntities, mw::LengthField(mw::kTextures),
                 static_cast<std::int32_t>(textures.offset + textures.length - entities.offset - 4));
  return {
      {"two lumps on the same bytes", "shared.bsp", sameBytes, kWorks, kWorks},
      {"a lump running into the entity lump", "into_entities.bsp", intoEntities, kWorks, kWorks},
      {"the textures lump inside the entity lump", "textures_inside.bsp", texturesInsideEntities, kWorks, kWorks},
  };
}

// A large map: 2 MiB of entity text.
Row LargeEntityLumpRow() {
  std::string text = mw::MakeEntityText(20000, 11);
  while (text.size() < (size_t{2} << 20)) text += mw::MakeEntityText(2000, static_cast<std::uint32_t>(text.size()));
  return {"entity lump of 2 MiB", "large.bsp", mw::WriteMap(mw::MakeMapContents(text, 11)), kWorks, kWorks};
}

class BadInputTest : public ::testing::Test {
 protected:
  // Runs info, show and import on the row's map and checks each outcome.
  void Check(const Row& row) {
    SCOPED_TRACE(row.what);
    test::TempDir dir;
    const fs::path folder = dir.Path() / "maps";
    fs::create_directory(folder);
    const std::string path = (folder / row.name).string();
    const std::string textFile = dir.File("import.ent");
    WriteFileBytes(textFile, kImportText);
    switch (row.condition) {
      case Condition::kMissing: break;
      case Condition::kFolder: fs::create_directory(path); break;
      default: WriteFileBytes(path, row.bytes); break;
    }

    int holder = -1;
    std::optional<OrdinaryUserFiles> user;
    if (row.condition == Condition::kHeldOpen) {
      holder = open(path.c_str(), O_RDONLY | O_CLOEXEC);
      ASSERT_GE(holder, 0);
      ASSERT_EQ(flock(holder, LOCK_EX), 0);
    }
    if (row.condition == Condition::kReadOnlyFolder) {
      if (geteuid() == 0) {
        ASSERT_EQ(chmod(dir.Path().c_str(), 0711), 0);
        ASSERT_EQ(chown(folder.c_str(), OrdinaryUserFiles::kUser, OrdinaryUserFiles::kUser), 0);
        ASSERT_EQ(chown(path.c_str(), OrdinaryUserFiles::kUser, OrdinaryUserFiles::kUser), 0);
        user.emplace();
        if (!user->Active()) GTEST_SKIP() << "run as the superuser, who may write into any folder";
      }
      ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    }

    const auto expect = [&](const char* command, const Outcome& outcome, const CliResult& result) {
      std::string err = Replace(Replace(outcome.err, kPathMark, path), kNameMark, row.name);
      // A failure comes as one line that starts with the map's path.
      if (outcome.status != kExitSuccess && !err.empty()) {
        err.pop_back();
        std::replace(err.begin(), err.end(), '\n', ' ');
        err = path + ": error: " + err + "\n";
      }
      EXPECT_EQ(result.status, outcome.status) << command << "\nstderr: " << result.err;
      EXPECT_EQ(result.err, err) << command;
      if (outcome.status != kExitSuccess) {
        EXPECT_EQ(result.out, "") << command;
      }
    };

    const CliResult info = RunArgs({"info", path});
    // info takes a folder for the maps in it, as the batch commands do.
    if (row.condition == Condition::kFolder) {
      EXPECT_EQ(info.status, kExitFailure);
      EXPECT_NE(info.err.find("no maps in " + path), std::string::npos) << info.err;
    } else {
      expect("info", row.read, info);
    }
    if (row.read.status == kExitSuccess) {
      EXPECT_NE(info.out.find("map:          " + path + "\n"), std::string::npos);
    }

    const CliResult show = RunArgs({"show", path});
    expect("show", row.read, show);
    if (row.read.status == kExitSuccess) {
      const Lump entities = DirectoryEntry(row.bytes, mw::kEntities);
      const std::string stored = row.bytes.substr(static_cast<size_t>(entities.offset)).c_str();
      EXPECT_TRUE(show.out == ToDisplayText(stored.c_str()).Str()) << "show gave other text";
    }

    // export, find and dump read only the header and the entity lump, with
    // the same checks and messages as the whole load.
    const CliResult exported = RunArgs({"export", path});
    expect("export", row.read, exported);
    if (row.read.status == kExitSuccess) {
      const Lump entities = DirectoryEntry(row.bytes, mw::kEntities);
      EXPECT_TRUE(exported.out == row.bytes.substr(static_cast<size_t>(entities.offset)).c_str());
    }
    // The batch commands reach a map through the editor's list, which lists
    // no folder and no missing file; a map that fails gets the same one line.
    if (row.condition != Condition::kMissing && row.condition != Condition::kFolder) {
      expect("find", row.read, RunArgs({"find", "classname", path}));
      // The ordinary user standing in for the locked folder writes no dump beside it.
      // The dump is still written, and says so, for the maps that could be read.
      if (row.condition != Condition::kReadOnlyFolder) {
        CliResult dump = RunArgs({"dump", path, "-o", dir.File("dump.txt")});
        dump.out.clear();
        expect("dump", row.read, dump);
      }
    }

    const CliResult import = RunArgs({"import", path, textFile});
    expect("import", row.import, import);

    user.reset();
    if (holder >= 0) close(holder);
    if (row.condition == Condition::kReadOnlyFolder) chmod(folder.c_str(), 0755);

    if (row.condition == Condition::kMissing) {
      EXPECT_FALSE(fs::exists(path)) << "a failed import made a file";
    } else if (row.condition != Condition::kFolder) {
      std::vector<std::string> entries;
      for (const auto& entry : fs::directory_iterator(folder)) entries.push_back(entry.path().filename().string());
      EXPECT_EQ(entries, std::vector<std::string>{row.name}) << "a temporary file was left";
      if (row.import.status == kExitSuccess) {
        EXPECT_EQ(import.out, Replace(kSaved, kNameMark, row.name));
        ExpectOnlyEntitiesChanged(row.bytes, ReadFileBytes(path), LumpForm(kImportText));
      } else {
        EXPECT_TRUE(ReadFileBytes(path) == row.bytes) << "a refused import changed the map";
      }
    }
  }
};

TEST_F(BadInputTest, BrokenAndAwkwardFiles) {
  for (const Row& row : FileRows()) Check(row);
}

TEST_F(BadInputTest, EveryDirectoryFieldNegativeOrPastTheEnd) {
  const std::vector<Row> rows = DirectoryRows();
  EXPECT_EQ(rows.size(), size_t{15} * 9) << "every lump of the small map holds bytes";
  for (const Row& row : rows) Check(row);
}

TEST_F(BadInputTest, OverlappingLumpsAreReadAndSavedLumpByLump) {
  for (const Row& row : OverlapRows()) Check(row);
}

TEST_F(BadInputTest, AnEntityLumpOf2MiBWorks) { Check(LargeEntityLumpRow()); }

}  // namespace
}  // namespace lw
