#include "cli/Cli.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "bsp/CBspFile.h"
#include "bsp/EntityTextFile.h"
#include "bsp/MapExtras.h"
#include "cli/BatchEditor.h"
#include "cli/CheckCommand.h"
#include "cli/CliSupport.h"
#include "cli/JsonOutput.h"
#include "cli/MapCommands.h"
#include "cli/TerminalMessages.h"
#include "entities/DeleteAllPass.h"
#include "entities/EntityText.h"
#include "platform/CString.h"
#include "platform/CodePage.h"
#include "platform/FailureReason.h"

namespace lw {
namespace {

constexpr size_t kAnyNumber = static_cast<size_t>(-1);
constexpr int kLumpCount = 15;
constexpr size_t kHelpColumn = 22;

struct OptionSpec {
  std::string_view name;
  bool takesValue;
};

using Handler = int (*)(Invocation&);

// A command of the table below. The dispatcher checks the operand count and
// the options against it before the handler runs.
struct Command {
  std::string_view name;
  std::string_view synopsis;  // what follows the name in the usage line
  std::string_view summary;
  size_t minOperands;
  size_t maxOperands;
  std::vector<OptionSpec> options;
  Handler run;

  [[nodiscard]] const OptionSpec* FindOption(std::string_view option) const {
    for (const OptionSpec& known : options) {
      if (known.name == option) return &known;
    }
    return nullptr;
  }
};

// The directory's entries in file-header order. A swapped directory (Blue
// Shift) holds the planes in entry 0 and the entities in entry 1.
constexpr std::string_view kLumpNames[kLumpCount] = {"entities", "planes",       "textures", "vertices",  "visibility",
                                                     "nodes",    "texinfo",      "faces",    "lighting",  "clipnodes",
                                                     "leaves",   "marksurfaces", "edges",    "surfedges", "models"};

std::string_view LumpName(int index, int entityLumpIndex) {
  if (entityLumpIndex == 1 && (index == 0 || index == 1)) return kLumpNames[1 - index];
  return kLumpNames[index];
}

// Counts the entity blocks: a '{' outside quotes opens one. Braces inside
// quoted values ("{target" decals) are not blocks; quotes pair up within a line.
int CountEntityBlocks(std::string_view text) {
  int count = 0;
  bool inQuotes = false;
  bool inBlock = false;
  for (size_t i = 0; i < text.size(); i += CharLengthAt(text, i)) {
    const char c = text[i];
    if (c == '\n') {
      inQuotes = false;
    } else if (c == '"') {
      inQuotes = !inQuotes;
    } else if (!inQuotes && c == '{' && !inBlock) {
      ++count;
      inBlock = true;
    } else if (!inQuotes && c == '}') {
      inBlock = false;
    }
  }
  return count;
}

// Loads a map; its own messages go to standard error when that fails.
bool Load(CBspFile& map, TerminalMessages& messages, const std::string& path, Invocation& call) {
  const bool loaded = map.LoadMap(CString(path)) == 0;
  if (!loaded) {
    AddLoadReason(messages, CString(path));
    call.err << FailureLine(path, messages.TakePending());
  }
  messages.Flush(loaded, call.out, call.err);
  return loaded;
}

std::string CountOf(std::uint64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// What the map is made of, for the layout line: its order, then the blocks
// beyond the lump table and the bytes no table describes.
std::string LayoutDescription(const CBspFile& map) {
  std::string description = map.HasStandardLayout()  ? "standard (as the compile tools write it)"
                            : map.HasCompilerOrder() ? "compile tools' order"
                                                     : "not in the compile tools' order";
  std::vector<std::string> extras;
  const MapExtras& blocks = map.Extras();
  if (blocks.extended) {
    const auto used = std::count_if(blocks.extended->lumps.begin(), blocks.extended->lumps.end(),
                                    [](const BspLump& lump) { return lump.length > 0; });
    extras.push_back("an extended header (" + CountOf(static_cast<size_t>(used), "lump", "lumps") + ")");
  }
  if (blocks.bspx) extras.push_back("a BSPX block (" + CountOf(blocks.bspx->lumps.size(), "lump", "lumps") + ")");
  size_t loose = 0;
  for (const FileBytes& bytes : map.LooseBytes()) loose += bytes.length;
  if (loose > 0) extras.push_back(CountOf(loose, "byte", "bytes") + " that no table describes");
  for (size_t i = 0; i < extras.size(); ++i) {
    description += i == 0 ? ", with " : (i + 1 == extras.size() ? " and " : ", ");
    description += extras[i];
  }
  return description;
}

MapInfo InfoOf(const CBspFile& map, const std::string& path) {
  const int entityLump = map.EntityLumpIndex();
  MapInfo info;
  info.path = path;
  info.version = map.Version();
  info.size = map.ImageSize();
  info.entities = CountEntityBlocks(map.GetEntityText());
  info.entityLump = entityLump;
  info.standardLayout = map.HasStandardLayout();
  info.layoutDescription = LayoutDescription(map);
  for (int index = 0; index < kLumpCount; ++index) {
    const CBspFile::LumpInfo lump = map.Lump(index);
    info.lumps.push_back({index, LumpName(index, entityLump), lump.offset, lump.length});
  }
  const MapExtras& extras = map.Extras();
  if (extras.extended) {
    info.hasExtendedHeader = true;
    for (size_t index = 0; index < extras.extended->lumps.size(); ++index) {
      const BspLump& lump = extras.extended->lumps[index];
      info.extendedLumps.push_back(
          {static_cast<int>(index), std::string(kExtendedLumpNames[index]), lump.offset, lump.length});
    }
  }
  if (extras.bspx) {
    info.hasBspx = true;
    info.bspxOffset = extras.bspx->offset;
    for (size_t index = 0; index < extras.bspx->lumps.size(); ++index) {
      const BspxLump& lump = extras.bspx->lumps[index];
      info.bspxLumps.push_back({static_cast<int>(index), lump.Name(), lump.lump.offset, lump.lump.length});
    }
  }
  for (const FileBytes& bytes : map.LooseBytes()) info.looseBytes.push_back({bytes.offset, bytes.length});
  info.saveRefusal = extras.fault;
  return info;
}

// A table of lumps: index, name, offset, length.
template <typename Lump>
void PrintLumps(std::ostringstream& report, const std::vector<Lump>& lumps, int nameWidth) {
  report << FormatString("  %5s  %-*s  %10s  %10s\n", "index", nameWidth, "name", "offset", "length").Str();
  for (const Lump& lump : lumps) {
    const std::string name(lump.name);
    report << FormatString("  %5d  %-*s  %10d  %10d\n", lump.index, nameWidth, name.c_str(), lump.offset, lump.length)
                  .Str();
  }
}

// Loads a map of a batch in the editor; why it failed joins the editor's messages.
bool LoadInEditor(BatchEditor& editor, const BatchMap& map) {
  if (editor.Load(map)) return true;
  // "No such file." says it all; for the rest the system or the file's first
  // bytes say why.
  std::error_code error;
  if (std::filesystem::exists(map.Path().Str(), error)) AddLoadReason(editor.Messages(), map.Path());
  return false;
}

std::string InfoReport(const MapInfo& info) {
  std::ostringstream report;
  report << "map:          " << info.path << '\n'
         << "version:      " << info.version << '\n'
         << "size:         " << info.size << " bytes\n"
         << "entities:     " << info.entities << " blocks in lump " << info.entityLump
         << (info.entityLump == 1 ? " (planes and entities swapped, as in Blue Shift)" : "") << '\n'
         << "layout:       " << info.layoutDescription << '\n';
  if (!info.saveRefusal.empty()) report << "save:         refused. " << info.saveRefusal << '\n';
  report << "lumps:\n";
  PrintLumps(report, info.lumps, 12);
  if (info.hasExtendedHeader) {
    report << "extended header lumps (XASH version " << kExtendedHeaderVersion << "):\n";
    PrintLumps(report, info.extendedLumps, 12);
  }
  if (info.hasBspx) {
    report << "BSPX lumps (block at " << info.bspxOffset << "):\n";
    PrintLumps(report, info.bspxLumps, 24);
  }
  if (!info.looseBytes.empty()) {
    report << "bytes no table describes (a save keeps them):\n";
    for (const InfoBytes& bytes : info.looseBytes) {
      report << "  " << CountOf(bytes.length, "byte", "bytes") << " at " << bytes.offset << '\n';
    }
  }
  return report.str();
}

int RunInfo(Invocation& call) {
  const bool json = call.Option("--json") != nullptr;
  std::error_code error;
  if (call.operands.size() == 1 && !std::filesystem::is_directory(call.operands[0], error)) {
    const std::string& path = call.operands[0];
    TerminalMessages messages(false);
    CBspFile map(messages);
    map.SetReadOnly(true);
    if (!Load(map, messages, path, call)) return kExitFailure;
    const MapInfo info = InfoOf(map, path);
    return WriteOut(call, json ? InfoJson(info) : InfoReport(info));
  }
  // Several maps: one report after another, or a JSON array.
  BatchEditor editor(false, false);
  CBspFile& map = editor.Editor().MapFile();
  map.SetReadOnly(true);
  std::vector<MapInfo> infos;
  const ExpandedMaps maps = ExpandMaps(call, editor, 0);
  bool first = true;
  const int status = RunBatch(call, maps, editor.Messages(), BatchKind::kReading, false,
                              [&](const BatchMap& each, std::string& output) {
                                if (!LoadInEditor(editor, each)) return MapOutcome::Failed();
                                infos.push_back(InfoOf(map, each.Path().Str()));
                                if (!json) {
                                  output += (first ? "" : "\n") + InfoReport(infos.back());
                                  first = false;
                                }
                                return MapOutcome{};
                              });
  if (!json) return status;
  const int written = WriteOut(call, InfoJson(infos));
  return status == kExitSuccess ? written : status;
}

int RunShow(Invocation& call) {
  TerminalMessages messages(false);
  CBspFile map(messages);
  map.SetReadOnly(true);
  if (!Load(map, messages, call.operands[0], call)) return kExitFailure;
  const CString display = ToDisplayText(map.GetEntityText());
  return WriteOut(call, display.View());
}

// The search string of find and delete-all; an empty one would do nothing.
CString SearchString(const Invocation& call) {
  if (call.operands[0].empty()) throw UsageError("the search string is empty");
  return CString(call.operands[0]);
}

int RunList(Invocation& call) {
  const std::string& folder = call.operands[0];
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) {
    call.err << kProgramName << ": " << folder << ": no such folder\n";
    return kExitFailure;
  }
  BatchEditor editor(false, false);
  const std::vector<CString>& maps = editor.ListMaps(AsMapFolder(folder));
  if (call.Option("--json") != nullptr) {
    std::vector<std::string> names;
    for (const CString& name : maps) names.push_back(name.Str());
    return WriteOut(call, ListJson(folder, names));
  }
  std::string listing;
  for (const CString& name : maps) listing += name.Str() + '\n';
  return WriteOut(call, listing);
}

// A block that Find or Find Next selected: its place in the editor's text.
struct SelectedBlock {
  int start;
  int end;
  std::string_view text;
};

// Every block Find and Find Next select in the loaded map, in order.
std::vector<SelectedBlock> FindBlocks(BatchEditor& editor, const CString& needle) {
  CEntityEditorDlg& dlg = editor.Editor();
  std::vector<SelectedBlock> found;
  editor.View().TypeSearch(needle);
  dlg.OnFind();
  // Find Next moves the search position past each block it selects; when it
  // does not, it found nothing or began again from the top.
  int position = 0;
  while (dlg.GetSearchPosition() > position) {
    position = dlg.GetSearchPosition();
    int start = 0;
    int end = 0;
    editor.View().Entities().GetSel(start, end);
    const std::string_view text = editor.View().Entities().LiveText();
    found.push_back({start, end, text.substr(static_cast<size_t>(start), static_cast<size_t>(end - start))});
    dlg.OnFindNext();
  }
  return found;
}

// "MAP:START-END" and the block, as find prints each block.
void PrintFound(std::string& output, const BatchMap& map, const std::vector<SelectedBlock>& found) {
  for (const SelectedBlock& block : found) {
    output += FormatString("%s:%d-%d\n", map.Path().GetString(), block.start, block.end).Str();
    output += block.text;
    if (output.back() != '\n') output += '\n';
  }
}

int RunFind(Invocation& call) {
  const CString needle = SearchString(call);
  BatchEditor editor(false, false);
  editor.Editor().MapFile().SetReadOnly(true);
  const bool json = call.Has("--json");
  std::vector<MapFinds> finds;
  const ExpandedMaps maps = ExpandMaps(call, editor, 1);
  const int status =
      RunBatch(call, maps, editor.Messages(), BatchKind::kReading, true, [&](const BatchMap& map, std::string& output) {
        if (!LoadInEditor(editor, map)) return MapOutcome::Failed();
        const std::vector<SelectedBlock> found = FindBlocks(editor, needle);
        if (json) {
          finds.push_back({map.Path().Str(), {}});
          for (const SelectedBlock& block : found) {
            finds.back().blocks.push_back({block.start, block.end, std::string(block.text)});
          }
        } else {
          PrintFound(output, map, found);
        }
        return MapOutcome{MapOutcome::State::kUnchanged, !found.empty()};
      });
  if (!json) return status;
  // The maps that could not be read are left out; standard error names them.
  const int written = WriteOut(call, FindJson(needle.View(), finds));
  return status == kExitFailure ? status : (written != kExitSuccess ? written : status);
}

int RunDeleteAll(Invocation& call) {
  const CString needle = SearchString(call);
  const bool dryRun = call.Has("--dry-run");
  BatchEditor editor(false, false);
  CEntityEditorDlg& dlg = editor.Editor();
  TerminalMessages& messages = editor.Messages();
  // Each map's bytes reach the disk before its rename; the folders' own sync
  // waits for the end of the batch.
  const SaveBatch batch(SystemFileSystem());
  const ExpandedMaps maps = ExpandMaps(call, editor, 1);
  const auto unchanged = [&] {
    messages.ShowMessage(
        FormatString("unchanged: no entity contains the string \"%s\"; not saved", needle.GetString()));
    return MapOutcome{};
  };
  return RunBatch(
      call, maps, messages, dryRun ? BatchKind::kDryRun : BatchKind::kWriting, false,
      [&](const BatchMap& map, std::string& output) {
        if (!LoadInEditor(editor, map)) return MapOutcome::Failed();
        if (dryRun) {
          // What Delete All would take, shown as find shows it; the count is
          // the one Delete All itself would give.
          const std::vector<SelectedBlock> found = FindBlocks(editor, needle);
          const DeleteAllResult result = DeleteAllInOnePass(editor.View().Entities().LiveText(), needle.View(), 0);
          if (result.count == 0) return unchanged();
          PrintFound(output, map, found);
          messages.ShowMessage(FormatString("%d entities containing the string\n\"%s\"\nwould be deleted.",
                                            result.count, needle.GetString()));
          const bool allowed = CheckBeforeSave(call, result.text, LumpTextLength(result.text) + 1, dlg.MapFile(),
                                               map.Path().Str(), map.Path().Str());
          if (!allowed) {
            messages.ShowMessage("It would not be saved: the text left has errors (--force stores it all the same).");
            return MapOutcome::Failed();
          }
          if (const std::string reason = WhyNotSavable(map.Path()); !reason.empty()) {
            messages.ShowMessage(CString("It would not be saved (" + reason + ")."));
            return MapOutcome::Failed();
          }
          messages.ShowMessage("Dry run: not saved.");
          return MapOutcome{MapOutcome::State::kChanged, true};
        }
        editor.View().TypeSearch(needle);
        dlg.OnDeleteAll();
        if (!editor.View().Entities().GetModify()) return unchanged();
        const bool allowed = CheckBeforeSave(call, editor.View().Entities().LiveText(),
                                             LumpTextLength(editor.View().Entities().LiveText()) + 1, dlg.MapFile(),
                                             map.Path().Str(), map.Path().Str());
        if (!allowed) {
          messages.ShowMessage("Not saved: the text left has errors (--force stores it all the same).");
          return MapOutcome::Failed();
        }
        dlg.OnSave();
        if (dlg.LastSaveResult() != 0) {
          AddSaveReason(messages, dlg.MapFile(), map.Path());
          return MapOutcome::Failed();
        }
        return MapOutcome{MapOutcome::State::kChanged, true};
      });
}

int RunDump(Invocation& call) {
  const std::string* target = call.Option("-o");
  if (target == nullptr) throw UsageError("dump needs -o FILE (- for standard output)");
  const bool toStdout = *target == "-";
  BatchEditor editor(false, true, CString(*target));
  editor.Editor().MapFile().SetReadOnly(true);
  const ExpandedMaps maps = ExpandMaps(call, editor, 0);
  int status = RunBatch(call, maps, editor.Messages(), BatchKind::kReading, false,
                        [&](const BatchMap& map, std::string& /*output*/) {
                          return LoadInEditor(editor, map) ? MapOutcome{} : MapOutcome::Failed();
                        });
  if (toStdout) {
    const int written = WriteOut(call, editor.Editor().GetEntityDump().View());
    return status == kExitSuccess ? written : status;
  }
  TerminalMessages& messages = editor.Messages();
  const bool written = editor.Editor().WriteEntityDump();
  // A file that cannot be opened gets no word from the editor.
  if (!written && !messages.HasPending()) {
    messages.ShowMessage(FormatString("Error writing the file: %s.", target->c_str()));
  }
  if (!written) {
    if (const std::string reason = WhyNotSavable(CString(*target)); !reason.empty()) {
      messages.ShowMessage(CString("(" + reason + ")"));
    }
  }
  if (written && call.quiet) messages.TakePending();
  messages.Flush(written, call.out, call.err);
  if (!written) status = kExitFailure;
  return status;
}

int RunCheck(Invocation& call) {
  const std::vector<CheckedText> checked = CheckOperands(call.operands, CheckOptionsOf(call), call.in, call.err);
  if (call.Option("--json") == nullptr) return PrintChecked(checked, call.out, call.quiet);
  // The status as the text output gives it; the lines themselves are not printed.
  std::ostringstream lines;
  const int status = PrintChecked(checked, lines);
  const int written = WriteOut(call, CheckJson(checked));
  return status == kExitSuccess ? written : status;
}

// The options of the commands that write maps.
const std::vector<OptionSpec> kWriteOptions = {
    {"--dry-run", false}, {"--force", false}, {"--max-entities", true}, {"--max-players", true}};

std::vector<OptionSpec> WriteOptionsAnd(std::vector<OptionSpec> more) {
  more.insert(more.end(), kWriteOptions.begin(), kWriteOptions.end());
  return more;
}

// Every command, in the order --help lists them. A new command is one row
// here and one handler; the dispatcher does the rest.
const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"info",
       "MAP... [--json]",
       "version, lump table, entity count and layout of each map",
       1,
       kAnyNumber,
       {{"--json", false}},
       RunInfo},
      {"show", "MAP", "the entity text as the editor shows it (\"\\r\\n\" line ends)", 1, 1, {}, RunShow},
      {"export",
       "MAP... [-o FILE|FOLDER]",
       "the stored entity text, like a .ent file; into a FOLDER: one NAME.ent per map",
       1,
       kAnyNumber,
       {{"-o", true}},
       RunExport},
      {"import", "MAP FILE | --from FOLDER MAP... [--exact]",
       "store FILE's text ('-': standard input), or each FOLDER/NAME.ent, as the\n"
       "editor's Save does; --exact: the bytes as they are",
       1, kAnyNumber, WriteOptionsAnd({{"--from", true}, {"--exact", false}}), RunImport},
      {"list",
       "FOLDER [--json]",
       "the maps the editor lists in FOLDER, in its order",
       1,
       1,
       {{"--json", false}},
       RunList},
      {"find",
       "STRING MAP... [--json]",
       "every block that Find and Find Next select, with its map and position",
       2,
       kAnyNumber,
       {{"--json", false}},
       RunFind},
      {"count",
       "MAP... [--class NAME]...",
       "MAP<TAB>CLASS<TAB>COUNT: the blocks of each class (or of the classes named)",
       1,
       kAnyNumber,
       {{"--class", true}},
       RunCount},
      {"entities",
       "MAP... [--json]",
       "MAP<TAB>BLOCK<TAB>LINE<TAB>CLASS<TAB>TARGETNAME<TAB>ORIGIN: the windows' outline",
       1,
       kAnyNumber,
       {{"--json", false}},
       RunEntities},
      {"spawns",
       "MAP... [--json]",
       "MAP<TAB>T<TAB>CT<TAB>VIP<TAB>MODES: each team's spawns and the modes the map plays",
       1,
       kAnyNumber,
       {{"--json", false}},
       RunSpawns},
      {"get",
       "KEY MAP... [--class NAME]... [--where KEY=VALUE]...",
       "MAP<TAB>BLOCK<TAB>CLASS<TAB>VALUE for each matching block with KEY (BLOCK from 0)",
       2,
       kAnyNumber,
       {{"--class", true}, {"--where", true}},
       RunGet},
      {"set", "KEY VALUE MAP... [--class NAME]... [--where KEY=VALUE]...",
       "set KEY in each matching block, adding it where missing", 3, kAnyNumber,
       WriteOptionsAnd({{"--class", true}, {"--where", true}, {"--expect-change", false}}), RunSet},
      {"remove", "MAP... --class NAME... [--where KEY=VALUE]...", "remove the matching blocks whole", 1, kAnyNumber,
       WriteOptionsAnd({{"--class", true}, {"--where", true}, {"--expect-change", false}}), RunRemove},
      {"rename", "OLD NEW MAP...", "rename the entity name OLD to NEW: its \"targetname\" and every link to it", 3,
       kAnyNumber, WriteOptionsAnd({{"--expect-change", false}}), RunRename},
      {"patch", "MAP... (--recipe FILE | --recipes FOLDER) [--ent-out FOLDER] [--json]",
       "apply a recipe (filter:, add:, modify:); FOLDER: global_filters.cfg and NAME.cfg", 1, kAnyNumber,
       WriteOptionsAnd({{"--recipe", true},
                        {"--recipes", true},
                        {"--ent-out", true},
                        {"--json", false},
                        {"--expect-change", false}}),
       RunPatch},
      {"add", "MAP... [--from FILE|-]", "append the blocks of FILE (default: standard input) to each map", 1,
       kAnyNumber, WriteOptionsAnd({{"--from", true}}), RunAdd},
      {"delete-all", "STRING MAP... [--dry-run] [--force]",
       "Delete All and Save, as in the editor (STRING anywhere in a block)", 2, kAnyNumber, kWriteOptions,
       RunDeleteAll},
      {"check",
       "MAP|FILE|-... [--max-entities N] [--max-players N] [--json]",
       "what the game will refuse or cut: PATH:LINE:COLUMN: error|warning: ...",
       1,
       kAnyNumber,
       {{"--max-entities", true}, {"--max-players", true}, {"--json", false}},
       RunCheck},
      {"dump",
       "MAP... -o FILE|-",
       "the entity text of every map, one after another, into FILE or standard output",
       1,
       kAnyNumber,
       {{"-o", true}},
       RunDump},
  };
  return commands;
}

const Command* FindCommand(std::string_view name) {
  for (const Command& command : Commands()) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

std::string UsageLine(const Command* command) {
  std::string line = "usage: " + std::string(kProgramName);
  if (command == nullptr) return line + " [OPTIONS] COMMAND [ARGS...]  (--help lists the commands)";
  return line + " " + std::string(command->name) + " " + std::string(command->synopsis);
}

int ReportUsage(std::ostream& err, const Command* command, std::string_view problem) {
  err << kProgramName << ": " << problem << '\n' << UsageLine(command) << '\n';
  return kExitUsage;
}

void PrintHelp(std::ostream& out) {
  out << "usage: " << kProgramName << " [OPTIONS] COMMAND [ARGS...]\n\n"
      << "Edits the entity lump of Half-Life BSP version 30 maps (Counter-Strike).\n\n"
      << "Commands:\n";
  for (const Command& command : Commands()) {
    const std::string usage = std::string(command.name) + " " + std::string(command.synopsis);
    std::string summary(command.summary);
    for (size_t at = 0; (at = summary.find('\n', at)) != std::string::npos; at += kHelpColumn + 5) {
      summary.insert(at + 1, kHelpColumn + 4, ' ');
    }
    // A usage too wide for its column gets a line of its own.
    if (usage.size() > kHelpColumn) {
      out << "  " << usage << '\n' << std::string(kHelpColumn + 4, ' ') << summary << '\n';
      continue;
    }
    out << FormatString("  %-22s  ", usage.c_str()).Str() << summary << '\n';
  }
  out << "\nA MAP may be a folder: it stands for every map the editor lists there.\n"
      << "--class and --where match exactly and case-sensitively, as the engine reads keys;\n"
      << "find and delete-all match STRING anywhere in a block, as the editor does.\n"
      << "set, remove, rename, patch, add and import --exact change only the bytes they\n"
      << "must; a map whose text would stay the same is not written.\n"
      << "patch recipes match values exactly, or as a pattern between slashes: /^weapon_/.\n"
      << "Writing commands refuse a text with errors (see check) unless --force is given;\n"
      << "--max-entities N sets the entity limit (default 1200); --dry-run writes nothing,\n"
      << "prints what would change (a unified diff; for delete-all the blocks) and still\n"
      << "fails for a map that could not be saved.\n"
      << "\nOptions:\n"
      << "  --quiet, -q             print only failures and the data asked for (check: errors)\n"
      << "  --exclude GLOB          leave files matching GLOB (*, ?, [...], either case) out of\n"
      << "                          folders, e.g. '._*'\n"
      << "  --codepage N            scan text in ANSI code page N; 932, 936, 949 and 950 are\n"
      << "                          double-byte (default: the system's; 1252 outside Windows)\n"
      << "  --help, -h              this help\n"
      << "  --version               the program's version\n\n"
      << "Options may stand before or after the command; COMMAND --help lists a command's own.\n"
      << "A run over several maps ends with a summary line on standard error (with --quiet\n"
      << "only when a map failed). Each failure is one line: PATH: error: MESSAGE (reason).\n"
      << "Exit status: 0 success, 1 a map failed, 2 usage error,\n"
      << "             3 nothing matched (find, get), or nothing changed (--expect-change).\n";
}

// What each option does, the same for every command that takes it.
struct OptionHelp {
  std::string_view name;
  std::string_view usage;
  std::string_view text;
};
constexpr OptionHelp kOptionHelp[] = {
    {"--json", "--json", "print one JSON document"},
    {"-o", "-o FILE|FOLDER", "where to write (- for standard output)"},
    {"--from", "--from FILE|FOLDER|-", "where to read the text or the .ent files from"},
    {"--exact", "--exact", "store the file's bytes as they are"},
    {"--class", "--class NAME", "blocks of this class (may be repeated: any of them)"},
    {"--where", "--where KEY=VALUE", "blocks whose KEY has this value (may be repeated: all of them)"},
    {"--dry-run", "--dry-run", "write nothing; print what would change"},
    {"--force", "--force", "store a text with errors all the same"},
    {"--max-entities", "--max-entities N", "the entity limit (default 1200)"},
    {"--max-players", "--max-players N", "the server's players: spawns for N/2 a team, 900+15(N-1) entities"},
    {"--expect-change", "--expect-change", "exit 3 when no map changed"},
    {"--recipe", "--recipe FILE|-", "the recipe to apply to every map"},
    {"--recipes", "--recipes FOLDER", "global_filters.cfg, then NAME.cfg for map NAME.bsp"},
    {"--ent-out", "--ent-out FOLDER", "write NAME.ent there and leave the maps as they are"},
};
constexpr OptionHelp kGlobalHelp[] = {
    {"-q", "--quiet, -q", "print only failures and the data asked for"},
    {"--exclude", "--exclude GLOB", "leave files matching GLOB out of folders"},
    {"--codepage", "--codepage N", "scan text in ANSI code page N"},
    {"-h", "--help, -h", "this help"},
};

void PrintOptionLine(std::ostream& out, std::string_view usage, std::string_view text) {
  out << FormatString("  %-24s  ", std::string(usage).c_str()).Str() << text << '\n';
}

// The command's usage, what it does and every option it takes.
void PrintCommandHelp(std::ostream& out, const Command& command) {
  out << UsageLine(&command) << "\n  " << command.summary << "\n\nOptions:\n";
  for (const OptionSpec& option : command.options) {
    for (const OptionHelp& help : kOptionHelp) {
      if (help.name == option.name) PrintOptionLine(out, help.usage, help.text);
    }
  }
  for (const OptionHelp& help : kGlobalHelp) PrintOptionLine(out, help.usage, help.text);
  out << "Options may stand before or after the command.\n";
}

unsigned ParseCodePage(std::string_view value) {
  unsigned id = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), id);
  if (error != std::errc() || end != value.data() + value.size() || !CodePage::IsKnown(id)) {
    throw UsageError("unknown code page '" + std::string(value) + "'");
  }
  return id;
}

// The scanning code page is process-wide; a run leaves it as it found it.
class ActiveCodePageGuard {
 public:
  ActiveCodePageGuard() : saved_(CodePage::Active()) {}
  ~ActiveCodePageGuard() { CodePage::SetActive(saved_); }
  ActiveCodePageGuard(const ActiveCodePageGuard&) = delete;
  ActiveCodePageGuard& operator=(const ActiveCodePageGuard&) = delete;

 private:
  unsigned saved_;
};

struct ParsedLine {
  const Command* command = nullptr;
  bool help = false;
  bool version = false;
};

// Global options whose value is the next argument.
bool IsGlobalValueOption(std::string_view name) { return name == "--exclude" || name == "--codepage"; }

// Whether some command's option `name` takes the next argument as its value:
// before the command's name is found, the option is not known yet.
bool TakesValueAnywhere(std::string_view name) {
  if (IsGlobalValueOption(name)) return true;
  for (const Command& command : Commands()) {
    if (const OptionSpec* option = command.FindOption(name)) return option->takesValue;
  }
  return false;
}

// The command the line names: its first argument that is neither an option
// nor an option's value. Nothing when it names none.
std::optional<size_t> FindCommandArgument(const std::vector<std::string>& args) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") return i + 1 < args.size() ? std::optional<size_t>(i + 1) : std::nullopt;
    if (arg.size() > 1 && arg[0] == '-') {
      if (arg.find('=') == std::string::npos && TakesValueAnywhere(arg)) ++i;
      continue;
    }
    return i;
  }
  return std::nullopt;
}

// Reads the arguments into `call`. Options, global or the command's own, may
// stand before or after the command's name; "--" ends the options and "-"
// alone is an operand (standard input or output).
// Fills `parsed` as it goes, so that a usage error can name the command.
void Parse(const std::vector<std::string>& args, Invocation& call, ParsedLine& parsed) {
  const std::optional<size_t> commandAt = FindCommandArgument(args);
  if (commandAt) {
    parsed.command = FindCommand(args[*commandAt]);
    if (parsed.command == nullptr) throw UsageError("unknown command '" + args[*commandAt] + "'");
  }
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (commandAt && i == *commandAt) continue;
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
      std::string name = arg;
      std::optional<std::string> value;
      if (const size_t equals = arg.find('='); arg.starts_with("--") && equals != std::string::npos) {
        name = arg.substr(0, equals);
        value = arg.substr(equals + 1);
      }
      auto takeValue = [&]() -> std::string {
        if (value) return *value;
        if (i + 1 >= args.size()) throw UsageError("option '" + name + "' needs a value");
        return args[++i];
      };
      if (name == "--help" || name == "-h") {
        parsed.help = true;
      } else if (name == "--version") {
        parsed.version = true;
      } else if (name == "--yes" || name == "-y") {
        // Nothing asks: a batch never leaves edits unsaved. Kept for scripts.
      } else if (name == "--quiet" || name == "-q") {
        call.quiet = true;
      } else if (name == "--exclude") {
        call.excluded.push_back(takeValue());
      } else if (name == "--codepage") {
        CodePage::SetActive(ParseCodePage(takeValue()));
      } else if (const OptionSpec* known = parsed.command ? parsed.command->FindOption(name) : nullptr) {
        if (!known->takesValue && value) throw UsageError("option '" + name + "' takes no value");
        call.options[name].push_back(known->takesValue ? takeValue() : std::string());
      } else {
        throw UsageError("unknown option '" + arg + "'");
      }
      continue;
    }
    call.operands.push_back(arg);
  }
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
           bool errIsTerminal) {
  const ActiveCodePageGuard codePageGuard;
  Invocation call{{}, {}, in, out, err, false, errIsTerminal, {}};
  ParsedLine parsed;
  try {
    Parse(args, call, parsed);
  } catch (const UsageError& problem) {
    return ReportUsage(err, parsed.command, problem.what());
  }

  if (parsed.help) {
    if (parsed.command != nullptr) {
      PrintCommandHelp(out, *parsed.command);
    } else {
      PrintHelp(out);
    }
    return kExitSuccess;
  }
  if (parsed.version) {
    out << kProgramName << ' ' << LUMPWRIGHT_VERSION_STRING << '\n';
    return kExitSuccess;
  }
  const Command* command = parsed.command;
  if (command == nullptr) return ReportUsage(err, nullptr, "no command given");

  const size_t count = call.operands.size();
  if (count < command->minOperands) {
    return ReportUsage(err, command, "too few arguments for '" + std::string(command->name) + "'");
  }
  if (command->maxOperands != kAnyNumber && count > command->maxOperands) {
    return ReportUsage(err, command, "too many arguments for '" + std::string(command->name) + "'");
  }
  try {
    return command->run(call);
  } catch (const UsageError& problem) {
    return ReportUsage(err, command, problem.what());
  } catch (const std::exception& failure) {
    // The core reports its own failures; this is for the rest (out of memory).
    err << kProgramName << ": " << failure.what() << '\n';
    return kExitFailure;
  }
}

}  // namespace lw
