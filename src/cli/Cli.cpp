#include "cli/Cli.h"

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
#include "cli/BatchEditor.h"
#include "cli/CheckCommand.h"
#include "cli/JsonOutput.h"
#include "cli/TerminalMessages.h"
#include "entities/EntityText.h"
#include "platform/CString.h"
#include "platform/CodePage.h"

namespace lw {
namespace {

constexpr std::string_view kProgramName = "lumpwright-cli";
constexpr size_t kAnyNumber = static_cast<size_t>(-1);
constexpr int kLumpCount = 15;
constexpr size_t kHelpColumn = 22;

// Raised while a command line is read or a command checks its operands; the
// dispatcher prints it with the command's usage and exits with kExitUsage.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct OptionSpec {
  std::string_view name;
  bool takesValue;
};

// One command line, read: the command's operands and options and the streams.
struct Invocation {
  std::vector<std::string> operands;
  std::map<std::string, std::string, std::less<>> options;
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  bool answerYes = false;
  bool errIsTerminal = false;

  [[nodiscard]] const std::string* Option(std::string_view name) const {
    const auto it = options.find(name);
    return it == options.end() ? nullptr : &it->second;
  }
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

// Writes bytes to standard output; a failed write (a closed pipe, a full
// disk behind a redirection) is a failure of the command.
int WriteOut(Invocation& call, std::string_view bytes) {
  call.out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  call.out.flush();
  if (!call.out) {
    call.err << kProgramName << ": cannot write to standard output\n";
    return kExitFailure;
  }
  return kExitSuccess;
}

// Loads a map; its own messages go to standard error when that fails.
bool Load(CBspFile& map, TerminalMessages& messages, const std::string& path, Invocation& call) {
  const bool loaded = map.LoadMap(CString(path)) == 0;
  messages.Flush(loaded, call.out, call.err);
  return loaded;
}

int RunInfo(Invocation& call) {
  const std::string& path = call.operands[0];
  TerminalMessages messages(call.answerYes);
  CBspFile map(messages);
  map.SetReadOnly(true);
  if (!Load(map, messages, path, call)) return kExitFailure;

  const int entityLump = map.EntityLumpIndex();
  if (call.Option("--json") != nullptr) {
    MapInfo info{path,
                 map.Version(),
                 map.ImageSize(),
                 CountEntityBlocks(map.GetEntityText()),
                 entityLump,
                 map.HasStandardLayout(),
                 {}};
    for (int index = 0; index < kLumpCount; ++index) {
      const CBspFile::LumpInfo lump = map.Lump(index);
      info.lumps.push_back({index, LumpName(index, entityLump), lump.offset, lump.length});
    }
    return WriteOut(call, InfoJson(info));
  }
  std::ostringstream report;
  report << "map:          " << path << '\n'
         << "version:      " << map.Version() << '\n'
         << "size:         " << map.ImageSize() << " bytes\n"
         << "entities:     " << CountEntityBlocks(map.GetEntityText()) << " blocks in lump " << entityLump
         << (entityLump == 1 ? " (planes and entities swapped, as in Blue Shift)" : "") << '\n'
         << "layout:       "
         << (map.HasStandardLayout() ? "standard (as the compile tools write it)"
                                     : "non-standard (not in the compile tools' order)")
         << '\n'
         << "lumps:\n"
         << FormatString("  %5s  %-12s  %10s  %10s\n", "index", "name", "offset", "length").Str();
  for (int index = 0; index < kLumpCount; ++index) {
    const CBspFile::LumpInfo lump = map.Lump(index);
    const std::string name(LumpName(index, entityLump));
    report << FormatString("  %5d  %-12s  %10d  %10d\n", index, name.c_str(), lump.offset, lump.length).Str();
  }
  return WriteOut(call, report.str());
}

int RunShow(Invocation& call) {
  TerminalMessages messages(call.answerYes);
  CBspFile map(messages);
  map.SetReadOnly(true);
  if (!Load(map, messages, call.operands[0], call)) return kExitFailure;
  const CString display = ToDisplayText(map.GetEntityText());
  return WriteOut(call, display.View());
}

int RunExport(Invocation& call) {
  TerminalMessages messages(call.answerYes);
  CBspFile map(messages);
  map.SetReadOnly(true);
  if (!Load(map, messages, call.operands[0], call)) return kExitFailure;
  const char* stored = map.GetEntityText();
  const std::string_view text(stored, std::strlen(stored));

  const std::string* target = call.Option("-o");
  if (target == nullptr || *target == "-") return WriteOut(call, text);
  std::error_code error;
  if (std::filesystem::equivalent(call.operands[0], *target, error)) {
    call.err << kProgramName << ": " << *target << " is the map being read; its entity text is not written over it.\n";
    return kExitFailure;
  }
  switch (SaveEntityTextFile(SystemFileSystem(), CString(*target), text)) {
    case TextFileResult::kWritten: return kExitSuccess;
    case TextFileResult::kIsAMap:
      call.err << kProgramName << ": " << *target
               << " is a map (it starts with a BSP header); entity text is not written over a map.\n";
      return kExitFailure;
    case TextFileResult::kNotOpened:
    case TextFileResult::kNotWritten: break;
  }
  call.err << "Error writing the file: " << *target << ".\n";
  return kExitFailure;
}

// Everything left in `in`; nullopt when the stream reports a read error.
std::optional<std::string> ReadAll(std::istream& in) {
  std::string bytes;
  std::vector<char> chunk(size_t{1} << 16);
  while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
    bytes.append(chunk.data(), static_cast<size_t>(in.gcount()));
  }
  if (in.bad()) return std::nullopt;
  return bytes;
}

// The whole of `source`, standard input for "-"; nullopt when it cannot be read.
std::optional<std::string> ReadSource(const std::string& source, std::istream& in) {
  if (source == "-") return ReadAll(in);
  // A folder opens like an empty file here; importing it would wipe the entities.
  std::error_code ignored;
  if (std::filesystem::is_directory(source, ignored)) return std::nullopt;
  std::ifstream file(source, std::ios::binary);
  if (!file) return std::nullopt;
  return ReadAll(file);
}

// --max-entities N, else the engine's own limit.
size_t MaxEntities(const Invocation& call) {
  const std::string* value = call.Option("--max-entities");
  if (value == nullptr) return kDefaultMaxEdicts;
  size_t limit = 0;
  const auto [end, error] = std::from_chars(value->data(), value->data() + value->size(), limit);
  if (error != std::errc() || end != value->data() + value->size() || limit == 0) {
    throw UsageError("--max-entities needs a number above 0, not '" + *value + "'");
  }
  return limit;
}

int RunImport(Invocation& call) {
  const std::string& path = call.operands[0];
  const std::string& source = call.operands[1];
  std::optional<std::string> bytes = ReadSource(source, call.in);
  if (!bytes) {
    call.err << "Error reading the file: " << (source == "-" ? "standard input" : source) << ".\n";
    return kExitFailure;
  }
  // ripent ends its .ent files with the lump's own NUL: that one is the
  // terminator, not text.
  if (!bytes->empty() && bytes->back() == '\0') bytes->pop_back();
  // The editor's text ends at its first NUL; cutting there silently would
  // drop whatever follows, so such input is refused instead.
  if (bytes->find('\0') != std::string::npos) {
    call.err << kProgramName << ": " << (source == "-" ? "standard input" : source)
             << " holds a NUL byte, which entity text cannot hold.\n";
    return kExitFailure;
  }

  TerminalMessages messages(call.answerYes);
  CBspFile map(messages);
  if (!Load(map, messages, path, call)) return kExitFailure;
  if (!MayStore(*bytes, ModelCount(map), MaxEntities(call), source == "-" ? "<stdin>" : source,
                call.Option("--force") != nullptr, call.err)) {
    call.err << kProgramName << ": " << path << " not saved: the text has errors (--force stores it all the same)\n";
    return kExitFailure;
  }
  // Handed over as the editor's Save hands over its edit box's text:
  // SaveMap converts it to the lump form itself.
  CString text(std::move(*bytes));
  const int result = map.SaveMap(CString(path), text);
  messages.Flush(result == 0, call.out, call.err);
  return result == 0 ? kExitSuccess : kExitFailure;
}

// The search string of find and delete-all; an empty one would do nothing.
CString SearchString(const Invocation& call) {
  if (call.operands[0].empty()) throw UsageError("the search string is empty");
  return CString(call.operands[0]);
}

// Runs `perMap` on every map the operands from `firstMap` on name, each loaded
// as a selection in the editor's map list loads it. `perMap` appends what it
// prints to `output` and leaves the editor's messages pending; a map that
// fails is reported and the batch goes on. The exit status tells whether any
// map failed.
template <typename PerMap>
int RunBatch(Invocation& call, BatchEditor& editor, size_t firstMap, PerMap perMap) {
  const std::vector<std::string> operands(call.operands.begin() + static_cast<std::ptrdiff_t>(firstMap),
                                          call.operands.end());
  std::vector<std::string> emptyFolders;
  const std::vector<BatchMap> maps = ExpandMapOperands(editor, operands, emptyFolders);
  for (const std::string& folder : emptyFolders) call.err << kProgramName << ": no maps in " << folder << '\n';

  size_t failures = 0;
  BatchProgress progress(call.err, call.errIsTerminal, maps.size());
  std::string output;
  for (size_t i = 0; i < maps.size(); ++i) {
    progress.Show(i + 1, maps[i].name);
    output.clear();
    const bool loaded = editor.Load(maps[i]);
    const bool succeeded = loaded && perMap(maps[i], output);
    if (!succeeded) ++failures;
    if (output.empty() && !editor.Messages().HasPending()) continue;
    progress.Clear();
    call.out << output;
    // Some of the editor's load messages ("BSP is version 29, not 30") do not
    // name the map, which in a batch they must.
    if (!loaded) call.err << maps[i].Path() << ":\n";
    editor.Messages().Flush(succeeded, call.out, call.err);
  }
  progress.Clear();
  if (failures > 0 && maps.size() > 1) {
    call.err << kProgramName << ": " << failures << " of " << maps.size() << " maps failed\n";
  }
  call.out.flush();
  if (!call.out) {
    call.err << kProgramName << ": cannot write to standard output\n";
    return kExitFailure;
  }
  return failures > 0 || !emptyFolders.empty() ? kExitFailure : kExitSuccess;
}

int RunList(Invocation& call) {
  const std::string& folder = call.operands[0];
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) {
    call.err << kProgramName << ": " << folder << ": no such folder\n";
    return kExitFailure;
  }
  BatchEditor editor(call.answerYes, false);
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

int RunFind(Invocation& call) {
  const CString needle = SearchString(call);
  BatchEditor editor(call.answerYes, false);
  editor.Editor().MapFile().SetReadOnly(true);
  CEntityEditorDlg& dlg = editor.Editor();
  const bool json = call.Option("--json") != nullptr;
  std::vector<MapFinds> found;
  const int status = RunBatch(call, editor, 1, [&](const BatchMap& map, std::string& output) {
    if (json) found.push_back({map.Path().Str(), {}});
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
      const std::string_view block = text.substr(static_cast<size_t>(start), static_cast<size_t>(end - start));
      if (json) {
        found.back().blocks.push_back({start, end, std::string(block)});
      } else {
        output += FormatString("%s:%d-%d\n", map.Path().GetString(), start, end).Str();
        output += block;
        if (output.back() != '\n') output += '\n';
      }
      dlg.OnFindNext();
    }
    return true;
  });
  if (!json) return status;
  // The maps that could not be read are left out; standard error names them.
  const int written = WriteOut(call, FindJson(needle.View(), found));
  return status == kExitSuccess ? written : status;
}

int RunDeleteAll(Invocation& call) {
  const CString needle = SearchString(call);
  const bool dryRun = call.Option("--dry-run") != nullptr;
  BatchEditor editor(call.answerYes, false);
  CEntityEditorDlg& dlg = editor.Editor();
  TerminalMessages& messages = editor.Messages();
  // Each map's bytes reach the disk before its rename; the folders' own sync
  // waits for the end of the batch.
  const SaveBatch batch(SystemFileSystem());
  return RunBatch(call, editor, 1, [&](const BatchMap& map, std::string& /*output*/) {
    // The editor's messages do not name the map; this line does.
    messages.ShowMessage(map.Path() + ":");
    editor.View().TypeSearch(needle);
    dlg.OnDeleteAll();
    if (!editor.View().Entities().GetModify()) {
      // Nothing to save: the map is not rewritten.
      messages.ShowMessage(FormatString("No entity contains the string \"%s\"; not saved.", needle.GetString()));
      return true;
    }
    if (!MayStore(editor.View().Entities().LiveText(), ModelCount(dlg.MapFile()), MaxEntities(call), map.Path().Str(),
                  call.Option("--force") != nullptr, call.err)) {
      messages.ShowMessage("Not saved: the text left has errors (--force stores it all the same).");
      return false;
    }
    if (dryRun) {
      messages.ShowMessage("Dry run: not saved.");
      return true;
    }
    dlg.OnSave();
    return dlg.LastSaveResult() == 0;
  });
}

int RunDump(Invocation& call) {
  const std::string* target = call.Option("-o");
  if (target == nullptr) throw UsageError("dump needs -o FILE");
  BatchEditor editor(call.answerYes, true, CString(*target));
  editor.Editor().MapFile().SetReadOnly(true);
  int status = RunBatch(call, editor, 0, [](const BatchMap& /*map*/, std::string& /*output*/) { return true; });
  TerminalMessages& messages = editor.Messages();
  const bool written = editor.Editor().WriteEntityDump();
  // A file that cannot be opened gets no word from the editor.
  if (!written && !messages.HasPending()) {
    messages.ShowMessage(FormatString("Error writing the file: %s.", target->c_str()));
  }
  messages.Flush(written, call.out, call.err);
  if (!written) status = kExitFailure;
  return status;
}

int RunCheck(Invocation& call) {
  const std::vector<CheckedText> checked = CheckOperands(call.operands, MaxEntities(call), call.in, call.err);
  if (call.Option("--json") == nullptr) return PrintChecked(checked, call.out);
  // The status as the text output gives it; the lines themselves are not printed.
  std::ostringstream lines;
  const int status = PrintChecked(checked, lines);
  const int written = WriteOut(call, CheckJson(checked));
  return status == kExitSuccess ? written : status;
}

// Every command, in the order --help lists them. A new command is one row
// here and one handler above; the dispatcher does the rest.
const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"info",
       "MAP [--json]",
       "version, lump table, entity count and layout of a map",
       1,
       1,
       {{"--json", false}},
       RunInfo},
      {"show", "MAP", "the entity text as the editor shows it (\"\\r\\n\" line ends)", 1, 1, {}, RunShow},
      {"export",
       "MAP [-o FILE]",
       "the stored entity text, like a .ent file, to standard output or FILE",
       1,
       1,
       {{"-o", true}},
       RunExport},
      {"import",
       "MAP FILE [--force]",
       "store FILE's text ('-': standard input) as the editor's Save does",
       2,
       2,
       {{"--force", false}, {"--max-entities", true}},
       RunImport},
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
      {"delete-all",
       "STRING MAP... [--dry-run] [--force]",
       "Delete All and Save, as in the editor; --dry-run saves nothing",
       2,
       kAnyNumber,
       {{"--dry-run", false}, {"--force", false}, {"--max-entities", true}},
       RunDeleteAll},
      {"check",
       "MAP|FILE|-... [--max-entities N] [--json]",
       "what the game will refuse or cut: PATH:LINE:COLUMN: error|warning: ...",
       1,
       kAnyNumber,
       {{"--max-entities", true}, {"--json", false}},
       RunCheck},
      {"dump",
       "MAP... -o FILE",
       "the entity text of every map, one after another, into FILE",
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
  if (command == nullptr) return line + " [--yes] [--codepage N] COMMAND [ARGS...]  (--help lists the commands)";
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
    // A usage too wide for its column gets a line of its own.
    if (usage.size() > kHelpColumn) {
      out << "  " << usage << '\n' << std::string(kHelpColumn + 4, ' ') << command.summary << '\n';
      continue;
    }
    out << FormatString("  %-22s  ", usage.c_str()).Str() << command.summary << '\n';
  }
  out << "\nA MAP may be a folder: it stands for every map the editor lists there.\n"
      << "import and delete-all refuse a text with errors (see check) unless --force is given;\n"
      << "--max-entities N (check, import, delete-all) sets the entity limit (default 1200).\n"
      << "\nOptions:\n"
      << "  --yes, -y               answer yes to every question (the default answer is no)\n"
      << "  --codepage N            scan text in ANSI code page N; 932, 936, 949 and 950 are\n"
      << "                          double-byte (default: the system's; 1252 outside Windows)\n"
      << "  --help, -h              this help\n"
      << "  --version               the program's version\n\n"
      << "Exit status: 0 success, 1 failure, 2 usage error.\n";
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

// Reads the arguments into `call`. Global options may stand anywhere; a
// command's own options after its name; "--" ends the options and "-" alone
// is an operand (standard input or output).
// Fills `parsed` as it goes, so that a usage error can name the command.
void Parse(const std::vector<std::string>& args, Invocation& call, ParsedLine& parsed) {
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
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
        call.answerYes = true;
      } else if (name == "--codepage") {
        CodePage::SetActive(ParseCodePage(takeValue()));
      } else if (const OptionSpec* known = parsed.command ? parsed.command->FindOption(name) : nullptr) {
        if (!known->takesValue && value) throw UsageError("option '" + name + "' takes no value");
        call.options[name] = known->takesValue ? takeValue() : std::string();
      } else {
        throw UsageError("unknown option '" + arg + "'");
      }
      continue;
    }
    if (parsed.command == nullptr) {
      parsed.command = FindCommand(arg);
      if (parsed.command == nullptr) throw UsageError("unknown command '" + arg + "'");
      continue;
    }
    call.operands.push_back(arg);
  }
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
           bool errIsTerminal) {
  const ActiveCodePageGuard codePageGuard;
  Invocation call{{}, {}, in, out, err};
  call.errIsTerminal = errIsTerminal;
  ParsedLine parsed;
  try {
    Parse(args, call, parsed);
  } catch (const UsageError& problem) {
    return ReportUsage(err, parsed.command, problem.what());
  }

  if (parsed.help) {
    if (parsed.command != nullptr) {
      out << UsageLine(parsed.command) << '\n' << "  " << parsed.command->summary << '\n';
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
