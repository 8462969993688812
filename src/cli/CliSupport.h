#pragma once

// What the commands of lumpwright-cli share: the command line as read, the
// run over many maps with its summary, and the reasons printed under a
// failure.

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cli/BatchEditor.h"
#include "cli/Cli.h"
#include "cli/TerminalMessages.h"
#include "entities/EntityCheck.h"

namespace lw {

class CBspFile;

inline constexpr std::string_view kProgramName = "lumpwright-cli";

// Raised while a command line is read or a command checks its operands; the
// dispatcher prints it with the command's usage and exits with kExitUsage.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One command line, read: the command's operands and options and the streams.
struct Invocation {
  std::vector<std::string> operands;
  // Every value an option was given, in order; a flag has one empty value.
  std::map<std::string, std::vector<std::string>, std::less<>> options;
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  bool quiet = false;
  bool errIsTerminal = false;
  // --exclude: file names left out of the folders named on the line.
  std::vector<std::string> excluded;

  // The option's last value; null when it was not given.
  [[nodiscard]] const std::string* Option(std::string_view name) const {
    const auto it = options.find(name);
    return it == options.end() ? nullptr : &it->second.back();
  }
  [[nodiscard]] bool Has(std::string_view name) const { return options.find(name) != options.end(); }
  [[nodiscard]] std::vector<std::string> Values(std::string_view name) const {
    const auto it = options.find(name);
    return it == options.end() ? std::vector<std::string>() : it->second;
  }
};

// Writes bytes to standard output; a failed write (a closed pipe, a full
// disk behind a redirection) is a failure of the command.
int WriteOut(Invocation& call, std::string_view bytes);

// How one map of a batch went.
struct MapOutcome {
  enum class State { kFailed, kUnchanged, kChanged };
  State state = State::kUnchanged;
  // Whether anything in the map matched what the command looks for.
  bool matched = false;

  static MapOutcome Failed() { return {State::kFailed, false}; }
};

// What the summary line calls a map the command would write.
enum class BatchKind {
  kReading,  // "12 maps read, 0 failed"
  kWriting,  // "12 maps read: 3 changed, 9 unchanged, 0 failed"
  kDryRun,   // "12 maps read: 3 would change, 9 unchanged, 0 failed"
};

// The per-map step of a batch: appends what it prints to `output` and leaves
// its messages in `messages`, which the batch prints after `output`: on
// standard output when the map did not fail (not with --quiet), on standard
// error when it did.
using PerMap = std::function<MapOutcome(const BatchMap& map, std::string& output)>;

// The maps the operands from `firstMap` on name, in order: a folder stands
// for the maps the editor lists there (less --exclude). A folder without
// maps is reported on standard error and counts as a failed map.
struct ExpandedMaps {
  std::vector<BatchMap> maps;
  size_t emptyFolders = 0;
  bool isBatch = false;  // more than one map, or a folder
  // Whether each map's messages follow a line that names it; import MAP FILE
  // prints the editor's messages alone, as the editor shows them.
  bool nameEachMap = true;
};
ExpandedMaps ExpandMaps(Invocation& call, BatchEditor& editor, size_t firstMap);

// Runs `perMap` on every map with the progress line, then prints the summary
// line (for a batch; with --quiet only when a map failed). A map that failed
// gets one line on standard error (FailureLine). The exit status: 1 when a
// map failed, kExitNothingMatched when `matchCounts` and no map matched, or
// with --expect-change when no map changed, else 0.
int RunBatch(Invocation& call, const ExpandedMaps& maps, TerminalMessages& messages, BatchKind kind, bool matchCounts,
             const PerMap& perMap);

// "PATH: error: MESSAGE (reason)": a failure's messages on one line, for
// grep, the path as the user gave it.
std::string FailureLine(const std::string& path, const std::vector<std::string>& lines);

// Adds the line that says why `path` could not be loaded (as a map) to
// `messages`, when a reason can be found.
void AddLoadReason(TerminalMessages& messages, const CString& path);
// The same for a save of `map` to `path` that failed.
void AddSaveReason(TerminalMessages& messages, const CBspFile& map, const CString& path);

// The whole of `source`, standard input for "-"; nullopt when it cannot be read.
std::optional<std::string> ReadSource(const std::string& source, std::istream& in);
// "standard input" for "-", else the path.
std::string SourceName(const std::string& source);

// The limits of the checks: --max-entities N, else with --max-players N the
// edicts a server holds for them, else the engine's own; --max-players.
EntityCheckOptions CheckOptionsOf(const Invocation& call);

// The save's check of `text`, about to go into `map` as an entity lump of
// `lumpBytes` bytes (its NUL included), as MayStore makes it with the
// command's --max-entities and --force. Its findings go to standard
// error, warnings not with --quiet. False when the text is refused.
bool CheckBeforeSave(Invocation& call, std::string_view text, size_t lumpBytes, const CBspFile& map,
                     const std::string& mapPath, const std::string& sourceName);

}  // namespace lw
