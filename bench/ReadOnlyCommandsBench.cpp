// The commands that only read, run as a user runs them (a process of
// lumpwright-cli, its output to /dev/null), against `cat` of the same files in
// the same run: `export` of a 64 MiB map with a 4 MiB entity lump against
// `cat` of the map, and `find` over a folder of 200 copies of de_tw.bsp
// against `cat` of the folder. The page cache is warm in both. The runs of
// lumpwright-cli also report its peak resident memory.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "mapwriter/MapWriter.h"

extern char** environ;  // NOLINT: POSIX declares it nowhere

namespace {

namespace fs = std::filesystem;

constexpr size_t kMapBytes = size_t{64} << 20U;
constexpr size_t kEntityBytes = size_t{4} << 20U;
constexpr size_t kTextureBytes = size_t{6} << 20U;
constexpr int kFolderCopies = 200;

// Runs `args` with standard output on /dev/null, waits for it and returns
// the seconds it took.
double Run(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t child = 0;
  if (posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
    throw std::runtime_error("cannot start " + args[0]);
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child) throw std::runtime_error("waitpid failed");
  const auto end = std::chrono::steady_clock::now();
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error(args[0] + " failed");
  return std::chrono::duration<double>(end - start).count();
}

// The peak resident memory of `args` in MiB, as /usr/bin/time reports it. A
// child's own figure from wait4 would count this process's memory: the
// child starts in it until it runs the program.
double PeakMiB(const std::vector<std::string>& args, const std::string& report) {
  std::vector<std::string> timed = {"/usr/bin/time", "-f", "%M", "-o", report};
  timed.insert(timed.end(), args.begin(), args.end());
  Run(timed);
  long kib = 0;
  std::ifstream(report) >> kib;
  return static_cast<double>(kib) / 1024.0;
}

// The made map and the folder of copies, written once into a temporary folder.
struct BenchFiles {
  BenchFiles() {
    std::string pattern = (fs::temp_directory_path() / "lumpwright-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder");
    root = pattern;
    map = (root / "de_bench.bsp").string();
    int count = 1000;
    std::string text = lw::mapwriter::MakeEntityText(count);
    count = static_cast<int>(static_cast<double>(count) * static_cast<double>(kEntityBytes) /
                             static_cast<double>(text.size()));
    text = lw::mapwriter::MakeEntityText(count);
    const std::string bytes = lw::mapwriter::WriteMap(
        lw::mapwriter::MakeMapContents(text, 1, kMapBytes - text.size() - kTextureBytes, kTextureBytes));
    std::ofstream(map, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));

    folder = (root / "maps").string();
    fs::create_directory(folder);
    const fs::path source = fs::path(LUMPWRIGHT_REAL_MAPS_DIR) / "de_tw.bsp";
    for (int i = 0; i < kFolderCopies; ++i) {
      const fs::path copy = fs::path(folder) / ("de_tw_" + std::to_string(1000 + i) + ".bsp");
      fs::copy_file(source, copy);
      fs::permissions(copy,
                      fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
      folderMaps.push_back(copy.string());
    }
  }
  ~BenchFiles() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }

  fs::path root;
  std::string map;
  std::string folder;
  std::vector<std::string> folderMaps;
};

BenchFiles& Files() {
  static BenchFiles files;
  return files;
}

// Times one process per iteration; the first run, untimed, warms the cache.
void TimeProcess(benchmark::State& state, const std::vector<std::string>& args, bool reportMemory) {
  Run(args);
  for (auto _ : state) state.SetIterationTime(Run(args));
  if (reportMemory) state.counters["peak_MiB"] = PeakMiB(args, (Files().root / "time.txt").string());
}

void BM_CatMap(benchmark::State& state) { TimeProcess(state, {"cat", Files().map}, false); }

// The floor of any run of the program: starting it (its C++ runtime loaded).
void BM_CliVersion(benchmark::State& state) { TimeProcess(state, {LUMPWRIGHT_CLI, "--version"}, false); }

void BM_ExportMap(benchmark::State& state) { TimeProcess(state, {LUMPWRIGHT_CLI, "export", Files().map}, true); }

void BM_CatFolder(benchmark::State& state) {
  std::vector<std::string> args = {"cat"};
  args.insert(args.end(), Files().folderMaps.begin(), Files().folderMaps.end());
  TimeProcess(state, args, false);
}

void BM_FindFolder(benchmark::State& state) {
  TimeProcess(state, {LUMPWRIGHT_CLI, "find", "info_player_start", Files().folder}, true);
}

BENCHMARK(BM_CatMap)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->Iterations(10);
BENCHMARK(BM_CliVersion)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->Iterations(10);
BENCHMARK(BM_ExportMap)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->Iterations(10);
BENCHMARK(BM_CatFolder)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->Iterations(5);
BENCHMARK(BM_FindFolder)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
