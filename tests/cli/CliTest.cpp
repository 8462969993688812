#include "CliRun.h"
#include "cli/Cli.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "TestPaths.h"
#include "cli/TerminalMessages.h"
#include "entities/EntityText.h"
#include "mapwriter/MapWriter.h"
#include "platform/CString.h"
#include "platform/CodePage.h"
#include "support/TempDir.h"

namespace lw {
namespace {

using test::CliResult;
using test::RunArgs;

namespace mw = lw::mapwriter;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
using test::ReadFileBytes;
using test::WriteFileBytes;

constexpr int kLumps = 15;
constexpr int kEntityLump = 0;
constexpr int kTextureLump = 2;

std::int32_t ReadInt32(const std::string& bytes, size_t at) {
  std::uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) {
    value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.at(at + i))) << (8 * i);
  }
  return static_cast<std::int32_t>(value);
}

struct Lump {
  std::int32_t offset;
  std::int32_t length;
};

Lump DirectoryEntry(const std::string& map, int index) {
  const size_t at = 4 + 8 * static_cast<size_t>(index);
  return {ReadInt32(map, at), ReadInt32(map, at + 4)};
}

std::string LumpBytes(const std::string& map, int index) {
  const Lump lump = DirectoryEntry(map, index);
  return map.substr(static_cast<size_t>(lump.offset), static_cast<size_t>(lump.length));
}

// The entity text as stored: the entity lump up to its NUL.
std::string StoredEntityText(const std::string& map) {
  const std::string lump = LumpBytes(map, kEntityLump);
  return lump.substr(0, lump.find('\0'));
}

std::string LumpForm(std::string text) {
  CString converted(std::move(text));
  ToLumpText(converted);
  return converted.Str();
}

// After an export and import: a map the game still loads, with every lump
// but the entity text's kept byte for byte.
void ExpectOnlyEntityTextChanged(const std::string& before, const std::string& after,
                                 const std::string& expectedEntityText) {
  ASSERT_GE(after.size(), 124U);
  EXPECT_EQ(ReadInt32(after, 0), 30);
  for (int index = 0; index < kLumps; ++index) {
    if (index == kEntityLump || index == kTextureLump) continue;
    EXPECT_EQ(DirectoryEntry(after, index).offset, DirectoryEntry(before, index).offset) << "lump " << index;
    EXPECT_EQ(LumpBytes(after, index), LumpBytes(before, index)) << "lump " << index;
  }
  EXPECT_EQ(LumpBytes(after, kTextureLump), LumpBytes(before, kTextureLump));
  EXPECT_EQ(LumpBytes(after, kEntityLump), expectedEntityText + '\0');
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    entityText_ = mw::MakeEntityText(40, 7);
    original_ = mw::WriteMap(mw::MakeMapContents(entityText_, 7));
    map_ = dir_.File("de_made.bsp");
    WriteFileBytes(map_, original_);
  }

  test::TempDir dir_;
  std::string entityText_;
  std::string original_;
  std::string map_;
};

struct ExitCase {
  const char* name;
  std::vector<std::string> args;  // "MAP", "V29", "SHORT", "MISSING", "DIR" stand for paths
  int status;
  const char* outHas;  // substring of standard output, "" for empty output
  const char* errHas;  // substring of standard error, "" for empty error output
};

TEST_F(CliTest, ExitStatusesAndWhereTheTextGoes) {
  mw::MapContents v29 = mw::MakeMapContents(entityText_, 3);
  v29.version = 29;
  WriteFileBytes(dir_.File("v29.bsp"), mw::WriteMap(v29));
  WriteFileBytes(dir_.File("too_short.bsp"), original_.substr(0, 60));

  const std::vector<ExitCase> cases = {
      {"no arguments", {}, 2, "", "usage: lumpwright-cli"},
      {"unknown command", {"frobnicate", "MAP"}, 2, "", "unknown command 'frobnicate'"},
      {"missing operand", {"info"}, 2, "", "usage: lumpwright-cli info MAP"},
      {"extra operand", {"show", "MAP", "MAP"}, 2, "", "usage: lumpwright-cli show MAP"},
      {"import without text", {"import", "MAP"}, 2, "", "usage: lumpwright-cli import MAP FILE"},
      {"option of another command", {"show", "MAP", "-o", "x.ent"}, 2, "", "unknown option '-o'"},
      {"option without its value", {"export", "MAP", "-o"}, 2, "", "needs a value"},
      {"unknown code page", {"--codepage", "12345", "info", "MAP"}, 2, "", "unknown code page"},
      {"version", {"--version"}, 0, "lumpwright-cli 1.3.0\n", ""},
      {"help lists the commands", {"--help"}, 0, "import MAP FILE", ""},
      {"info", {"info", "MAP"}, 0, "version:      30", ""},
      {"info in a double-byte code page", {"--codepage", "932", "info", "MAP"}, 0, "standard", ""},
      {"missing map",
       {"show", "MISSING"},
       1,
       "",
       "MISSING: error: Error openning the file: MISSING. Make sure it isn't opened in another program. ("},
      {"version 29", {"show", "V29"}, 1, "", "BSP is version 29, not 30\n"},
      {"version 29 info", {"info", "V29"}, 1, "", "BSP is version 29, not 30\n"},
      {"too short to hold a header", {"export", "SHORT"}, 1, "", "too_short.bsp"},
      {"import of a missing text", {"import", "MAP", "MISSING"}, 1, "", "Error reading the file: "},
      {"import of a folder", {"import", "MAP", "DIR"}, 1, "", "Error reading the file: "},
  };
  for (const ExitCase& row : cases) {
    std::vector<std::string> args = row.args;
    std::string outHas = row.outHas;
    std::string errHas = row.errHas;
    for (std::string* text : {&outHas, &errHas}) {
      for (size_t at = text->find("MISSING"); at != std::string::npos; at = text->find("MISSING")) {
        text->replace(at, 7, dir_.File("missing.bsp"));
      }
    }
    for (std::string& arg : args) {
      if (arg == "MAP") arg = map_;
      if (arg == "V29") arg = dir_.File("v29.bsp");
      if (arg == "SHORT") arg = dir_.File("too_short.bsp");
      if (arg == "MISSING") arg = dir_.File("missing.bsp");
      if (arg == "DIR") arg = dir_.Path().string();
    }
    const CliResult result = RunArgs(args);
    EXPECT_EQ(result.status, row.status) << row.name << "\nstderr: " << result.err;
    if (outHas.empty()) {
      EXPECT_EQ(result.out, "") << row.name;
    } else {
      EXPECT_NE(result.out.find(outHas), std::string::npos) << row.name << "\nstdout: " << result.out;
    }
    if (errHas.empty()) {
      EXPECT_EQ(result.err, "") << row.name;
    } else {
      EXPECT_NE(result.err.find(errHas), std::string::npos) << row.name << "\nstderr: " << result.err;
    }
    EXPECT_EQ(CodePage::Active(), CodePage::kSingleByte) << row.name << ": the run left its code page";
  }
  EXPECT_EQ(ReadFileBytes(map_), original_) << "no command above may change the map";
}

TEST_F(CliTest, InfoReportsTheDirectoryBlocksAndLayout) {
  const CliResult result = RunArgs({"info", map_});
  ASSERT_EQ(result.status, 0) << result.err;
  // Decal blocks carry "{target" values: only braces outside quotes open a block.
  EXPECT_NE(result.out.find("entities:     40 blocks in lump 0\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("layout:       standard"), std::string::npos);
  const char* names[kLumps] = {"entities", "planes",       "textures", "vertices",  "visibility",
                               "nodes",    "texinfo",      "faces",    "lighting",  "clipnodes",
                               "leaves",   "marksurfaces", "edges",    "surfedges", "models"};
  for (int index = 0; index < kLumps; ++index) {
    const Lump lump = DirectoryEntry(original_, index);
    const std::string row =
        FormatString("  %5d  %-12s  %10d  %10d\n", index, names[index], lump.offset, lump.length).Str();
    EXPECT_NE(result.out.find(row), std::string::npos) << "missing row: " << row << result.out;
  }
}

TEST_F(CliTest, InfoTellsUnusualMapsApart) {
  // Data after the textures lump: not the compile tools' layout.
  WriteFileBytes(dir_.File("trailing.bsp"), original_ + std::string(16, '\xAB'));
  // Entries 0 and 1 swapped, as Blue Shift stores them.
  std::string swapped = original_;
  std::swap_ranges(swapped.begin() + 4, swapped.begin() + 12, swapped.begin() + 12);
  WriteFileBytes(dir_.File("swapped.bsp"), swapped);

  const CliResult trailing = RunArgs({"info", dir_.File("trailing.bsp")});
  EXPECT_EQ(trailing.status, 0) << trailing.err;
  EXPECT_NE(trailing.out.find("layout:       compile tools' order, with 16 bytes that no table describes\n"),
            std::string::npos)
      << trailing.out;
  EXPECT_NE(trailing.out.find("16 bytes at " + std::to_string(original_.size()) + "\n"), std::string::npos);

  const CliResult info = RunArgs({"info", dir_.File("swapped.bsp")});
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("40 blocks in lump 1"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("      0  planes  "), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("      1  entities"), std::string::npos) << info.out;
  const CliResult show = RunArgs({"show", dir_.File("swapped.bsp")});
  EXPECT_EQ(show.out, ToDisplayText(entityText_.c_str()).Str());
}

TEST_F(CliTest, ShowAndExportGiveTheEditorsAndTheStoredBytes) {
  // Bytes around the blocks: show trims what follows the last '}', export
  // keeps everything up to the NUL.
  const std::string stored = "// made by hand\n" + entityText_ + "trailing words\n";
  WriteFileBytes(map_, mw::WriteMap(mw::MakeMapContents(stored, 7)));

  const CliResult show = RunArgs({"show", map_});
  EXPECT_EQ(show.status, 0);
  EXPECT_EQ(show.out, ToDisplayText(stored.c_str()).Str());
  EXPECT_NE(show.out.find("}\r\n{\r\n"), std::string::npos);
  EXPECT_EQ(show.err, "");

  const CliResult exported = RunArgs({"export", map_});
  EXPECT_EQ(exported.status, 0);
  EXPECT_EQ(exported.out, stored);

  const CliResult toFile = RunArgs({"export", map_, "-o", dir_.File("de_made.ent")});
  EXPECT_EQ(toFile.status, 0);
  EXPECT_EQ(toFile.out, "");
  EXPECT_EQ(ReadFileBytes(dir_.File("de_made.ent")), stored);

  const CliResult unwritable = RunArgs({"export", map_, "-o", dir_.File("no/such/folder.ent")});
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_NE(unwritable.err.find("Error writing the file: "), std::string::npos);
}

TEST_F(CliTest, ExportThenImportKeepsEveryOtherLump) {
  const std::string ent = dir_.File("de_made.ent");
  ASSERT_EQ(RunArgs({"export", map_, "-o", ent}).status, 0);
  const CliResult same = RunArgs({"import", map_, ent});
  EXPECT_EQ(same.status, 0) << same.err;
  EXPECT_EQ(same.out, "unchanged: its entity lump already holds this text; not saved\n");
  EXPECT_EQ(ReadFileBytes(map_), original_);

  // A text with errors fails before anything else is said of it, even one
  // the map already holds: a stray word after its last block.
  const std::string broken = dir_.File("broken.ent");
  WriteFileBytes(broken, ReadFileBytes(ent) + "stray\n");
  ASSERT_EQ(RunArgs({"import", "--exact", "--force", map_, broken}).status, 0);
  const std::string holding = ReadFileBytes(map_);
  const CliResult refused = RunArgs({"import", "--exact", map_, broken});
  EXPECT_EQ(refused.status, 1) << refused.out;
  EXPECT_EQ(refused.out.find("unchanged"), std::string::npos) << refused.out;
  EXPECT_NE(refused.err.find("error: text outside a block"), std::string::npos) << refused.err;
  EXPECT_EQ(ReadFileBytes(map_), holding);
  WriteFileBytes(map_, original_);

  const std::string added = "{\n\"classname\" \"info_target\"\n\"targetname\" \"added\"\n}\n";
  WriteFileBytes(ent, ReadFileBytes(ent) + added);
  const CliResult imported = RunArgs({"import", map_, ent});
  EXPECT_EQ(imported.status, 0) << imported.err;
  EXPECT_EQ(imported.out, "The file:  de_made.bsp\nwas saved!\n");
  EXPECT_EQ(imported.err, "");

  const std::string after = ReadFileBytes(map_);
  ExpectOnlyEntityTextChanged(original_, after, entityText_ + added);
  const Lump entities = DirectoryEntry(after, kEntityLump);
  const Lump textures = DirectoryEntry(after, kTextureLump);
  EXPECT_EQ(textures.offset, entities.offset + entities.length) << "no padding after the entity text";
  EXPECT_EQ(after.size(), static_cast<size_t>(textures.offset) + static_cast<size_t>(textures.length));
}

TEST_F(CliTest, ImportTakesTheEditorsTextFromStandardInput) {
  // What show prints is what the edit box holds; saving it gives the lump form.
  const std::string display = RunArgs({"show", map_}).out;
  const CliResult same = RunArgs({"import", map_, "-"}, display);
  EXPECT_EQ(same.status, 0) << same.err;
  ExpectOnlyEntityTextChanged(original_, ReadFileBytes(map_), entityText_);

  // Text typed around the blocks does not reach the file.
  const std::string typed = "notes\r\n{\r\n\"classname\" \"worldspawn\"\r\n}\r\nmore notes";
  const CliResult edited = RunArgs({"import", map_, "-", "--force"}, typed);
  EXPECT_EQ(edited.status, 0) << edited.err;
  EXPECT_EQ(StoredEntityText(ReadFileBytes(map_)), "{\n\"classname\" \"worldspawn\"\n}\n");
  ExpectOnlyEntityTextChanged(original_, ReadFileBytes(map_), LumpForm(typed));
}

TEST_F(CliTest, FailedImportsLeaveTheMapAlone) {
  // Only one NUL as the very last byte is a terminator (ripent's).
  for (const std::string& tail : {std::string("\0junk", 5), std::string("\0\0", 2), std::string("\0\n", 2)}) {
    const CliResult withNul = RunArgs({"import", map_, "-"}, "{\n\"a\" \"b\"\n}\n" + tail);
    EXPECT_EQ(withNul.status, 1);
    EXPECT_NE(withNul.err.find("NUL"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(map_), original_);
  }

  std::filesystem::permissions(
      map_,
      std::filesystem::perms::owner_write | std::filesystem::perms::group_write | std::filesystem::perms::others_write,
      std::filesystem::perm_options::remove);
  // Quiet: the check's warnings (a de_ map without its bomb targets) stay out.
  const CliResult readOnly = RunArgs({"import", "-q", map_, "-"}, "{\n\"classname\" \"worldspawn\"\n\"wad\" \"\"\n}\n");
  EXPECT_EQ(readOnly.status, 1);
  EXPECT_EQ(readOnly.out, "");
  // One line, as a grep for the map finds it.
  EXPECT_EQ(readOnly.err.rfind(map_ + ": error: Error saving the file: de_made.bsp. (the map is read-only (", 0), 0U)
      << readOnly.err;
  EXPECT_EQ(std::count(readOnly.err.begin(), readOnly.err.end(), '\n'), 2) << "and the summary: " << readOnly.err;
  EXPECT_EQ(ReadFileBytes(map_), original_);
}

// export -o and dump -o replace a file whole or leave it as it was, and never
// write entity text over a map.
#if !defined(_WIN32)  // symbolic links, hard links and /dev/fd are POSIX matters
TEST_F(CliTest, FilesTheCommandLineWritesNeverLandOnAMap) {
  const std::string other = dir_.File("cs_other.bsp");
  const std::string otherBytes = mw::WriteMap(mw::MakeMapContents(entityText_, 3));
  const std::string backup = dir_.File("backup.ent");
  std::filesystem::create_directory(dir_.Path() / "elsewhere");
  const std::string stored = StoredEntityText(original_);
  const std::string beingRead = " is the map being read; its entity text is not written over it.\n";
  const std::string isAMap = " is a map (it starts with a BSP header); entity text is not written over a map.\n";
  const struct {
    const char* name;
    std::vector<std::string> args;
    std::string target;  // the file the command writes
    int status;
    std::string err;
  } cases[] = {
      {"export over the map itself", {"export", map_, "-o", map_}, map_, 1, "lumpwright-cli: " + map_ + beingRead},
      {"export over a link to the map",
       {"export", map_, "-o", dir_.File("link.bsp")},
       map_,
       1,
       "lumpwright-cli: " + dir_.File("link.bsp") + beingRead},
      {"export over another map", {"export", map_, "-o", other}, other, 1, "lumpwright-cli: " + other + isAMap},
      {"dump over a map",
       {"dump", map_, "-o", other},
       other,
       1,
       "Error writing the file: " + other + ".\nIt is a map, and the dump is never written over a map.\n"},
      {"export over an older backup", {"export", map_, "-o", backup}, backup, 0, ""},
      {"export over a hard-linked backup", {"export", map_, "-o", backup}, dir_.File("elsewhere/backup.ent"), 0, ""},
      {"export to /dev/null", {"export", map_, "-o", "/dev/null"}, "", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFileBytes(map_, original_);
    WriteFileBytes(other, otherBytes);
    std::filesystem::remove(dir_.File("link.bsp"));
    std::filesystem::create_symlink(map_, dir_.File("link.bsp"));
    std::filesystem::remove(dir_.File("elsewhere/backup.ent"));
    WriteFileBytes(backup, "an older backup, longer than the text it is replaced with" + std::string(5000, '.'));
    std::filesystem::create_hard_link(backup, dir_.File("elsewhere/backup.ent"));
    const std::string before = c.target.empty() ? "" : ReadFileBytes(c.target);

    const CliResult result = RunArgs(c.args);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.err, c.err);
    if (c.target.empty()) continue;
    EXPECT_EQ(ReadFileBytes(c.target), c.status == 0 ? stored : before);
    EXPECT_TRUE(std::filesystem::is_symlink(dir_.File("link.bsp")));
    EXPECT_EQ(std::filesystem::hard_link_count(backup), 2u);
    EXPECT_EQ(ReadFileBytes(map_), original_);
  }
  EXPECT_EQ(dir_.Entries(),
            (std::vector<std::string>{"backup.ent", "cs_other.bsp", "de_made.bsp", "elsewhere", "link.bsp"}));
  // A descriptor the program was given (/dev/stdout after `>> FILE`) is
  // written where it writes, after what is there.
  WriteFileBytes(backup, "earlier output\n");
  const int shellOutput = open(backup.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  const CliResult toDescriptor = RunArgs({"export", map_, "-o", "/dev/fd/" + std::to_string(shellOutput)});
  close(shellOutput);
  EXPECT_EQ(toDescriptor.status, 0) << toDescriptor.err;
  EXPECT_EQ(ReadFileBytes(backup), "earlier output\n" + stored);
}

#endif

TEST(TerminalMessagesTest, ConfirmationsGoToStdoutErrorsToStderrQuestionsAnswerAsTold) {
  struct Row {
    bool answerYes;
    bool succeeded;
    bool expectedAnswer;
  };
  for (const Row row : {Row{false, true, false}, Row{true, false, true}}) {
    TerminalMessages messages(row.answerYes);
    std::ostringstream out;
    std::ostringstream err;
    messages.ShowMessage("The file:  a.bsp\nwas saved!");
    EXPECT_EQ(messages.AskYesNo("Save changes?"), row.expectedAnswer);
    messages.Flush(row.succeeded, out, err);
    const std::string& target = row.succeeded ? out.str() : err.str();
    const std::string& other = row.succeeded ? err.str() : out.str();
    EXPECT_EQ(target.rfind("The file:  a.bsp\nwas saved!\nSave changes?", 0), 0U) << target;
    EXPECT_EQ(other, "");
    // Flushed messages are not printed twice.
    std::ostringstream again;
    messages.Flush(true, again, again);
    EXPECT_EQ(again.str(), "");
  }
}

// The real maps, made by the game's compile tools.
std::vector<std::filesystem::path> RealMaps() {
  std::vector<std::filesystem::path> maps;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(test::kRealMapsDir, ignored)) {
    if (entry.path().extension() == ".bsp") maps.push_back(entry.path());
  }
  std::sort(maps.begin(), maps.end());
  return maps;
}

// A backup of every real map's entities and its restore: what export -o
// FOLDER writes, import --from FOLDER puts back, and an import that changes
// nothing leaves each file alone.
TEST(CliRealMapsTest, BackupAndRestoreRoundTripEveryRealMap) {
  const std::vector<std::filesystem::path> maps = RealMaps();
  if (maps.empty()) GTEST_SKIP() << "no real maps in " << test::kRealMapsDir;
  test::TempDir dir;
  const std::string folder = dir.File("maps");
  const std::string backup = dir.File("backup");
  std::filesystem::create_directory(folder);
  std::vector<std::string> originals;
  for (const std::filesystem::path& real : maps) {
    originals.push_back(ReadFileBytes(real));
    WriteFileBytes(folder + "/" + real.filename().string(), originals.back());
  }
  const auto each = [&](const std::function<void(const std::string& map, const std::string& ent, size_t i)>& check) {
    for (size_t i = 0; i < maps.size(); ++i) {
      SCOPED_TRACE(maps[i].filename().string());
      check(folder + "/" + maps[i].filename().string(), backup + "/" + maps[i].stem().string() + ".ent", i);
    }
  };

  const CliResult exported = RunArgs({"export", folder, "-o", backup, "--quiet"});
  EXPECT_EQ(exported.status, 0) << exported.err;
  EXPECT_EQ(exported.err, "") << "a quiet run that fails nowhere says nothing";
  each([&](const std::string& map, const std::string& ent, size_t i) {
    EXPECT_EQ(ReadFileBytes(ent), StoredEntityText(originals[i]));
    const CliResult show = RunArgs({"show", map});
    EXPECT_EQ(show.out, ToDisplayText(StoredEntityText(originals[i]).c_str()).Str());
  });

  // Restoring an untouched backup writes nothing, exact or not, for a map
  // already in the lump form the editor saves.
  const CliResult same = RunArgs({"import", "--exact", "--from", backup, folder});
  EXPECT_EQ(same.status, 0) << same.err;
  EXPECT_FALSE(Has(same.out, "was saved!")) << same.out;
  each([&](const std::string& map, const std::string&, size_t i) { EXPECT_TRUE(ReadFileBytes(map) == originals[i]); });

  // After an edit of every map, the exact restore brings each stored text back
  // byte for byte ("\r\n" line ends included), every other lump kept.
  const CliResult edited = RunArgs({"set", "skyname", "space", folder, "--class", "worldspawn", "-q"});
  EXPECT_EQ(edited.status, 0) << edited.err;
  const CliResult restored = RunArgs({"import", "--from", backup, folder, "--exact", "-q"});
  EXPECT_EQ(restored.status, 0) << restored.err;
  each([&](const std::string& map, const std::string& ent, size_t i) {
    ExpectOnlyEntityTextChanged(originals[i], ReadFileBytes(map), StoredEntityText(originals[i]));
    // ripent's .ent ends with the lump's NUL: the same lump, so nothing to write.
    WriteFileBytes(ent, StoredEntityText(originals[i]) + '\0');
    const CliResult fromRipent = RunArgs({"import", map, ent, "--exact"});
    EXPECT_EQ(fromRipent.out, "unchanged: its entity lump already holds this text; not saved\n") << fromRipent.err;
    // The editor's import stores its lump form.
    const CliResult asEditor = RunArgs({"import", map, ent});
    EXPECT_EQ(asEditor.status, 0) << asEditor.err;
    EXPECT_EQ(StoredEntityText(ReadFileBytes(map)), LumpForm(StoredEntityText(originals[i])));
  });
}

}  // namespace
}  // namespace lw
