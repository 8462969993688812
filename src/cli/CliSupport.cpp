#include "cli/CliSupport.h"

#include <algorithm>

#include <array>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <istream>
#include <ostream>
#include <sstream>

#include "bsp/BspHeader.h"
#include "bsp/CBspFile.h"
#include "cli/CheckCommand.h"
#include "entities/EntityCheck.h"
#include "platform/FailureReason.h"
#include "platform/Paths.h"

namespace lw {
namespace {

// BSP versions in use are two-digit numbers (Quake 29, Half-Life 30, Quake 2
// 38, Source 17 to 29); above this a version field is some other file's bytes.
constexpr std::int32_t kHighestLikelyBspVersion = 255;

// What the summary line says of `count` maps.
std::string Maps(size_t count) { return std::to_string(count) + (count == 1 ? " map" : " maps"); }

// A file whose version field is no BSP version at all (a text file, an
// archive) is no map; "BSP is version 1819043176, not 30" alone hides that.
// A file too short for the header is said to be so already.
std::string WhyNotAMap(const CString& path) {
  std::ifstream file(path.Str(), std::ios::binary);
  std::array<unsigned char, kBspHeaderSize> header{};
  file.read(reinterpret_cast<char*>(header.data()), static_cast<std::streamsize>(header.size()));
  if (file.gcount() < static_cast<std::streamsize>(header.size())) return {};
  const std::optional<std::int32_t> version = ReadBspVersion(header);
  return version && *version > 0 && *version <= kHighestLikelyBspVersion ? std::string() : "not a BSP file";
}

void PrintGroup(std::ostream& stream, const CString& path, const std::vector<std::string>& lines, bool named) {
  if (!named) {
    for (const std::string& line : lines) stream << line << '\n';
    return;
  }
  if (lines.size() == 1 && lines.front().find('\n') == std::string::npos) {
    stream << path.Str() << ": " << lines.front() << '\n';
    return;
  }
  stream << path.Str() << ":\n";
  for (const std::string& line : lines) stream << line << '\n';
}

}  // namespace

std::string FailureLine(const std::string& path, const std::vector<std::string>& lines) {
  std::string line = path + ": error:";
  for (const std::string& message : lines) {
    std::string joined = message;
    std::replace(joined.begin(), joined.end(), '\n', ' ');
    // "Error saving the file: NAME." stands once; a message that repeats
    // the path after its own words is kept as it is.
    line += ' ' + joined;
  }
  return line + '\n';
}

int WriteOut(Invocation& call, std::string_view bytes) {
  call.out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  call.out.flush();
  if (!call.out) {
    call.err << kProgramName << ": cannot write to standard output\n";
    return kExitFailure;
  }
  return kExitSuccess;
}

ExpandedMaps ExpandMaps(Invocation& call, BatchEditor& editor, size_t firstMap) {
  const std::vector<std::string> operands(call.operands.begin() + static_cast<std::ptrdiff_t>(firstMap),
                                          call.operands.end());
  std::vector<std::string> emptyFolders;
  ExpandedMaps expanded;
  expanded.maps = ExpandMapOperands(editor, operands, emptyFolders, call.excluded);
  for (const std::string& folder : emptyFolders) call.err << kProgramName << ": no maps in " << folder << '\n';
  expanded.emptyFolders = emptyFolders.size();
  std::error_code error;
  expanded.isBatch = expanded.maps.size() > 1 || std::any_of(operands.begin(), operands.end(), [&](const auto& path) {
                       return std::filesystem::is_directory(path, error);
                     });
  return expanded;
}

int RunBatch(Invocation& call, const ExpandedMaps& expanded, TerminalMessages& messages, BatchKind kind,
             bool matchCounts, const PerMap& perMap) {
  const std::vector<BatchMap>& maps = expanded.maps;
  size_t failed = expanded.emptyFolders;
  size_t changed = 0;
  size_t unchanged = 0;
  bool matched = false;
  BatchProgress progress(call.err, call.errIsTerminal, maps.size());
  std::string output;
  for (size_t i = 0; i < maps.size(); ++i) {
    progress.Show(i + 1, maps[i].name);
    output.clear();
    const MapOutcome outcome = perMap(maps[i], output);
    const bool succeeded = outcome.state != MapOutcome::State::kFailed;
    failed += succeeded ? 0 : 1;
    changed += outcome.state == MapOutcome::State::kChanged ? 1 : 0;
    unchanged += outcome.state == MapOutcome::State::kUnchanged ? 1 : 0;
    matched = matched || outcome.matched;
    std::vector<std::string> lines = messages.TakePending();
    if (succeeded && call.quiet) lines.clear();
    if (output.empty() && lines.empty()) continue;
    progress.Clear();
    call.out << output;
    if (lines.empty()) continue;
    // Messages of a map go where its outcome belongs, named by the path the
    // user gave: some of the editor's ("BSP is version 29, not 30") name no file.
    call.out.flush();
    if (succeeded) {
      PrintGroup(call.out, maps[i].Path(), lines, expanded.nameEachMap);
    } else {
      // One line a failure, for grep and for a cron job's mail.
      call.err << FailureLine(maps[i].Path().Str(), lines);
    }
  }
  progress.Clear();
  // A quiet run says nothing unless something failed.
  if (call.quiet ? failed > 0 : expanded.isBatch) {
    call.err << kProgramName << ": " << Maps(maps.size() + expanded.emptyFolders) << " read";
    switch (kind) {
      case BatchKind::kReading: call.err << ", "; break;
      case BatchKind::kWriting: call.err << ": " << changed << " changed, " << unchanged << " unchanged, "; break;
      case BatchKind::kDryRun: call.err << ": " << changed << " would change, " << unchanged << " unchanged, "; break;
    }
    call.err << failed << " failed\n";
  }
  call.out.flush();
  if (!call.out) {
    call.err << kProgramName << ": cannot write to standard output\n";
    return kExitFailure;
  }
  if (failed > 0) return kExitFailure;
  if (call.Has("--expect-change") && changed == 0) return kExitNothingMatched;
  return matchCounts && !matched ? kExitNothingMatched : kExitSuccess;
}

void AddLoadReason(TerminalMessages& messages, const CString& path) {
  std::string reason = WhyNotReadable(path);
  if (reason.empty()) reason = WhyNotAMap(path);
  if (!reason.empty()) messages.ShowMessage(CString("(" + reason + ")"));
}

void AddSaveReason(TerminalMessages& messages, const CBspFile& map, const CString& path) {
  std::string reason = WhyNotSavable(path);
  if (reason.empty()) reason = map.LastFailureReason();
  if (!reason.empty()) messages.ShowMessage(CString("(" + reason + ")"));
}

namespace {

// Everything left in `in`; nullopt when the stream reports a read error.
std::optional<std::string> ReadAll(std::istream& in, size_t expected = 0) {
  std::string bytes;
  // A file's text grows in place, not copied along at every doubling.
  bytes.reserve(expected);
  std::vector<char> chunk(size_t{1} << 16);
  while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
    bytes.append(chunk.data(), static_cast<size_t>(in.gcount()));
  }
  if (in.bad()) return std::nullopt;
  return bytes;
}

}  // namespace

std::optional<std::string> ReadSource(const std::string& source, std::istream& in) {
  if (source == "-") return ReadAll(in);
  // A folder opens like an empty file here; importing it would wipe the entities.
  std::error_code ignored;
  if (std::filesystem::is_directory(source, ignored)) return std::nullopt;
  std::ifstream file(source, std::ios::binary);
  if (!file) return std::nullopt;
  const std::uintmax_t size = std::filesystem::file_size(source, ignored);
  return ReadAll(file, ignored ? 0 : static_cast<size_t>(size));
}

std::string SourceName(const std::string& source) { return source == "-" ? "standard input" : source; }

namespace {

std::optional<size_t> CountOption(const Invocation& call, std::string_view name) {
  const std::string* value = call.Option(name);
  if (value == nullptr) return std::nullopt;
  size_t count = 0;
  const auto [end, error] = std::from_chars(value->data(), value->data() + value->size(), count);
  if (error != std::errc() || end != value->data() + value->size() || count == 0) {
    throw UsageError(std::string(name) + " needs a number above 0, not '" + *value + "'");
  }
  return count;
}

}  // namespace

EntityCheckOptions CheckOptionsOf(const Invocation& call) {
  EntityCheckOptions options;
  options.maxPlayers = CountOption(call, "--max-players");
  // The server's own limit for its players, unless one is given.
  if (options.maxPlayers) options.maxEntities = EdictsForPlayers(*options.maxPlayers);
  if (const std::optional<size_t> limit = CountOption(call, "--max-entities")) options.maxEntities = *limit;
  return options;
}

bool CheckBeforeSave(Invocation& call, std::string_view text, size_t lumpBytes, const CBspFile& map,
                     const std::string& mapPath, const std::string& sourceName) {
  std::ostringstream findings;
  const bool allowed = MayStore(text, lumpBytes, ModelCount(map), CheckOptionsOf(call), mapPath, sourceName,
                                call.Has("--force"), findings);
  if (!allowed || !call.quiet) call.err << findings.str();
  return allowed;
}

}  // namespace lw
