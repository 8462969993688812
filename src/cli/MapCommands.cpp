#include "cli/MapCommands.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <ostream>

#include "bsp/CBspFile.h"
#include "bsp/EntityTextFile.h"
#include "cli/JsonOutput.h"
#include "cli/UnifiedDiff.h"
#include "entities/EntityBlocks.h"
#include "entities/EntityOutline.h"
#include "entities/EntityText.h"
#include "entities/MapModes.h"
#include "entities/PatchRecipe.h"
#include "platform/CodePage.h"
#include "platform/FailureReason.h"
#include "platform/Paths.h"

namespace lw {
namespace {

constexpr std::string_view kEntExtension = ".ent";

std::string_view StoredText(const CBspFile& map) {
  const char* text = map.GetEntityText();
  return {text, std::strlen(text)};
}

std::string Blocks(size_t count) { return std::to_string(count) + (count == 1 ? " block" : " blocks"); }

// Every --class NAME (a block of any of them) and every --where KEY=VALUE.
BlockFilter FilterOf(const Invocation& call) {
  BlockFilter filter;
  filter.classNames = call.Values("--class");
  for (const std::string& condition : call.Values("--where")) {
    const size_t equals = condition.find('=');
    if (equals == std::string::npos || equals == 0) {
      throw UsageError("--where needs KEY=VALUE, not '" + condition + "'");
    }
    filter.where.emplace_back(condition.substr(0, equals), condition.substr(equals + 1));
  }
  return filter;
}

// One map at a time, each loaded afresh; the messages of the map file go
// where the batch puts them.
class MapReader {
 public:
  explicit MapReader(bool readOnly) : map_(messages_) { map_.SetReadOnly(readOnly); }

  bool Load(const BatchMap& map) {
    if (map_.LoadMap(map.Path()) == 0) return true;
    AddLoadReason(messages_, map.Path());
    return false;
  }

  CBspFile& Map() { return map_; }
  TerminalMessages& Messages() { return messages_; }

 private:
  TerminalMessages messages_{false};
  CBspFile map_;
};

// What a writing command does once it has the map's new text: unchanged
// maps are not written; the text goes through the save's check; a dry run
// prints the difference and only finds out whether the map could be saved.
class TextStore {
 public:
  TextStore(Invocation& call, MapReader& reader) : call_(call), reader_(reader), dryRun_(call.Has("--dry-run")) {}

  [[nodiscard]] bool DryRun() const { return dryRun_; }
  void SetNamesMaps(bool namesMaps) { namesMaps_ = namesMaps; }

  // The save's check of `newText`, of `checkedText` in its place when given
  // (an import's own file, so that the findings point into it); false, with
  // the refusal shown, when it has errors.
  bool Check(const BatchMap& map, const std::string& newText, std::string_view checkedText = {},
             const std::string& checkedName = {}) {
    const CString path = map.Path();
    const bool allowed =
        CheckBeforeSave(call_, checkedText.empty() ? std::string_view(newText) : checkedText, newText.size() + 1,
                        reader_.Map(), path.Str(), checkedName.empty() ? path.Str() : checkedName);
    if (!allowed) {
      // A run over named maps has each map's messages under its name.
      reader_.Messages().ShowMessage(
          CString((namesMaps_ ? std::string() : std::string(kProgramName) + ": " + path.Str() + " ") +
                  "not saved: the text has errors (--force stores it all the same)"));
    }
    return allowed;
  }

  MapOutcome Store(const BatchMap& map, const std::string& newText, const std::string& what, std::string& output,
                   std::string_view checkedText = {}, const std::string& checkedName = {}, bool checked = false) {
    TerminalMessages& messages = reader_.Messages();
    CBspFile& file = reader_.Map();
    const CString path = map.Path();
    if (!checked && !Check(map, newText, checkedText, checkedName)) return MapOutcome::Failed();
    if (dryRun_) {
      output += UnifiedDiff(StoredText(file), newText, path.Str(), path.Str());
      const std::string reason = WhyNotSavable(path);
      if (!reason.empty()) {
        messages.ShowMessage(CString(what.empty() ? "it would not be saved" : what + "; it would not be saved"));
        messages.ShowMessage(CString("(" + reason + ")"));
        return MapOutcome::Failed();
      }
      messages.ShowMessage(
          CString(what.empty() ? "would be saved (dry run: nothing written)" : what + "; dry run: not saved"));
      return {MapOutcome::State::kChanged, true};
    }
    if (!what.empty()) messages.ShowMessage(CString(what));
    const int saved = file.SaveEntityLump(path, newText);
    if (saved == CBspFile::kChangedOnDisk) {
      // Another program wrote the map between the read and the write: its
      // bytes are kept, and the command can simply be run again.
      messages.ShowMessage(FormatString("Error saving the file: %s.", FileNameOf(path).GetString()));
      messages.ShowMessage("(the map changed on disk while it was being edited; run the command again)");
      return MapOutcome::Failed();
    }
    if (saved != 0) {
      AddSaveReason(messages, file, path);
      return MapOutcome::Failed();
    }
    return {MapOutcome::State::kChanged, true};
  }

  TerminalMessages& Messages() { return reader_.Messages(); }

  // Each line of `why` is a message of its own.
  MapOutcome Refuse(const std::string& why) {
    size_t from = 0;
    for (size_t end; (end = why.find('\n', from)) != std::string::npos; from = end + 1) {
      reader_.Messages().ShowMessage(CString(why.substr(from, end - from)));
    }
    reader_.Messages().ShowMessage(CString(why.substr(from)));
    return MapOutcome::Failed();
  }

  MapOutcome Unchanged(const std::string& why, bool matched) {
    reader_.Messages().ShowMessage(CString("unchanged: " + why + "; not saved"));
    return {MapOutcome::State::kUnchanged, matched};
  }

 private:
  Invocation& call_;
  MapReader& reader_;
  bool dryRun_;
  bool namesMaps_ = true;
};

// Runs a command that edits each map's stored text with `edit`.
int RunTextEdit(Invocation& call, size_t firstMap, bool matchCounts,
                const std::function<MapOutcome(const BatchMap&, std::string_view, TextStore&, std::string&)>& edit) {
  BatchEditor lister(false, false);
  const ExpandedMaps maps = ExpandMaps(call, lister, firstMap);
  MapReader reader(false);
  TextStore store(call, reader);
  // Each map's bytes reach the disk before its rename; the folders' own sync
  // waits for the end of the batch.
  const SaveBatch batch(SystemFileSystem());
  return RunBatch(call, maps, reader.Messages(), store.DryRun() ? BatchKind::kDryRun : BatchKind::kWriting, matchCounts,
                  [&](const BatchMap& map, std::string& output) {
                    if (!reader.Load(map)) return MapOutcome::Failed();
                    return edit(map, StoredText(reader.Map()), store, output);
                  });
}

// Refuses a key or value that entity text cannot hold.
void CheckStorable(std::string_view what, std::string_view bytes) {
  if (const std::optional<std::string> why = WhyNotStorable(bytes)) {
    throw UsageError(std::string(what) + " '" + std::string(bytes) + "' " + *why);
  }
}

// The .ent file of `map` in `folder`: the map's name with .ent for .bsp.
std::string EntFileFor(const std::string& folder, const BatchMap& map) {
  std::filesystem::path name(map.name.Str());
  name.replace_extension(kEntExtension);
  return (std::filesystem::path(folder) / name).string();
}

}  // namespace

int RunSpawns(Invocation& call) {
  const bool json = call.Has("--json");
  BatchEditor lister(false, false);
  const ExpandedMaps maps = ExpandMaps(call, lister, 0);
  MapReader reader(true);
  std::vector<MapSpawns> found;
  const int status = RunBatch(call, maps, reader.Messages(), BatchKind::kReading, false,
                              [&](const BatchMap& map, std::string& output) {
                                if (!reader.Load(map)) return MapOutcome::Failed();
                                const MapModes modes = ModesOf(StoredText(reader.Map()));
                                found.push_back({map.Path().Str(), modes});
                                if (!json) {
                                  output += map.Path().Str() + '\t' + std::to_string(modes.terroristSpawns) + '\t' +
                                            std::to_string(modes.counterTerroristSpawns) + '\t' +
                                            std::to_string(modes.vipStarts) + '\t' + modes.Describe() + '\n';
                                }
                                return MapOutcome{};
                              });
  if (!json) return status;
  const int written = WriteOut(call, SpawnsJson(found));
  return status == kExitSuccess ? written : status;
}

int RunEntities(Invocation& call) {
  const bool json = call.Has("--json");
  BatchEditor lister(false, false);
  const ExpandedMaps maps = ExpandMaps(call, lister, 0);
  MapReader reader(true);
  std::vector<MapOutline> outlines;
  const int status = RunBatch(
      call, maps, reader.Messages(), BatchKind::kReading, false, [&](const BatchMap& map, std::string& output) {
        if (!reader.Load(map)) return MapOutcome::Failed();
        MapOutline outline{map.Path().Str(), BuildOutline(StoredText(reader.Map()))};
        if (!json) {
          for (const OutlineRow& row : outline.rows) {
            output += outline.path + '\t' + std::to_string(row.block) + '\t' + std::to_string(row.line) + '\t' +
                      row.className + '\t' + row.targetname + '\t' + row.origin + '\n';
          }
        } else {
          outlines.push_back(std::move(outline));
        }
        return MapOutcome{};
      });
  if (!json) return status;
  const int written = WriteOut(call, OutlineJson(outlines));
  return status == kExitSuccess ? written : status;
}

int RunCount(Invocation& call) {
  const std::vector<std::string> classes = call.Values("--class");
  BatchEditor lister(false, false);
  const ExpandedMaps maps = ExpandMaps(call, lister, 0);
  MapReader reader(true);
  return RunBatch(call, maps, reader.Messages(), BatchKind::kReading, false,
                  [&](const BatchMap& map, std::string& output) {
                    if (!reader.Load(map)) return MapOutcome::Failed();
                    const auto counted = CountClasses(StoredText(reader.Map()));
                    const std::string path = map.Path().Str();
                    const auto line = [&](const std::string& name, size_t count) {
                      output += path + '\t' + name + '\t' + std::to_string(count) + '\n';
                    };
                    if (classes.empty()) {
                      for (const auto& [name, count] : counted) line(name, count);
                    }
                    for (const std::string& name : classes) {
                      const auto it = counted.find(name);
                      line(name, it == counted.end() ? 0 : it->second);
                    }
                    return MapOutcome{MapOutcome::State::kUnchanged, !counted.empty()};
                  });
}

int RunGet(Invocation& call) {
  const std::string key = call.operands[0];
  const BlockFilter filter = FilterOf(call);
  BatchEditor lister(false, false);
  const ExpandedMaps maps = ExpandMaps(call, lister, 1);
  MapReader reader(true);
  return RunBatch(
      call, maps, reader.Messages(), BatchKind::kReading, true, [&](const BatchMap& map, std::string& output) {
        if (!reader.Load(map)) return MapOutcome::Failed();
        const std::string_view text = StoredText(reader.Map());
        const std::string path = map.Path().Str();
        bool matched = false;
        size_t index = 0;
        ForEachEntityBlock(text, [&](const EntityBlock& block) {
          const size_t number = index++;
          if (!filter.Matches(text, block)) return;
          const std::optional<std::string_view> value = ValueOf(text, block, key);
          if (!value) return;
          matched = true;
          output += path + '\t' + std::to_string(number) + '\t' +
                    std::string(ValueOf(text, block, "classname").value_or("")) + '\t' + std::string(*value) + '\n';
        });
        return MapOutcome{MapOutcome::State::kUnchanged, matched};
      });
}

int RunSet(Invocation& call) {
  const std::string key = call.operands[0];
  const std::string value = call.operands[1];
  if (key.empty()) throw UsageError("the key is empty");
  CheckStorable("the key", key);
  CheckStorable("the value", value);
  const BlockFilter filter = FilterOf(call);
  return RunTextEdit(call, 2, false,
                     [&](const BatchMap& map, std::string_view text, TextStore& store, std::string& out) {
                       const TextEdit edit = SetKeyValue(text, filter, key, value);
                       if (edit.matched == 0) return store.Unchanged("no block matched", false);
                       if (edit.changed == 0)
                         return store.Unchanged("every matching block has \"" + key + "\" \"" + value + "\"", true);
                       return store.Store(map, edit.text, "\"" + key + "\" set in " + Blocks(edit.changed), out);
                     });
}

int RunRemove(Invocation& call) {
  if (!call.Has("--class")) throw UsageError("remove needs --class NAME");
  const BlockFilter filter = FilterOf(call);
  return RunTextEdit(call, 0, false,
                     [&](const BatchMap& map, std::string_view text, TextStore& store, std::string& out) {
                       const TextEdit edit = RemoveBlocks(text, filter);
                       if (edit.matched == 0) return store.Unchanged("no block matched", false);
                       return store.Store(map, edit.text, Blocks(edit.matched) + " removed", out);
                     });
}

int RunRename(Invocation& call) {
  const std::string from = call.operands[0];
  const std::string to = call.operands[1];
  if (from.empty() || to.empty()) throw UsageError("an entity name cannot be empty");
  CheckStorable("the name", from);
  CheckStorable("the name", to);
  // A multi_manager reads a name up to its '#' (the "#N" of a target fired
  // more than once), so such a name could not be kept in its keys.
  if (to.find('#') != std::string::npos) throw UsageError("the new name '" + to + "' holds a '#'");
  if (from == to) throw UsageError("the old and the new name are the same");
  return RunTextEdit(
      call, 2, false, [&](const BatchMap& map, std::string_view text, TextStore& store, std::string& out) {
        // Two names made one would fire each other's targets.
        if (const size_t taken = CountNamed(text, to); taken > 0) {
          return store.Refuse("\"" + to + "\" is taken: " + Blocks(taken) + " named so already; not renamed");
        }
        const TextEdit edit = RenameEntityName(text, from, to);
        if (edit.changed == 0) return store.Unchanged("no block names or links to \"" + from + "\"", false);
        return store.Store(map, edit.text, "\"" + from + "\" renamed in " + Blocks(edit.changed), out);
      });
}

namespace {

constexpr std::string_view kGlobalRecipe = "global_filters.cfg";

// A recipe file, read and parsed; a syntax error is the command line's
// fault (FILE:LINE: ...), so it stops the run before any map is written.
std::optional<PatchRecipe> ReadRecipe(const std::string& path, Invocation& call) {
  const std::optional<std::string> bytes = ReadSource(path, call.in);
  if (!bytes) {
    const std::string reason = path == "-" ? std::string() : WhyNotReadable(CString(path));
    std::vector<std::string> lines = {"Error reading the file: " + SourceName(path) + "."};
    if (!reason.empty()) lines.push_back("(" + reason + ")");
    call.err << FailureLine(path, lines);
    return std::nullopt;
  }
  RecipeError error;
  std::optional<PatchRecipe> recipe = ParsePatchRecipe(*bytes, error);
  if (!recipe)
    throw UsageError((path == "-" ? "<stdin>" : path) + ":" + std::to_string(error.line) + ": " + error.message);
  return recipe;
}

// What the recipe did, as the map's message says it: "2 blocks removed, 1 added".
std::string PatchSummary(const PatchResult& result) {
  std::string summary;
  const auto part = [&](size_t count, const char* what) {
    if (count == 0) return;
    summary += (summary.empty() ? Blocks(count) : std::to_string(count)) + " " + what;
    summary += ", ";
  };
  part(result.removed, "removed");
  part(result.added, "added");
  part(result.modified, "modified");
  if (!summary.empty()) summary.resize(summary.size() - 2);
  return summary;
}

// Whether the .ent file holds exactly `text` and is not older than the map:
// an older one the engine passes over (Xash3D FWGS engine/common/mod_bmodel.c,
// "Entity patch is older than bsp. Ignored.").
bool EntFileHolds(const std::string& file, const CString& map, std::string_view text) {
  std::error_code error;
  const auto entTime = std::filesystem::last_write_time(file, error);
  if (error) return false;
  const auto mapTime = std::filesystem::last_write_time(map.Str(), error);
  if (error || entTime < mapTime) return false;
  std::ifstream in(file, std::ios::binary);
  const std::string held((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return in.good() || in.eof() ? held == text : false;
}

}  // namespace

int RunPatch(Invocation& call) {
  const std::string* recipeFile = call.Option("--recipe");
  const std::string* recipeFolder = call.Option("--recipes");
  if ((recipeFile == nullptr) == (recipeFolder == nullptr)) {
    throw UsageError("patch needs --recipe FILE or --recipes FOLDER (one of them)");
  }
  std::error_code error;
  if (recipeFolder != nullptr && !std::filesystem::is_directory(*recipeFolder, error)) {
    throw UsageError("--recipes needs a folder of .cfg files, not '" + *recipeFolder + "'");
  }
  const std::string* entFolder = call.Option("--ent-out");
  if (entFolder != nullptr && !std::filesystem::is_directory(*entFolder, error)) {
    throw UsageError("--ent-out needs a folder, not '" + *entFolder + "'");
  }
  const bool json = call.Has("--json");

  BatchEditor lister(false, false);
  const ExpandedMaps maps = ExpandMaps(call, lister, 0);
  // Every recipe is read before the first map is touched.
  // A map's file name -> its recipe; one for all of them with --recipe.
  std::map<std::string, PatchRecipe> recipes;
  std::optional<PatchRecipe> forEvery;
  if (recipeFile != nullptr) {
    forEvery = ReadRecipe(*recipeFile, call);
    if (!forEvery) return kExitFailure;
  } else {
    const std::filesystem::path folder(*recipeFolder);
    PatchRecipe global;
    if (std::filesystem::exists(folder / kGlobalRecipe, error)) {
      std::optional<PatchRecipe> read = ReadRecipe((folder / kGlobalRecipe).string(), call);
      if (!read) return kExitFailure;
      global = std::move(*read);
    }
    for (const BatchMap& map : maps.maps) {
      PatchRecipe recipe = global;
      std::filesystem::path own = folder / std::filesystem::path(map.name.Str()).replace_extension(".cfg");
      if (std::filesystem::exists(own, error)) {
        std::optional<PatchRecipe> read = ReadRecipe(own.string(), call);
        if (!read) return kExitFailure;
        recipe.Append(*read);
      }
      recipes[map.name.Str()] = std::move(recipe);
    }
  }

  std::vector<MapPatch> patched;
  const int status =
      RunTextEdit(call, 0, false, [&](const BatchMap& map, std::string_view text, TextStore& store, std::string& out) {
        MapPatch report;
        report.path = map.Path().Str();
        std::string diff;
        std::string& output = json ? diff : out;
        const MapOutcome outcome = [&] {
          const PatchRecipe& recipe = forEvery ? *forEvery : recipes[map.name.Str()];
          if (recipe.Empty()) return store.Unchanged("no recipe for this map", false);
          const PatchResult result = ApplyPatchRecipe(text, recipe);
          report.removed = result.removed;
          report.added = result.added;
          report.modified = result.modified;
          const std::string what = PatchSummary(result);
          if (entFolder == nullptr) {
            if (result.text == text) return store.Unchanged("the recipe changes nothing", true);
            return store.Store(map, result.text, what, output);
          }
          // The map stays as it is; its patched text goes beside it.
          const std::string file = EntFileFor(*entFolder, map);
          report.entFile = file;
          if (!store.Check(map, result.text)) return MapOutcome::Failed();
          TerminalMessages& messages = store.Messages();
          const std::string done = what.empty() ? std::string() : what + "; ";
          if (store.DryRun()) {
            output += UnifiedDiff(text, result.text, map.Path().Str(), file);
            messages.ShowMessage(CString(done + "would be written to " + file + " (dry run: nothing written)"));
            return MapOutcome{MapOutcome::State::kChanged, true};
          }
          if (EntFileHolds(file, map.Path(), result.text))
            return store.Unchanged(file + " holds this text already", true);
          switch (SaveEntityTextFile(SystemFileSystem(), CString(file), result.text)) {
            case TextFileResult::kWritten:
              messages.ShowMessage(CString(done + "written to " + file));
              return MapOutcome{MapOutcome::State::kChanged, true};
            case TextFileResult::kIsAMap: return store.Refuse("not written: " + file + " is a map");
            case TextFileResult::kNotOpened:
            case TextFileResult::kNotWritten: break;
          }
          const std::string reason = WhyNotSavable(CString(file));
          return store.Refuse("Error writing the file: " + file + "." + (reason.empty() ? "" : "\n(" + reason + ")"));
        }();
        report.state = outcome.state == MapOutcome::State::kChanged     ? "changed"
                       : outcome.state == MapOutcome::State::kUnchanged ? "unchanged"
                                                                        : "failed";
        report.diff = std::move(diff);
        patched.push_back(std::move(report));
        // Standard output holds the document alone, which says what each
        // map's messages would; failures still go to standard error.
        if (json && outcome.state != MapOutcome::State::kFailed) (void)store.Messages().TakePending();
        return outcome;
      });
  if (!json) return status;
  const int written = WriteOut(call, PatchJson(patched));
  return status == kExitSuccess ? written : status;
}

int RunAdd(Invocation& call) {
  const std::string* from = call.Option("--from");
  const std::string source = from == nullptr ? "-" : *from;
  const std::optional<std::string> addition = ReadSource(source, call.in);
  if (!addition) {
    call.err << "Error reading the file: " << SourceName(source) << ".\n";
    return kExitFailure;
  }
  if (AppendBlocks({}, *addition).matched == 0) {
    call.err << kProgramName << ": " << SourceName(source) << " holds no entity block ({ ... })\n";
    return kExitFailure;
  }
  return RunTextEdit(call, 0, false,
                     [&](const BatchMap& map, std::string_view text, TextStore& store, std::string& out) {
                       const TextEdit edit = AppendBlocks(text, *addition);
                       return store.Store(map, edit.text, Blocks(edit.changed) + " added", out);
                     });
}

int RunExport(Invocation& call) {
  const std::string* target = call.Option("-o");
  std::error_code error;
  if (target != nullptr && target->empty()) throw UsageError("-o needs a file or folder name");
  // A folder: named as one ("backup/"), already one, or the only place for
  // several maps' texts.
  const bool toFolder =
      target != nullptr && *target != "-" &&
      (call.operands.size() > 1 || target->back() == '/' || target->back() == kPathSeparator ||
       std::filesystem::is_directory(*target, error) || std::filesystem::is_directory(call.operands[0], error));
  if (!toFolder) {
    if (call.operands.size() > 1) throw UsageError("several maps need -o FOLDER");
    const std::string& path = call.operands[0];
    MapReader reader(true);
    if (!reader.Load({CString(), CString(path)})) {
      call.err << FailureLine(path, reader.Messages().TakePending());
      return kExitFailure;
    }
    const std::string_view text = StoredText(reader.Map());
    if (target == nullptr || *target == "-") return WriteOut(call, text);
    if (std::filesystem::equivalent(path, *target, error)) {
      call.err << kProgramName << ": " << *target
               << " is the map being read; its entity text is not written over it.\n";
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
    const std::string reason = WhyNotSavable(CString(*target));
    if (!reason.empty()) call.err << "(" << reason << ")\n";
    return kExitFailure;
  }

  // One NAME.ent per map in the folder, made when it is not there yet.
  if (!std::filesystem::is_directory(*target, error)) {
    std::filesystem::create_directories(*target, error);
    if (error) {
      call.err << kProgramName << ": cannot make the folder " << *target << " (" << error.message() << ")\n";
      return kExitFailure;
    }
  }
  BatchEditor lister(false, false);
  const ExpandedMaps maps = ExpandMaps(call, lister, 0);
  MapReader reader(true);
  std::map<std::string, std::string> written;  // .ent file -> the map it holds
  return RunBatch(call, maps, reader.Messages(), BatchKind::kReading, false,
                  [&](const BatchMap& map, std::string& /*output*/) {
                    if (!reader.Load(map)) return MapOutcome::Failed();
                    TerminalMessages& messages = reader.Messages();
                    const std::string file = EntFileFor(*target, map);
                    if (const auto it = written.find(file); it != written.end()) {
                      messages.ShowMessage(CString("not exported: " + file + " already holds " + it->second));
                      return MapOutcome::Failed();
                    }
                    switch (SaveEntityTextFile(SystemFileSystem(), CString(file), StoredText(reader.Map()))) {
                      case TextFileResult::kWritten:
                        written.emplace(file, map.Path().Str());
                        messages.ShowMessage(CString("exported to " + file));
                        return MapOutcome{};
                      case TextFileResult::kIsAMap:
                        messages.ShowMessage(CString("not exported: " + file + " is a map"));
                        return MapOutcome::Failed();
                      case TextFileResult::kNotOpened:
                      case TextFileResult::kNotWritten: break;
                    }
                    messages.ShowMessage(CString("Error writing the file: " + file + "."));
                    const std::string reason = WhyNotSavable(CString(file));
                    if (!reason.empty()) messages.ShowMessage(CString("(" + reason + ")"));
                    return MapOutcome::Failed();
                  });
}

namespace {

// The text an import stores: what the editor's Save would make of it, or
// with --exact the bytes as they are.
struct ImportText {
  std::string source;  // the file's bytes, less a final NUL
  // The lump's text, without its NUL, where it differs from the source.
  std::optional<std::string> lump;

  [[nodiscard]] const std::string& Lump() const { return lump ? *lump : source; }
};

// Whether the editor's Save would store `text` as it is: lump line ends,
// nothing before its first block or after its last line end. An exported
// .ent is, and is then not copied.
bool IsLumpText(std::string_view text) {
  return text.size() >= 2 && text.front() == '{' && text.ends_with("}\n") &&
         text.find("\r\n") == std::string_view::npos && ScanFindLastChar(text, '}') == text.size() - 2;
}

// Reads `sourcePath` for an import; false (the reason printed or held) when it cannot.
std::optional<ImportText> ReadImport(const std::string& sourcePath, std::istream& in, bool exact,
                                     const std::function<void(const std::string&)>& fail) {
  std::optional<std::string> bytes = ReadSource(sourcePath, in);
  if (!bytes) {
    std::string reason;
    if (sourcePath != "-") reason = WhyNotReadable(CString(sourcePath));
    fail("Error reading the file: " + SourceName(sourcePath) + "." + (reason.empty() ? "" : "\n(" + reason + ")"));
    return std::nullopt;
  }
  // ripent ends its .ent files with the lump's own NUL: that one is the
  // terminator, not text.
  if (!bytes->empty() && bytes->back() == '\0') bytes->pop_back();
  // The editor's text ends at its first NUL; cutting there silently would
  // drop whatever follows, so such input is refused instead.
  if (bytes->find('\0') != std::string::npos) {
    fail(std::string(kProgramName) + ": " + SourceName(sourcePath) +
         " holds a NUL byte, which entity text cannot hold.");
    return std::nullopt;
  }
  ImportText text{std::move(*bytes), {}};
  if (!exact && !IsLumpText(text.source)) {
    CString lump(text.source);
    ToLumpText(lump);
    text.lump = std::move(lump.Str());
  }
  return text;
}

// Whether the map's entity lump already holds exactly `lump` and its NUL.
bool LumpHolds(const CBspFile& map, std::string_view lump) {
  const std::span<const unsigned char> stored = map.EntityLumpBytes();
  return stored.size() == lump.size() + 1 && stored.back() == 0 &&
         std::memcmp(stored.data(), lump.data(), lump.size()) == 0;
}

}  // namespace

int RunImport(Invocation& call) {
  const bool exact = call.Has("--exact");
  const std::string* folder = call.Option("--from");
  if (folder == nullptr && call.operands.size() != 2) {
    throw UsageError(call.operands.size() < 2 ? "import needs MAP FILE, or --from FOLDER MAP..."
                                              : "several maps need --from FOLDER");
  }
  std::error_code error;
  if (folder != nullptr && !std::filesystem::is_directory(*folder, error)) {
    throw UsageError("--from needs a folder of .ent files, not '" + *folder + "'");
  }
  std::optional<ImportText> single;
  std::string singleSource;
  if (folder == nullptr) {
    singleSource = call.operands[1];
    single = ReadImport(singleSource, call.in, exact, [&](const std::string& line) { call.err << line << '\n'; });
    if (!single) return kExitFailure;
    call.operands.pop_back();
  }

  BatchEditor lister(false, false);
  // import MAP FILE names one map, whatever is at its path.
  ExpandedMaps maps = folder != nullptr ? ExpandMaps(call, lister, 0) : ExpandedMaps{{SplitMapPath(call.operands[0])}};
  maps.nameEachMap = folder != nullptr;
  MapReader reader(false);
  TextStore store(call, reader);
  store.SetNamesMaps(maps.nameEachMap);
  const SaveBatch batch(SystemFileSystem());
  return RunBatch(call, maps, reader.Messages(), store.DryRun() ? BatchKind::kDryRun : BatchKind::kWriting, false,
                  [&](const BatchMap& map, std::string& output) {
                    TerminalMessages& messages = reader.Messages();
                    std::optional<ImportText> fromFolder;
                    const ImportText* text = single ? &*single : nullptr;
                    const std::string source = folder ? EntFileFor(*folder, map) : singleSource;
                    if (text == nullptr) {
                      fromFolder = ReadImport(source, call.in, exact,
                                              [&](const std::string& line) { messages.ShowMessage(CString(line)); });
                      if (!fromFolder) return MapOutcome::Failed();
                      text = &*fromFolder;
                    }
                    if (!reader.Load(map)) return MapOutcome::Failed();
                    const std::string& lump = text->Lump();
                    const std::string sourceName = source == "-" ? "<stdin>" : source;
                    // A text with errors fails, whether or not the map holds it already.
                    if (!store.Check(map, lump, text->source, sourceName)) return MapOutcome::Failed();
                    if (LumpHolds(reader.Map(), lump)) {
                      return store.Unchanged("its entity lump already holds this text", true);
                    }
                    return store.Store(map, lump, {}, output, text->source, sourceName, true);
                  });
}

}  // namespace lw
