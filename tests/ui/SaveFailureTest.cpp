// The editor's Save with one file operation failing at a time: every open,
// write, flush, close and rename a save performs, a short write at every
// write, and the reload that follows a save; once for a save that replaces
// the map and once for one that writes into it (the map has a second hard
// link). The map must never be damaged and the user's text must never be lost.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "entities/EntityText.h"
#include "mapwriter/MapLayoutWriter.h"
#include "mapwriter/MapWriter.h"
#include "mapwriter/TestMaps.h"
#include "settings/MapFolderSettings.h"
#include "support/FailingFileSystem.h"
#include "support/InMemorySettingsStore.h"
#include "support/OrdinaryUserFiles.h"
#include "support/RecordingMessages.h"
#include "support/TempDir.h"
#include "ui/CEntityEditorDlg.h"
#include "ui/InMemoryMainWindowView.h"

namespace lw {
namespace {

using test::OrdinaryUserFiles;

using test::FailingFileSystem;
using test::FileOp;
namespace mw = lw::mapwriter;

// The user's edit: a block added at the end of the text.
constexpr const char* kAddedBlock = "{\r\n\"classname\" \"info_target\"\r\n\"targetname\" \"added\"\r\n}\r\n";

struct MapCase {
  std::string name;
  std::string bytes;
};

// A realistic map in the compilers' layout, one whose lumps after the entity
// lump move, a swapped directory, and a map with a BSPX block.
std::vector<MapCase> Maps() {
  return {
      {"de_made.bsp", mw::WriteMap(mw::MakeMapContents(mw::MakeEntityText(40, 7), 7, 16 * 1024, 4 * 1024))},
      {"textures_not_last.bsp", mw::MakeTestMap("textures_not_last.bsp")},
      {"swapped_directory.bsp", mw::MakeTestMap("swapped_directory.bsp")},
      {"bspx.bsp", mw::MakeTestMap("bspx.bsp")},
  };
}

const char* OpName(FileOp op) {
  switch (op) {
    case FileOp::kOpen: return "open";
    case FileOp::kCreateTemp: return "new file";
    case FileOp::kQuerySize: return "size query";
    case FileOp::kRead: return "read";
    case FileOp::kWrite: return "write";
    case FileOp::kSeek: return "seek";
    case FileOp::kReserve: return "reserve";
    case FileOp::kSetLength: return "set length";
    case FileOp::kFlush: return "flush";
    case FileOp::kClose: return "close";
    case FileOp::kReplace: return "rename";
    case FileOp::kCount: break;
  }
  return "?";
}

constexpr FileOp kOps[] = {FileOp::kOpen,  FileOp::kCreateTemp, FileOp::kQuerySize, FileOp::kRead,
                           FileOp::kWrite, FileOp::kSeek,       FileOp::kReserve,   FileOp::kSetLength,
                           FileOp::kFlush, FileOp::kClose,      FileOp::kReplace};

struct OpCounts {
  int counts[static_cast<size_t>(FileOp::kCount)] = {};
  int& operator[](FileOp op) { return counts[static_cast<size_t>(op)]; }
  int operator[](FileOp op) const { return counts[static_cast<size_t>(op)]; }
};

OpCounts CountsOf(const FailingFileSystem& files) {
  OpCounts counts;
  for (const FileOp op : kOps) counts[op] = files.Count(op);
  return counts;
}

// One map in a folder of its own, the editor started on it and the map chosen.
// A hard-linked map has a second name in another folder, so saves write into it.
class Editor {
 public:
  explicit Editor(const MapCase& map, bool hardLinked = false) : name_(map.name) {
    folder_ = dir_.Path() / "maps";
    std::filesystem::create_directory(folder_);
    test::WriteFileBytes(folder_ / name_, map.bytes);
    if (hardLinked) {
      std::filesystem::create_directory(dir_.Path() / "other");
      std::filesystem::create_hard_link(folder_ / name_, dir_.Path() / "other" / name_);
    }
    settings_.Put(kSettingsKey, kInstallPathValue, folder_.string() + "/");
    dlg_ = std::make_unique<CEntityEditorDlg>(view_, settings_, files_,
                                              CEntityEditorDlg::Options{[] { return CString("lumpwright"); }, {}});
    dlg_->OnInitDialog();
  }

  void ChooseMap() {
    ASSERT_TRUE(view_.SelectMap(CString(name_)));
    dlg_->OnSelchangeMapList();
    ASSERT_EQ(view_.statusText, CString("Entities for map " + name_));
  }

  // The user's edit: a block added at the end, or the block after the
  // world's deleted (the world stays first, as the game wants it).
  void Edit(bool shrink) {
    if (!shrink) return AddBlock();
    const CString text = view_.edit.GetText();
    const int worldEnd = text.Find("}\r\n") + 3;
    const int secondEnd = text.Find("}\r\n", worldEnd) + 3;
    view_.edit.SetSel(worldEnd, secondEnd);
    view_.edit.ReplaceSel("");
  }

  void AddBlock() {
    const int end = static_cast<int>(view_.edit.GetText().Size());
    view_.edit.SetSel(end, end);
    view_.edit.ReplaceSel(kAddedBlock);
  }

  [[nodiscard]] std::string MapBytes() const { return test::ReadFileBytes(folder_ / name_); }
  [[nodiscard]] std::uintmax_t LinkCount() const { return std::filesystem::hard_link_count(folder_ / name_); }
  // What the map's other name reads: the same bytes, or nothing without one.
  [[nodiscard]] std::string OtherNameBytes() const {
    const auto other = dir_.Path() / "other" / name_;
    return std::filesystem::exists(other) ? test::ReadFileBytes(other) : MapBytes();
  }
  void PutMapBytes(const std::string& bytes) const { test::WriteFileBytes(folder_ / name_, bytes); }
  [[nodiscard]] std::string MapPath() const { return (folder_ / name_).string(); }
  [[nodiscard]] const std::string& Name() const { return name_; }
  [[nodiscard]] const std::filesystem::path& Folder() const { return folder_; }
  [[nodiscard]] const test::TempDir& Dir() const { return dir_; }

  [[nodiscard]] std::vector<std::string> FolderEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  test::TempDir dir_;
  std::filesystem::path folder_;
  std::string name_;
  test::RecordingMessages messages;
  test::InMemorySettingsStore settings_;
  FailingFileSystem files_;
  InMemoryMainWindowView view_{messages};
  std::unique_ptr<CEntityEditorDlg> dlg_;
};

// The load routine's message when `op` fails while it reads `path`.
std::string LoadFailureText(FileOp op, const std::string& path) {
  switch (op) {
    case FileOp::kOpen: return "Error openning the file: " + path + ".\nMake sure it isn't opened in another program.";
    case FileOp::kQuerySize: return "Error reading the size of the file : " + path + ".";
    default: return "Error openning the file: " + path + ".\n";
  }
}

// The failure to inject: the k-th operation of a kind, or a write cut short.
struct FailurePoint {
  FileOp op;
  int k;
  std::optional<size_t> shortBytes;  // a short write leaving this many bytes
  bool inReload;                     // past the save, in the reload that follows it
  bool savesInPlace = false;         // no failure: the save writes into the map instead

  [[nodiscard]] std::string Describe() const {
    std::string text = std::string(OpName(op)) + " #" + std::to_string(k);
    if (shortBytes) text += " cut short after " + std::to_string(*shortBytes) + " bytes";
    return text + (inReload ? " (reload)" : " (save)");
  }
};

class SaveFailureTest : public ::testing::Test {};

TEST_F(SaveFailureTest, EveryFailurePointOfASaveLeavesTheMapAndTheUsersTextIntact) {
  int pointsCovered = 0;
  const struct {
    bool inPlace;
    bool shrink;
    const char* name;
  } ways[] = {
      {false, false, " (replaced)"},
      {true, false, " (hard-linked: saved in place, growing)"},
      {true, true, " (hard-linked: saved in place, shrinking)"},
  };
  for (const auto& way : ways) {
    const bool inPlace = way.inPlace;
    for (const MapCase& map : Maps()) {
      SCOPED_TRACE(map.name + way.name);

      // A clean run gives the bytes a save must write, the operations of a
      // load alone and of a whole Save (the save and its reload), and the
      // size of each write.
      std::string saved;
      OpCounts loadCounts;
      OpCounts saveCounts;
      CString userText;
      {
        Editor clean(map, inPlace);
        clean.files_.Reset();
        ASSERT_NO_FATAL_FAILURE(clean.ChooseMap());
        loadCounts = CountsOf(clean.files_);
        clean.Edit(way.shrink);
        userText = clean.view_.edit.GetText();
        clean.files_.Reset();
        clean.dlg_->OnSave();
        ASSERT_EQ(clean.messages.shown, std::vector<std::string>{"The file:  " + map.name + "\nwas saved!"});
        saved = clean.MapBytes();
        ASSERT_NE(saved, map.bytes);
        EXPECT_EQ(clean.OtherNameBytes(), saved);
        EXPECT_EQ(clean.LinkCount(), inPlace ? 2u : 1u);
        const OpCounts total = CountsOf(clean.files_);
        for (const FileOp op : kOps) saveCounts[op] = total[op] - loadCounts[op];
      }
      CString expectedLump = userText;
      ToLumpText(expectedLump);
      const CString savedDisplay = ToDisplayText(expectedLump.GetString());
      // A save takes hold of the map. A replace writes a new file, flushes
      // it and renames it over the map; a save in place reads the old bytes,
      // reserves the new length, writes from the start and flushes, and a
      // map that shrank is cut and flushed again.
      EXPECT_EQ(saveCounts[FileOp::kOpen], 1);
      EXPECT_GE(saveCounts[FileOp::kWrite], 1);
      EXPECT_EQ(saveCounts[FileOp::kFlush], inPlace && way.shrink ? 2 : 1);
      EXPECT_EQ(saveCounts[FileOp::kCreateTemp], inPlace ? 0 : 1);
      EXPECT_EQ(saveCounts[FileOp::kClose], inPlace ? 0 : 1);
      EXPECT_EQ(saveCounts[FileOp::kReplace], inPlace ? 0 : 1);
      // Its state is looked at before (the map must be the one loaded) and
      // after the write (what the next save compares with).
      EXPECT_EQ(saveCounts[FileOp::kQuerySize], inPlace ? 3 : 2);
      EXPECT_EQ(saveCounts[FileOp::kRead], inPlace ? 1 : 0);
      EXPECT_EQ(saveCounts[FileOp::kSeek], inPlace ? 2 : 0);
      EXPECT_EQ(saveCounts[FileOp::kReserve], inPlace && !way.shrink ? 1 : 0);
      EXPECT_EQ(saveCounts[FileOp::kSetLength], inPlace && way.shrink ? 1 : 0);

      std::vector<FailurePoint> points;
      for (const FileOp op : kOps) {
        for (int k = 1; k <= saveCounts[op] + loadCounts[op]; ++k) {
          FailurePoint point{op, k, {}, k > saveCounts[op]};
          // Where no new file can be made, the map is saved in place.
          point.savesInPlace = op == FileOp::kCreateTemp;
          points.push_back(point);
        }
      }
      for (int k = 1; k <= saveCounts[FileOp::kWrite]; ++k) {
        for (const size_t bytes : {size_t{0}, size_t{1}, size_t{123}}) {
          points.push_back({FileOp::kWrite, k, bytes, false});
        }
      }

      for (const FailurePoint& point : points) {
        SCOPED_TRACE(point.Describe());
        Editor editor(map, inPlace);
        ASSERT_NO_FATAL_FAILURE(editor.ChooseMap());
        editor.Edit(way.shrink);
        editor.messages.shown.clear();
        editor.files_.Reset();
        if (point.shortBytes) {
          editor.files_.ShortWriteAt(point.k, *point.shortBytes);
        } else {
          editor.files_.FailAt(point.op, point.k);
        }
        editor.dlg_->OnSave();
        ASSERT_TRUE(editor.files_.Failed()) << "the failure point was never reached";
        ++pointsCovered;

        EXPECT_EQ(editor.FolderEntries(), std::vector<std::string>{map.name}) << "a temporary file was left";
        EXPECT_EQ(editor.view_.edit.GetText(), userText);
        EXPECT_EQ(editor.OtherNameBytes(), editor.MapBytes()) << "the map's names differ";
        EXPECT_EQ(editor.LinkCount(), inPlace ? 2u : 1u);
        if (point.savesInPlace) {
          EXPECT_EQ(editor.dlg_->LastSaveResult(), 0);
          EXPECT_TRUE(editor.MapBytes() == saved) << "the map file is not the one saved";
          EXPECT_EQ(editor.messages.shown, std::vector<std::string>{"The file:  " + map.name + "\nwas saved!"});
          EXPECT_FALSE(editor.view_.edit.GetModify());
        } else if (!point.inReload) {
          EXPECT_EQ(editor.dlg_->LastSaveResult(), 1);
          EXPECT_TRUE(editor.MapBytes() == map.bytes) << "the map file changed";
          ASSERT_EQ(editor.messages.shown.size(), 1u);
          // The system's reason, when there is one, on a line of its own.
          const std::string& shown = editor.messages.shown.front();
          EXPECT_EQ(shown.substr(0, shown.find('\n')), "Error saving the file: " + map.name + ".");
          EXPECT_TRUE(editor.view_.edit.GetModify());
        } else {
          // The map was saved; only reading it back failed. The text shown is
          // the one on disk, so nothing is left unsaved.
          EXPECT_EQ(editor.dlg_->LastSaveResult(), 0);
          EXPECT_TRUE(editor.MapBytes() == saved) << "the map file is not the one saved";
          EXPECT_EQ(editor.messages.shown, (std::vector<std::string>{"The file:  " + map.name + "\nwas saved!",
                                                                     LoadFailureText(point.op, editor.MapPath())}));
          EXPECT_EQ(editor.view_.statusText, "No map loaded");
          EXPECT_FALSE(editor.view_.edit.GetModify());
        }

        // Once the files work again, Save puts the text on disk (or, after a
        // failed reload, reads the saved map back in).
        editor.files_.Reset();
        editor.messages.shown.clear();
        editor.dlg_->OnSave();
        EXPECT_TRUE(editor.MapBytes() == saved) << "the retry did not save the map";
        EXPECT_EQ(editor.OtherNameBytes(), saved);
        EXPECT_EQ(editor.FolderEntries(), std::vector<std::string>{map.name});
        if (!point.inReload) {
          EXPECT_EQ(editor.messages.shown, std::vector<std::string>{"The file:  " + map.name + "\nwas saved!"});
        } else {
          EXPECT_TRUE(editor.messages.shown.empty());
        }
        EXPECT_EQ(editor.view_.statusText, CString("Entities for map " + map.name));
        EXPECT_EQ(editor.view_.edit.GetText(), savedDisplay);
        EXPECT_FALSE(editor.view_.edit.GetModify());
      }
    }
  }
  RecordProperty("FailurePoints", pointsCovered);
  std::printf("save failure points covered: %d\n", pointsCovered);
}

TEST_F(SaveFailureTest, ASaveWhileAnotherProgramHoldsTheMapFailsAndKeepsTheText) {
  Editor editor(Maps().front());
  ASSERT_NO_FATAL_FAILURE(editor.ChooseMap());
  const std::string before = editor.MapBytes();
  editor.AddBlock();
  const CString userText = editor.view_.edit.GetText();
  editor.messages.shown.clear();

  const int other = open(editor.MapPath().c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(other, 0);
  ASSERT_EQ(flock(other, LOCK_EX), 0);
  editor.dlg_->OnSave();
  EXPECT_EQ(editor.messages.shown, std::vector<std::string>{"Error saving the file: " + editor.Name() +
                                                            ".\n(held open by another program (it is locked))"});
  EXPECT_TRUE(editor.MapBytes() == before);
  EXPECT_EQ(editor.FolderEntries(), std::vector<std::string>{editor.Name()});
  EXPECT_EQ(editor.view_.edit.GetText(), userText);
  EXPECT_TRUE(editor.view_.edit.GetModify());
  close(other);

  editor.messages.shown.clear();
  editor.dlg_->OnSave();
  EXPECT_EQ(editor.messages.shown, std::vector<std::string>{"The file:  " + editor.Name() + "\nwas saved!"});
  EXPECT_FALSE(editor.view_.edit.GetModify());
}

}  // namespace
}  // namespace lw
