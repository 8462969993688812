// Loading and saving a 64 MiB map with a 4 MiB entity lump, against reading
// and writing the same bytes with nothing in between.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bsp/CBspFile.h"
#include "entities/EntityText.h"
#include "mapwriter/MapWriter.h"
#include "platform/FileSystem.h"
#include "platform/Messages.h"

namespace {

constexpr size_t kMapBytes = size_t{64} << 20U;
constexpr size_t kEntityBytes = size_t{4} << 20U;
constexpr size_t kTextureBytes = size_t{6} << 20U;

class SilentMessages : public lw::MessageSink {
 public:
  void ShowMessage(const lw::CString& /*text*/) override {}
  bool AskYesNo(const lw::CString& /*text*/) override { return false; }
  Answer AskYesNoCancel(const lw::CString& /*text*/) override { return Answer::kCancel; }
};

// The system's files, but nothing waits for the disk: a flush returns at once
// and the replace is a bare rename (the system's also syncs the folder, which
// on ext4 waits for the new file's data as well).
class NoFlushFileSystem : public lw::ForwardingFileSystem {
 public:
  NoFlushFileSystem() : ForwardingFileSystem(lw::SystemFileSystem()) {}
  void Flush(lw::FileHandle /*file*/) override {}
  void Replace(const lw::CString& tempPath, const lw::CString& target) override {
    if (std::rename(tempPath.GetString(), target.GetString()) != 0) throw lw::FileError("rename failed");
  }
};

// The made map, written once per run into a temporary folder.
struct BenchMap {
  BenchMap() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lumpwright-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder");
    folder = pattern;
    path = (folder / "de_bench.bsp").string();

    // Grow the entity text to about 4 MiB.
    int count = 1000;
    std::string text = lw::mapwriter::MakeEntityText(count);
    count = static_cast<int>(static_cast<double>(count) * static_cast<double>(kEntityBytes) /
                             static_cast<double>(text.size()));
    text = lw::mapwriter::MakeEntityText(count);
    entityText = text;
    const size_t geometry = kMapBytes - text.size() - kTextureBytes;
    bytes = lw::mapwriter::WriteMap(lw::mapwriter::MakeMapContents(text, 1, geometry, kTextureBytes));
    Rewrite();
    displayText = lw::ToDisplayText(entityText.c_str());
  }
  ~BenchMap() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  void Rewrite() const {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
      throw std::runtime_error("cannot write the bench map");
    }
    close(fd);
  }

  std::filesystem::path folder;
  std::string path;
  std::string bytes;
  std::string entityText;
  lw::CString displayText;
};

BenchMap& Map() {
  static BenchMap map;
  return map;
}

void ReadInto(const std::string& path, char* buffer, size_t size) {
  const int fd = open(path.c_str(), O_RDONLY);
  size_t total = 0;
  while (total < size) {
    const ssize_t got = read(fd, buffer + total, size - total);
    if (got <= 0) break;
    total += static_cast<size_t>(got);
  }
  close(fd);
  benchmark::DoNotOptimize(buffer);
}

// The floor: the file into a buffer that is already in memory, as `cat` does.
void BM_PlainReadReusedBuffer(benchmark::State& state) {
  BenchMap& map = Map();
  std::vector<char> buffer(map.bytes.size(), 1);
  for (auto _ : state) ReadInto(map.path, buffer.data(), buffer.size());
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(map.bytes.size()));
}
BENCHMARK(BM_PlainReadReusedBuffer)->Unit(benchmark::kMillisecond)->UseRealTime();

// The file into a fresh malloc'd buffer each time: every page faults in.
void BM_PlainReadFreshMalloc(benchmark::State& state) {
  BenchMap& map = Map();
  for (auto _ : state) {
    std::unique_ptr<char[]> buffer(new char[map.bytes.size()]);
    ReadInto(map.path, buffer.get(), map.bytes.size());
  }
}
BENCHMARK(BM_PlainReadFreshMalloc)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadMap(benchmark::State& state) {
  BenchMap& map = Map();
  SilentMessages messages;
  lw::CBspFile bsp(messages);
  for (auto _ : state) {
    if (bsp.LoadMap(map.path.c_str()) != 0) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(bsp.GetEntityText());
  }
}
BENCHMARK(BM_LoadMap)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadMapAndDisplayText(benchmark::State& state) {
  BenchMap& map = Map();
  SilentMessages messages;
  lw::CBspFile bsp(messages);
  for (auto _ : state) {
    if (bsp.LoadMap(map.path.c_str()) != 0) state.SkipWithError("load failed");
    lw::CString display = lw::ToDisplayText(bsp.GetEntityText());
    benchmark::DoNotOptimize(display.GetString());
  }
}
BENCHMARK(BM_LoadMapAndDisplayText)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ToDisplayText(benchmark::State& state) {
  BenchMap& map = Map();
  for (auto _ : state) {
    lw::CString display = lw::ToDisplayText(map.entityText.c_str());
    benchmark::DoNotOptimize(display.GetString());
  }
}
BENCHMARK(BM_ToDisplayText)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ToLumpText(benchmark::State& state) {
  BenchMap& map = Map();
  for (auto _ : state) {
    state.PauseTiming();
    lw::CString text = map.displayText;
    state.ResumeTiming();
    lw::ToLumpText(text);
    benchmark::DoNotOptimize(text.GetString());
  }
}
BENCHMARK(BM_ToLumpText)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same bytes to a new file: open, write, (fsync,) close.
void BM_PlainWrite(benchmark::State& state) {
  BenchMap& map = Map();
  const bool flush = state.range(0) != 0;
  const std::string target = (map.folder / "plain.bsp").string();
  for (auto _ : state) {
    unlink(target.c_str());
    const int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (write(fd, map.bytes.data(), map.bytes.size()) != static_cast<ssize_t>(map.bytes.size())) {
      state.SkipWithError("write failed");
    }
    if (flush) fsync(fd);
    close(fd);
  }
}
BENCHMARK(BM_PlainWrite)->Arg(0)->Arg(1)->ArgName("flush")->Unit(benchmark::kMillisecond)->UseRealTime();

// The same bytes to a new file that then replaces the old one by rename,
// as any atomic save does (ext4 starts writing the data out on such a rename).
void BM_PlainWriteAndRename(benchmark::State& state) {
  BenchMap& map = Map();
  const std::string target = (map.folder / "plain.bsp").string();
  const std::string temp = (map.folder / "plain.tmp").string();
  for (auto _ : state) {
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (write(fd, map.bytes.data(), map.bytes.size()) != static_cast<ssize_t>(map.bytes.size())) {
      state.SkipWithError("write failed");
    }
    close(fd);
    std::rename(temp.c_str(), target.c_str());
  }
}
BENCHMARK(BM_PlainWriteAndRename)->Unit(benchmark::kMillisecond)->UseRealTime();

// Loads the map, then times ToLumpText on the editor's text and SaveMap; the
// text copy the editor hands over is made outside the timing.
void SaveRepeatedly(benchmark::State& state, BenchMap& map, lw::CBspFile& bsp) {
  if (bsp.LoadMap(map.path.c_str()) != 0) state.SkipWithError("load failed");
  for (auto _ : state) {
    state.PauseTiming();
    lw::CString text = map.displayText;
    state.ResumeTiming();
    lw::ToLumpText(text);
    if (bsp.SaveMap(map.path.c_str(), text) != 0) state.SkipWithError("save failed");
  }
}

// SaveMap replacing the map, with or without the flush.
void BM_SaveMap(benchmark::State& state) {
  BenchMap& map = Map();
  const bool flush = state.range(0) != 0;
  SilentMessages messages;
  NoFlushFileSystem noFlush;
  lw::CBspFile bsp(messages, flush ? lw::SystemFileSystem() : static_cast<lw::FileSystem&>(noFlush));
  map.Rewrite();
  SaveRepeatedly(state, map, bsp);
}
BENCHMARK(BM_SaveMap)->Arg(0)->Arg(1)->ArgName("flush")->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor of a save in place: the same bytes over the existing file, flushed.
void BM_PlainOverwriteAndFlush(benchmark::State& state) {
  BenchMap& map = Map();
  map.Rewrite();
  for (auto _ : state) {
    const int fd = open(map.path.c_str(), O_WRONLY);
    if (write(fd, map.bytes.data(), map.bytes.size()) != static_cast<ssize_t>(map.bytes.size())) {
      state.SkipWithError("write failed");
    }
    fsync(fd);
    close(fd);
  }
}
BENCHMARK(BM_PlainOverwriteAndFlush)->Unit(benchmark::kMillisecond)->UseRealTime();

// SaveMap of a map with a second hard link, which writes into the map: the
// old bytes read back first, the length reserved, the bytes written, flushed.
void BM_SaveMapInPlace(benchmark::State& state) {
  BenchMap& map = Map();
  SilentMessages messages;
  lw::CBspFile bsp(messages);
  map.Rewrite();
  const std::filesystem::path other = map.folder / "other-name.bsp";
  std::filesystem::remove(other);
  std::filesystem::create_hard_link(map.path, other);
  SaveRepeatedly(state, map, bsp);
  std::filesystem::remove(other);
}
BENCHMARK(BM_SaveMapInPlace)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
