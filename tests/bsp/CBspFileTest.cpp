#include "bsp/CBspFile.h"

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bsp/BspTestSupport.h"
#include "entities/EntityText.h"
#include "mapwriter/MapWriter.h"
#include "mapwriter/TestMaps.h"
#include "support/FailingFileSystem.h"
#include "support/HeldFile.h"
#include "support/RecordingMessages.h"
#include "support/TempDir.h"

namespace lw::test {
namespace {

using mapwriter::kEntities;
using mapwriter::kPlanes;
using mapwriter::kTextures;

// A display text as the editor would hand it over: the made entity text with
// one more block and its line ends widened.
CString EditedDisplayText(const std::string& lumpText, std::string_view extraBlock) {
  CString display = ToDisplayText(lumpText.c_str());
  display += CString(std::string(extraBlock));
  return display;
}

class CBspFileTest : public ::testing::Test {
 protected:
  std::string Put(const std::string& name, const std::string& bytes) {
    const std::string path = dir_.File(name);
    WriteFileBytes(path, bytes);
    return path;
  }
  std::string PutTestMap(const std::string& name) { return Put(name, mapwriter::MakeTestMap(name)); }
  [[nodiscard]] std::string Read(const std::string& path) const { return ReadFileBytes(path); }

  TempDir dir_;
  RecordingMessages messages_;
};

// --- Loading ---------------------------------------------------------------

TEST_F(CBspFileTest, LoadsAMadeMapAndHandsOutItsEntityText) {
  const std::string path = PutTestMap("standard.bsp");
  CBspFile map(messages_);
  ASSERT_EQ(map.LoadMap(path.c_str()), 0);
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_TRUE(map.IsLoaded());
  EXPECT_EQ(std::string(map.GetEntityText()), mapwriter::TestEntityText());
  EXPECT_EQ(map.Version(), 30);
  EXPECT_EQ(map.ImageSize(), Read(path).size());
  EXPECT_EQ(map.EntityLumpIndex(), 0);
  EXPECT_TRUE(map.HasStandardLayout());
}

TEST_F(CBspFileTest, MapsWithTheCompilersLayoutCountAsStandardAndOthersDoNot) {
  struct Row {
    const char* file;
    bool standard;
  };
  const Row rows[] = {
      {"standard.bsp", true},
      {"padded_textures.bsp", true},
      {"trailing_padding.bsp", true},
      {"empty_textures.bsp", true},
      {"empty_lumps_at_entities.bsp", true},
      {"crlf_entities.bsp", true},
      {"swapped_directory.bsp", true},
      {"lump_after_entities.bsp", false},
      {"textures_not_last.bsp", false},
      {"trailing_data.bsp", false},
      {"data_between_entities_and_textures.bsp", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.file);
    CBspFile map(messages_);
    ASSERT_EQ(map.LoadMap(PutTestMap(row.file).c_str()), 0);
    EXPECT_EQ(map.HasStandardLayout(), row.standard);
  }
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(CBspFileTest, BrokenMapsAreRejectedWithAMessageNamingTheFileAndTheFault) {
  struct Row {
    const char* file;
    const char* fault;  // after "Error openning the file: PATH.\n"; null for the version message
  };
  const Row rows[] = {
      {"too_short.bsp", "The file is shorter than the 124-byte map header."},
      {"shorter_than_version.bsp", "The file is shorter than the 124-byte map header."},
      {"lump_past_end.bsp", "Lump 2 runs past the end of the file."},
      {"lump_end_overflows.bsp", "Lump 5 runs past the end of the file."},
      {"negative_offset.bsp", "Lump 7 has a negative offset."},
      {"negative_length.bsp", "Lump 3 has a negative length."},
      {"lump_in_header.bsp", "Lump 6 overlaps the map header."},
      {"entities_without_nul.bsp", "The entity lump has no NUL byte inside it."},
      {"empty_entities.bsp", "The entity lump has no NUL byte inside it."},
      {"version_29.bsp", nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.file);
    messages_.shown.clear();
    const std::string path = PutTestMap(row.file);
    CBspFile map(messages_);
    ASSERT_EQ(map.LoadMap(PutTestMap("standard.bsp").c_str()), 0);
    EXPECT_EQ(map.LoadMap(path.c_str()), 1);
    const std::string expected =
        row.fault ? "Error openning the file: " + path + ".\n" + row.fault : "BSP is version 29, not 30";
    EXPECT_EQ(messages_.shown, std::vector<std::string>{expected});
    EXPECT_EQ(map.LastMessage().Str(), expected);
    EXPECT_FALSE(map.IsLoaded());
    EXPECT_EQ(map.GetEntityText(), nullptr);
    CString text = "{\n}\n";
    EXPECT_EQ(map.SaveMap(path.c_str(), text), 2);
  }
}

TEST_F(CBspFileTest, AFileOf4GiBOrMoreIsRejectedBeforeAnythingIsRead) {
  const std::string path = dir_.File("huge.bsp");
  WriteFileBytes(path, mapwriter::MakeTestMap("standard.bsp"));
  std::filesystem::resize_file(path, std::uint64_t{1} << 32U);  // sparse
  CBspFile map(messages_);
  EXPECT_EQ(map.LoadMap(path.c_str()), 1);
  EXPECT_EQ(messages_.shown, std::vector<std::string>{"Error openning the file: " + path +
                                                      ".\nThe file is 4 GiB or larger, too large for a map."});
}

TEST_F(CBspFileTest, FailuresOfTheFileItselfGetTheirOwnMessages) {
  const std::string path = PutTestMap("standard.bsp");
  const std::string missing = dir_.File("missing.bsp");
  const std::string openText = "Error openning the file: " + path + ".\nMake sure it isn't opened in another program.";
  struct Row {
    const char* what;
    FileOp op;
    std::string file;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {"missing", FileOp::kCount, missing,
       "Error openning the file: " + missing + ".\nMake sure it isn't opened in another program."},
      {"open", FileOp::kOpen, path, openText},
      {"size", FileOp::kQuerySize, path, "Error reading the size of the file : " + path + "."},
      {"read", FileOp::kRead, path, "Error openning the file: " + path + ".\n"},
      {"close", FileOp::kClose, path, "Error openning the file: " + path + ".\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    messages_.shown.clear();
    FailingFileSystem files;
    if (row.op != FileOp::kCount) files.FailAt(row.op, 1);
    CBspFile map(messages_, files);
    EXPECT_EQ(map.LoadMap(row.file.c_str()), 1);
    EXPECT_EQ(messages_.shown, std::vector<std::string>{row.expected});
    EXPECT_FALSE(map.IsLoaded());
    EXPECT_EQ(map.GetEntityText(), nullptr);
  }
}

TEST_F(CBspFileTest, EachLoadGivesThatMapsBytesWhateverWasLoadedBefore) {
  // Large maps of like sizes share one block; the image must still be the
  // file just read, and a failed load in between must not leave old bytes.
  const std::string bigger =
      Put("bigger.bsp",
          mapwriter::WriteMap(mapwriter::MakeMapContents(mapwriter::MakeEntityText(300, 1), 1, 3 << 20, 64 << 10)));
  const std::string smaller =
      Put("smaller.bsp",
          mapwriter::WriteMap(mapwriter::MakeMapContents(mapwriter::MakeEntityText(20, 2), 2, 5 << 19, 1 << 10)));
  const std::string broken = PutTestMap("lump_past_end.bsp");
  CBspFile map(messages_);
  for (const std::string& path : {bigger, smaller, broken, bigger, smaller}) {
    SCOPED_TRACE(path);
    const int result = map.LoadMap(path.c_str());
    if (path == broken) {
      EXPECT_EQ(result, 1);
      continue;
    }
    ASSERT_EQ(result, 0);
    const std::string bytes = Read(path);
    EXPECT_EQ(map.ImageSize(), bytes.size());
    EXPECT_EQ(std::string(map.GetEntityText()), LumpOf(bytes, ReadDirectory(bytes)[kEntities]).c_str());
  }
}

TEST_F(CBspFileTest, AMapHeldOpenByAnotherProgramCannotBeLoaded) {
  const std::string path = PutTestMap("standard.bsp");
  const HeldFile other(path);
  ASSERT_TRUE(other.Held());
  CBspFile map(messages_);
  EXPECT_EQ(map.LoadMap(path.c_str()), 1);
  EXPECT_EQ(messages_.shown, std::vector<std::string>{"Error openning the file: " + path +
                                                      ".\nMake sure it isn't opened in another program."});
}

// --- Saving ------------------------------------------------------------------

TEST_F(CBspFileTest, SaveWritesTheCompilersLayoutByteForByte) {
  // Each row: a map in the compilers' layout; the save must write exactly the
  // bytes before the entity lump (two fields changed), the text, the textures.
  const char* const files[] = {"standard.bsp",       "padded_textures.bsp",         "trailing_padding.bsp",
                               "empty_textures.bsp", "empty_lumps_at_entities.bsp", "crlf_entities.bsp"};
  const std::string extras[] = {"", "{\r\n\"classname\" \"info_target\"\r\n}\r\n",
                                "{\r\n\"classname\" \"light\"\r\n\"_light\" \"1 2 3\"\r\n}\r\n"};
  for (const char* file : files) {
    for (const std::string& extra : extras) {
      SCOPED_TRACE(std::string(file) + " + " + std::to_string(extra.size()));
      messages_.shown.clear();
      const std::string path = PutTestMap(file);
      const std::string original = Read(path);
      CBspFile map(messages_);
      ASSERT_EQ(map.LoadMap(path.c_str()), 0);
      CString text = EditedDisplayText(map.GetEntityText(), extra);
      ASSERT_EQ(map.SaveMap(path.c_str(), text), 0);

      CString lump = EditedDisplayText(LumpOf(original, ReadDirectory(original)[kEntities]).c_str(), extra);
      ToLumpText(lump);
      EXPECT_EQ(text.Str(), lump.Str()) << "the caller's text holds the lump form";
      const std::string saved = Read(path);
      EXPECT_EQ(saved, ExpectedSave(original, lump.View()));
      EXPECT_EQ(messages_.shown, std::vector<std::string>{"The file:  " + std::string(file) + "\nwas saved!"});
      EXPECT_TRUE(map.IsLoaded());
      EXPECT_EQ(std::string(map.GetEntityText()), lump.Str());
      EXPECT_EQ(dir_.Entries().size(), 1U) << "no temporary file is left";
    }
    std::filesystem::remove(dir_.File(file));
  }
}

TEST_F(CBspFileTest, TheTexturesLumpMayStartAtAnyByte) {
  const std::string path = PutTestMap("standard.bsp");
  CBspFile map(messages_);
  ASSERT_EQ(map.LoadMap(path.c_str()), 0);
  for (const char* text : {"{\n}\n", "{\n\"a\" \"b\"\n}\n", "{\n\"a\" \"bc\"\n}\n", "{\n\"a\" \"bcd\"\n}\n"}) {
    CString edited = text;
    ASSERT_EQ(map.SaveMap(path.c_str(), edited), 0);
    const TestDirectory lumps = ReadDirectory(Read(path));
    EXPECT_EQ(lumps[kTextures].offset, lumps[kEntities].offset + static_cast<std::int64_t>(std::strlen(text)) + 1);
  }
}

TEST_F(CBspFileTest, SavingWithNothingLoadedTouchesNothing) {
  const std::string path = PutTestMap("standard.bsp");
  const std::string original = Read(path);
  CBspFile map(messages_);
  CString text = "junk {\r\n}\r\n junk";
  EXPECT_EQ(map.SaveMap(path.c_str(), text), 2);
  EXPECT_EQ(text.Str(), "junk {\r\n}\r\n junk");
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_EQ(Read(path), original);
}

// Maps with blocks beyond the 15 lumps, or bytes no table describes, saved
// with a longer and then, without a load between, a shorter text: every
// block of the original comes back byte for byte where its table says, the
// BSPX block where the engine looks for it, and loose bytes just after what
// they followed.
TEST_F(CBspFileTest, EveryBlockAndLooseByteSurvivesASave) {
  struct Row {
    const char* file;
    std::string loose;  // bytes no table describes, when the map has some
    int follows;        // the lump they follow
  };
  const Row rows[] = {
      {"bspx.bsp", "", -1},
      {"extended.bsp", "", -1},
      {"extended_bspx.bsp", "", -1},
      {"swapped_extended_bspx.bsp", "", -1},
      {"data_between_entities_and_textures.bsp", "XYZ", kEntities},
      {"data_between_lumps.bsp", "GAP!", mapwriter::kLighting},
      {"trailing_data.bsp", "LUMPWRIGHT-TAIL!", kTextures},
      {"lump_after_entities.bsp", "", -1},
      {"textures_not_last.bsp", "", -1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.file);
    const std::string path = PutTestMap(row.file);
    const std::string original = Read(path);
    std::map<std::string, std::string> before = MapBlocks(original);
    CBspFile map(messages_);
    ASSERT_EQ(map.LoadMap(path.c_str()), 0);
    const int entityIndex = map.EntityLumpIndex();
    const std::string entityKey = "lump " + std::to_string(entityIndex);
    before.erase(entityKey);
    const bool hasBspx = before.erase("bspx at") == 1;
    const CString loaded = ToDisplayText(map.GetEntityText());
    const int cut = loaded.Left(loaded.ReverseFind('{')).ReverseFind('{');
    const CString texts[] = {EditedDisplayText(map.GetEntityText(), "{\r\n\"classname\" \"info_target\"\r\n}\r\n"),
                             loaded.Left(cut)};
    for (const CString& edited : texts) {
      SCOPED_TRACE(edited.Size());
      CString text = edited;
      ASSERT_EQ(map.SaveMap(path.c_str(), text), 0) << messages_.shown.back();
      const std::string saved = Read(path);
      std::map<std::string, std::string> after = MapBlocks(saved);
      EXPECT_EQ(after[entityKey], text.Str() + '\0');
      after.erase(entityKey);
      EXPECT_EQ(after.erase("bspx at") == 1, hasBspx) << "the BSPX block is where the engine looks";
      EXPECT_EQ(after, before);
      if (!row.loose.empty()) {
        const std::int64_t end = ReadDirectory(saved)[static_cast<size_t>(row.follows)].End();
        const size_t at = saved.find(row.loose);
        ASSERT_NE(at, std::string::npos);
        EXPECT_GE(static_cast<std::int64_t>(at), end);
        EXPECT_LT(static_cast<std::int64_t>(at), end + 4);
      }
      CBspFile again(messages_);
      ASSERT_EQ(again.LoadMap(path.c_str()), 0);
      EXPECT_EQ(again.EntityLumpIndex(), entityIndex);
      EXPECT_EQ(std::string(again.GetEntityText()), text.Str());
    }
  }
}

TEST_F(CBspFileTest, ABspxTablePointingPastTheEndIsNotSavedAndSaysWhy) {
  const std::string path = PutTestMap("bspx_past_end.bsp");
  const std::string original = Read(path);
  CBspFile map(messages_);
  ASSERT_EQ(map.LoadMap(path.c_str()), 0) << "its entities can still be read";
  CString text = "{\n\"classname\" \"worldspawn\"\n}\n";
  EXPECT_EQ(map.SaveMap(path.c_str(), text), 1);
  EXPECT_EQ(messages_.shown, std::vector<std::string>{"Error saving the file: bspx_past_end.bsp.\nIts BSPX lump "
                                                      "LIGHTINGDIR runs past the end of the file."});
  EXPECT_EQ(Read(path), original);
  EXPECT_EQ(dir_.Entries().size(), 1U);
}

TEST_F(CBspFileTest, ASwappedDirectoryIsEditedInLumpOneAndThePlanesStay) {
  const std::string path = PutTestMap("swapped_directory.bsp");
  const std::string original = Read(path);
  const TestDirectory before = ReadDirectory(original);
  CBspFile map(messages_);
  ASSERT_EQ(map.LoadMap(path.c_str()), 0);
  EXPECT_EQ(map.EntityLumpIndex(), 1);
  EXPECT_EQ(std::string(map.GetEntityText()), mapwriter::TestEntityText());

  CString text = EditedDisplayText(map.GetEntityText(), "{\r\n\"classname\" \"info_target\"\r\n}\r\n");
  ASSERT_EQ(map.SaveMap(path.c_str(), text), 0);
  const std::string saved = Read(path);
  EXPECT_EQ(saved, ExpectedSave(original, text.View(), kPlanes));
  EXPECT_EQ(LumpOf(saved, ReadDirectory(saved)[0]), LumpOf(original, before[0])) << "the planes";

  // Even with every block deleted the entity text is still found in lump 1.
  CString empty = "";
  ASSERT_EQ(map.SaveMap(path.c_str(), empty), 0);
  CBspFile again(messages_);
  ASSERT_EQ(again.LoadMap(path.c_str()), 0);
  EXPECT_EQ(again.EntityLumpIndex(), 1);
  EXPECT_EQ(std::string(again.GetEntityText()), "\n");
}

// The map as loaded is the one a save writes around: another program's
// newer map is neither overwritten nor, once deleted, made again.
TEST_F(CBspFileTest, AMapChangedOrDeletedSinceItWasLoadedIsNotWritten) {
  const struct {
    const char* name;
    std::function<void(const std::string&)> change;
    int result;
    std::vector<std::string> shown;
  } rows[] = {
      {"rewritten with other bytes",
       [](const std::string& path) { WriteFileBytes(path, mapwriter::MakeTestMap("bspx.bsp")); },
       CBspFile::kChangedOnDisk,
       {}},
      {"replaced by a copy of itself",
       [](const std::string& path) {
         const std::string bytes = ReadFileBytes(path);
         std::filesystem::remove(path);
         WriteFileBytes(path + ".new", bytes);
         std::filesystem::rename(path + ".new", path);
       },
       CBspFile::kChangedOnDisk,
       {}},
      {"deleted",
       [](const std::string& path) { std::filesystem::remove(path); },
       1,
       {"Error saving the file: standard.bsp.\nThe map no longer exists; it is not made again."}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    messages_.shown.clear();
    const std::string path = PutTestMap("standard.bsp");
    CBspFile map(messages_);
    ASSERT_EQ(map.LoadMap(path.c_str()), 0);
    row.change(path);
    const bool exists = std::filesystem::exists(path);
    const std::string before = exists ? Read(path) : std::string();
    CString text = "{\n\"classname\" \"worldspawn\"\n}\n";
    EXPECT_EQ(map.SaveMap(path.c_str(), text), row.result);
    EXPECT_EQ(text.Str(), "{\n\"classname\" \"worldspawn\"\n}\n") << "the caller's text is left alone";
    EXPECT_EQ(messages_.shown, row.shown);
    EXPECT_EQ(std::filesystem::exists(path), exists);
    if (exists) {
      EXPECT_EQ(Read(path), before);
    }
    EXPECT_EQ(dir_.Entries().size(), exists ? 1U : 0U);
    // Loaded again, the map as it is now takes the text.
    if (exists) {
      ASSERT_EQ(map.LoadMap(path.c_str()), 0);
      EXPECT_EQ(map.SaveMap(path.c_str(), text), 0);
    }
    std::filesystem::remove(path);
  }
}

TEST_F(CBspFileTest, SavingAgainWithoutLoadingWritesACorrectFile) {
  // Longer, much longer (past the image's room), shorter, then empty.
  const std::string path = PutTestMap("standard.bsp");
  const std::string original = Read(path);
  std::string bigBlock = "{\r\n\"classname\" \"info_target\"\r\n\"message\" \"";
  bigBlock += std::string(200000, 'x');
  bigBlock += "\"\r\n}\r\n";
  const std::string extras[] = {"{\r\n\"classname\" \"info_target\"\r\n}\r\n", bigBlock, "", "\x01"};
  CBspFile map(messages_);
  ASSERT_EQ(map.LoadMap(path.c_str()), 0);
  for (const std::string& extra : extras) {
    SCOPED_TRACE(extra.size());
    CString text = extra == "\x01" ? CString("") : EditedDisplayText(mapwriter::TestEntityText(), extra);
    ASSERT_EQ(map.SaveMap(path.c_str(), text), 0);
    EXPECT_EQ(Read(path), ExpectedSave(original, text.View()));
    EXPECT_EQ(std::string(map.GetEntityText()), text.Str());
    EXPECT_EQ(map.ImageSize(), Read(path).size());
  }
}

#if !defined(_WIN32)  // Windows keeps the map's attributes and access list in ReplaceFile
TEST_F(CBspFileTest, ASaveKeepsTheMapsPermissions) {
  const std::string path = PutTestMap("standard.bsp");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  CBspFile map(messages_);
  ASSERT_EQ(map.LoadMap(path.c_str()), 0);
  CString text = "{\n\"classname\" \"worldspawn\"\n}\n";
  ASSERT_EQ(map.SaveMap(path.c_str(), text), 0);
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640U);
}
#endif

// --- Failed saves leave the map as it was ---------------------------------

class FailedSaveTest : public CBspFileTest {
 protected:
  void SetUp() override { UseMap("standard.bsp"); }

  void UseMap(const std::string& name) {
    name_ = name;
    path_ = PutTestMap(name);
    original_ = Read(path_);
  }

  static CString EditedText() {
    return EditedDisplayText(mapwriter::TestEntityText(), "{\r\n\"classname\" \"info_target\"\r\n}\r\n");
  }

  // The save fails, the map is unchanged, no temporary file is left, the
  // object stays loaded, and a retry writes `saved`.
  void ExpectFailedSaveThenRetry(CBspFile& map, FailingFileSystem& files, const std::string& saved) {
    messages_.shown.clear();
    CString text = EditedText();
    EXPECT_EQ(map.SaveMap(path_.c_str(), text), 1);
    EXPECT_TRUE(files.Failed());
    EXPECT_EQ(messages_.shown, std::vector<std::string>{"Error saving the file: " + name_ + "."});
    EXPECT_EQ(Read(path_), original_);
    EXPECT_EQ(dir_.Entries(), std::vector<std::string>{name_});
    EXPECT_TRUE(map.IsLoaded());
    EXPECT_EQ(std::string(map.GetEntityText()), mapwriter::TestEntityText());

    files.Reset();
    ASSERT_EQ(map.SaveMap(path_.c_str(), text), 0);
    EXPECT_EQ(Read(path_), saved);
    // Back to the map as made, for the next case.
    WriteFileBytes(path_, original_);
    ASSERT_EQ(map.LoadMap(path_.c_str()), 0);
  }

  std::string name_;
  std::string path_;
  std::string original_;
};

TEST_F(FailedSaveTest, EveryFailedWriteFlushCloseAndRenameLeavesTheMapUnchanged) {
  // The compilers' layout, and a map whose BSPX block moves with the save.
  for (const char* file : {"standard.bsp", "bspx.bsp"}) {
    SCOPED_TRACE(file);
    std::filesystem::remove(path_);
    UseMap(file);
    FailingFileSystem files;
    CBspFile map(messages_, files);
    ASSERT_EQ(map.LoadMap(path_.c_str()), 0);

    // Count the operations of a clean save first.
    files.Reset();
    CString text = EditedText();
    ASSERT_EQ(map.SaveMap(path_.c_str(), text), 0);
    const std::string saved = Read(path_);
    const int counts[] = {files.Count(FileOp::kWrite), files.Count(FileOp::kFlush), files.Count(FileOp::kClose),
                          files.Count(FileOp::kReplace), files.Count(FileOp::kOpen)};
    // The new header, the rest of what precedes the text, the text, the
    // textures; the BSPX map adds the table and its lumps, and padding when
    // the text does not end on a 4-byte boundary.
    if (name_ == "standard.bsp") {
      EXPECT_EQ(counts[0], 4);
    } else {
      EXPECT_TRUE(counts[0] == 8 || counts[0] == 9) << counts[0];
    }
    EXPECT_GE(counts[1], 1);
    EXPECT_GE(counts[2], 1);
    EXPECT_EQ(counts[3], 1);
    EXPECT_EQ(counts[4], 1);
    WriteFileBytes(path_, original_);
    ASSERT_EQ(map.LoadMap(path_.c_str()), 0);

    const FileOp ops[] = {FileOp::kWrite, FileOp::kFlush, FileOp::kClose, FileOp::kReplace, FileOp::kOpen};
    for (size_t kind = 0; kind < std::size(ops); ++kind) {
      for (int k = 1; k <= counts[kind]; ++k) {
        SCOPED_TRACE("operation kind " + std::to_string(kind) + ", number " + std::to_string(k));
        files.Reset();
        files.FailAt(ops[kind], k);
        ExpectFailedSaveThenRetry(map, files, saved);
      }
    }
    for (const size_t bytes : {size_t{0}, size_t{1}, size_t{100}}) {
      for (int k = 1; k <= counts[0]; ++k) {
        SCOPED_TRACE("short write " + std::to_string(k) + " after " + std::to_string(bytes) + " bytes");
        files.Reset();
        files.ShortWriteAt(k, bytes);
        ExpectFailedSaveThenRetry(map, files, saved);
      }
    }
  }
}

// A save into the map itself on a disk that dies half-way: the old bytes
// cannot be put back either, and the user is told so.
TEST_F(FailedSaveTest, AnInPlaceSaveThatCannotPutTheOldBytesBackSaysTheMapMayBeDamaged) {
  std::filesystem::create_hard_link(path_, dir_.File("second-name.bsp"));
  FailingFileSystem files;
  CBspFile map(messages_, files);
  ASSERT_EQ(map.LoadMap(path_.c_str()), 0);
  files.Reset();
  files.FailFrom(FileOp::kWrite, 2);
  CString text = EditedDisplayText(mapwriter::TestEntityText(), "{\r\n\"classname\" \"info_target\"\r\n}\r\n");
  EXPECT_EQ(map.SaveMap(path_.c_str(), text), 1);
  EXPECT_EQ(messages_.shown,
            std::vector<std::string>{"Error saving the file: standard.bsp.\nThe map could not be put back as it was "
                                     "and may be damaged; restore it from a backup."});
}

TEST_F(FailedSaveTest, AFailedHoldOnTheMapLeavesTheTextAsItWas) {
  FailingFileSystem files;
  CBspFile map(messages_, files);
  ASSERT_EQ(map.LoadMap(path_.c_str()), 0);
  files.Reset();
  files.FailAt(FileOp::kOpen, 1);
  CString text = "junk {\r\n}\r\n";
  EXPECT_EQ(map.SaveMap(path_.c_str(), text), 1);
  EXPECT_EQ(text.Str(), "junk {\r\n}\r\n");
  EXPECT_EQ(Read(path_), original_);
}

TEST_F(FailedSaveTest, AReadOnlyMapFailsToSaveAndStaysUnchanged) {
  CBspFile map(messages_);
  ASSERT_EQ(map.LoadMap(path_.c_str()), 0);
  SetReadOnly(path_, true);
  CString text = "{\n}\n";
  EXPECT_EQ(map.SaveMap(path_.c_str(), text), 1);
  EXPECT_EQ(messages_.shown, std::vector<std::string>{"Error saving the file: standard.bsp."});
  EXPECT_EQ(Read(path_), original_);
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"standard.bsp"});
}

TEST_F(FailedSaveTest, AMapHeldOpenByAnotherProgramFailsToSaveAndStaysUnchanged) {
  CBspFile map(messages_);
  ASSERT_EQ(map.LoadMap(path_.c_str()), 0);
  CString text = "{\n}\n";
  {
    const HeldFile other(path_);
    ASSERT_TRUE(other.Held());
    EXPECT_EQ(map.SaveMap(path_.c_str(), text), 1);
    EXPECT_EQ(messages_.shown, std::vector<std::string>{"Error saving the file: standard.bsp."});
    EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"standard.bsp"});
  }
  EXPECT_EQ(Read(path_), original_);
  messages_.shown.clear();
  EXPECT_EQ(map.SaveMap(path_.c_str(), text), 0) << "a retry succeeds once the other program lets go";
}

}  // namespace
}  // namespace lw::test
