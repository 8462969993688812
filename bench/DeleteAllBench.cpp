// Delete All against its floors: one pass over a 4 MiB display text against
// one scan of that text for the search string, and `delete-all` over a folder
// of 1,000 small maps against copying that folder; `set` and `remove` over
// that folder against `delete-all`, `count` and `get` against `find`.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <benchmark/benchmark.h>

#include "cli/Cli.h"
#include "entities/EntityText.h"
#include "entities/InMemoryEntityEdit.h"
#include "mapwriter/MapWriter.h"

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kNeedle = "info_player_deathmatch";
constexpr size_t kTextBytes = size_t{4} << 20U;
constexpr int kMatchingBlocks = 10000;
constexpr int kFolderMaps = 1000;

// 10,000 spawn points among the blocks of a made map (its own spawn points
// renamed), 4 MiB in all: the display text of a very large map.
std::string MakeDisplayText() {
  const std::string spawn =
      "{\r\n\"classname\" \"info_player_deathmatch\"\r\n\"angles\" \"0 270 0\"\r\n\"origin\" \"-1024 512 36\"\r\n}\r\n";
  std::string others = lw::ToDisplayText(lw::mapwriter::MakeEntityText(30000, 5).c_str()).Str();
  for (size_t at = 0; (at = others.find(kNeedle, at)) != std::string::npos;)
    others.replace(at, kNeedle.size(), "info_player_start");
  others.erase(0, others.find("}\r\n") + 3);  // not a second worldspawn
  std::string text;
  text.reserve(kTextBytes + 1024);
  size_t from = 0;
  for (int i = 0; i < kMatchingBlocks; ++i) {
    text += spawn;
    // Whole blocks of the others until this spawn point's share is filled.
    const size_t share = kTextBytes / kMatchingBlocks * static_cast<size_t>(i + 1);
    while (text.size() < share) {
      const size_t next = others.find("}\r\n", from) + 3;
      text.append(others, from, next - from);
      from = next;
    }
  }
  return text;
}

const std::string& DisplayText() {
  static const std::string text = MakeDisplayText();
  return text;
}

// What the one-pass Delete All leaves must be what the block-at-a-time rule
// leaves; checked once, before any timing.
void CheckAgainstBlockByBlock() {
  static bool checked = false;
  if (checked) return;
  checked = true;
  lw::InMemoryEntityEdit fast;
  lw::InMemoryEntityEdit slow;
  fast.SetText(lw::CString(DisplayText()));
  slow.SetText(lw::CString(DisplayText()));
  int fastPosition = 0;
  int slowPosition = 0;
  const int fastCount = fast.DeleteAllBlocks(kNeedle, fastPosition);
  const int slowCount = lw::DeleteBlocksOneAtATime(slow, kNeedle, slowPosition);
  int fastStart = 0;
  int fastEnd = 0;
  int slowStart = 0;
  int slowEnd = 0;
  fast.GetSel(fastStart, fastEnd);
  slow.GetSel(slowStart, slowEnd);
  if (fastCount != kMatchingBlocks || fastCount != slowCount || fastPosition != slowPosition ||
      fastStart != slowStart || fastEnd != slowEnd || fast.LiveText() != slow.LiveText() ||
      fast.GetModify() != slow.GetModify()) {
    throw std::runtime_error("the one-pass Delete All differs from the block-at-a-time one");
  }
}

void BM_DeleteAllInMemory(benchmark::State& state) {
  CheckAgainstBlockByBlock();
  const lw::CString text(DisplayText());
  lw::InMemoryEntityEdit edit;
  for (auto _ : state) {
    state.PauseTiming();
    edit.SetText(text);
    int position = 0;
    state.ResumeTiming();
    const int count = edit.DeleteAllBlocks(kNeedle, position);
    if (count != kMatchingBlocks) state.SkipWithError("wrong count");
    benchmark::DoNotOptimize(edit.LiveText().data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.Size()));
}
BENCHMARK(BM_DeleteAllInMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor: every occurrence of the search string, found once.
void BM_ScanWithFind(benchmark::State& state) {
  const std::string_view text = DisplayText();
  for (auto _ : state) {
    int count = 0;
    for (size_t at = text.find(kNeedle); at != std::string_view::npos; at = text.find(kNeedle, at + 1)) ++count;
    if (count != kMatchingBlocks) state.SkipWithError("wrong count");
    benchmark::DoNotOptimize(count);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ScanWithFind)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ScanWithMemmem(benchmark::State& state) {
  const std::string_view text = DisplayText();
  for (auto _ : state) {
    int count = 0;
    const char* at = text.data();
    const char* end = text.data() + text.size();
    while (const void* hit = memmem(at, static_cast<size_t>(end - at), kNeedle.data(), kNeedle.size())) {
      ++count;
      at = static_cast<const char*>(hit) + 1;
    }
    if (count != kMatchingBlocks) state.SkipWithError("wrong count");
    benchmark::DoNotOptimize(count);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ScanWithMemmem)->Unit(benchmark::kMillisecond)->UseRealTime();

// A folder of 1,000 small made maps, each with spawn points to delete,
// written once per run; the work folder is laid anew before each pass.
struct MapFolder {
  MapFolder() {
    std::string pattern = (fs::temp_directory_path() / "lumpwright-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder");
    root = pattern;
    source = root / "source";
    work = root / "work";
    fs::create_directory(source);
    for (int i = 0; i < kFolderMaps; ++i) {
      const auto seed = static_cast<std::uint32_t>(i + 1);
      const std::string text = lw::mapwriter::MakeEntityText(40, seed) +
                               "{\n\"classname\" \"info_player_deathmatch\"\n\"origin\" \"0 0 36\"\n}\n";
      const std::string bytes =
          lw::mapwriter::WriteMap(lw::mapwriter::MakeMapContents(text, seed, 32 * 1024, 8 * 1024));
      bytesTotal += bytes.size();
      WriteFile(source / ("de_map" + std::to_string(i) + ".bsp"), bytes);
    }
  }
  ~MapFolder() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
  static void WriteFile(const fs::path& path, std::string_view bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
      throw std::runtime_error("cannot write " + path.string());
    }
    close(fd);
  }
  void LayWork() const {
    fs::remove_all(work);
    fs::copy(source, work);
  }

  fs::path root;
  fs::path source;
  fs::path work;
  size_t bytesTotal = 0;
};

MapFolder& Folder() {
  static MapFolder folder;
  return folder;
}

void BM_DeleteAllFolderCli(benchmark::State& state) {
  MapFolder& folder = Folder();
  const std::vector<std::string> args = {"delete-all", std::string(kNeedle), folder.work.string()};
  for (auto _ : state) {
    state.PauseTiming();
    folder.LayWork();
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    state.ResumeTiming();
    if (lw::RunCli(args, in, out, err) != lw::kExitSuccess) state.SkipWithError(err.str().c_str());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(folder.bytesTotal));
}
BENCHMARK(BM_DeleteAllFolderCli)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

// The operator's commands over the same folder in the same run: set and
// remove edit the stored text and save, as delete-all saves; count and get
// read what find reads.
void RunOverWork(benchmark::State& state, const std::vector<std::string>& command, bool writes, int expected) {
  MapFolder& folder = Folder();
  std::vector<std::string> args = command;
  args.push_back(folder.work.string());  // options may stand anywhere after the command
  if (!writes) folder.LayWork();
  for (auto _ : state) {
    state.PauseTiming();
    if (writes) folder.LayWork();
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    state.ResumeTiming();
    if (lw::RunCli(args, in, out, err) != expected) state.SkipWithError(err.str().c_str());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(folder.bytesTotal));
}

void BM_SetFolderCli(benchmark::State& state) {
  RunOverWork(state, {"set", "skyname", "space", "--class", "worldspawn"}, true, lw::kExitSuccess);
}
BENCHMARK(BM_SetFolderCli)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

void BM_RemoveFolderCli(benchmark::State& state) {
  RunOverWork(state, {"remove", "--class", std::string(kNeedle)}, true, lw::kExitSuccess);
}
BENCHMARK(BM_RemoveFolderCli)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

void BM_FindFolderCli(benchmark::State& state) {
  RunOverWork(state, {"find", std::string(kNeedle)}, false, lw::kExitSuccess);
}
BENCHMARK(BM_FindFolderCli)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

void BM_CountFolderCli(benchmark::State& state) {
  RunOverWork(state, {"count", "--class", std::string(kNeedle)}, false, lw::kExitSuccess);
}
BENCHMARK(BM_CountFolderCli)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

void BM_GetFolderCli(benchmark::State& state) {
  RunOverWork(state, {"get", "origin", "--class", std::string(kNeedle)}, false, lw::kExitSuccess);
}
BENCHMARK(BM_GetFolderCli)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

// The floor: the folder copied by the library, and by a read and a write of
// every file.
void BM_CopyFolder(benchmark::State& state) {
  MapFolder& folder = Folder();
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(folder.work);
    state.ResumeTiming();
    fs::copy(folder.source, folder.work);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(folder.bytesTotal));
}
BENCHMARK(BM_CopyFolder)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

// With fsync, each file is made durable as a save makes each map.
void BM_ReadWriteFolder(benchmark::State& state) {
  MapFolder& folder = Folder();
  const bool sync = state.range(0) != 0;
  std::vector<char> buffer(size_t{1} << 20U);
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(folder.work);
    state.ResumeTiming();
    fs::create_directory(folder.work);
    for (const auto& entry : fs::directory_iterator(folder.source)) {
      const int from = open(entry.path().c_str(), O_RDONLY);
      const int to = open((folder.work / entry.path().filename()).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ssize_t got = 0;
      while ((got = read(from, buffer.data(), buffer.size())) > 0) {
        if (write(to, buffer.data(), static_cast<size_t>(got)) != got) state.SkipWithError("write failed");
      }
      if (sync) fsync(to);
      close(from);
      close(to);
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(folder.bytesTotal));
}
BENCHMARK(BM_ReadWriteFolder)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("fsync")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
