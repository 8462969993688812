// The commands run as a user runs them (a process of lumpwright-cli, its
// output on /dev/null), against `cat` and `dd` of the same files in the same
// run: `export` and `check` of a 64 MiB map with a 4 MiB entity lump, and
// `check` of that text alone, against `cat` of the map; `import` of a changed
// 4 MiB text into the map against `dd bs=4M conv=fsync` of it; `find` over a
// folder of 200 copies of de_tw.bsp against `cat` of the folder, and `spawns`
// and `check` over that folder; `patch` of a 20-rule recipe over 1,000 made
// maps against `delete-all` over the same maps, each on maps restored
// before the run; `rename` in a 2 MiB text against one `export` of its map.
// The page cache is warm in all of them. Some runs also report peak resident
// memory.
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
constexpr int kPatchedMaps = 1000;
constexpr size_t kRenameTextBytes = size_t{2} << 20U;

// Twenty rules of the kinds operators keep: filters exact and by pattern,
// spawns added, values replaced, keys deleted and inserted.
constexpr const char* kRecipe = R"(; the bench's recipe
filter:
{ "classname" "infodecal" }
{ "classname" "armoury_entity" "item" "/^(10|11|19)$/" }
{ "classname" "/^weapon_/" }
{ "classname" "game_player_equip" }
{ "classname" "ambient_generic" "message" "/wind[0-9]/" }
{ "classname" "hostage_entity" "angles" "0 90 0" }
add:
{ "classname" "info_player_deathmatch" "origin" "-1024 512 36" "angles" "0 90 0" }
{ "classname" "info_player_start" "origin" "1024 512 36" "angles" "0 270 0" }
{ "classname" "info_target" "targetname" "server_marker" "origin" "0 0 0" }
{ "classname" "env_fog" "rendercolor" "128 128 128" }
modify:
{ match: { "classname" "worldspawn" } replace: { "skyname" "space" } delete: { "MaxRange" "" } insert: { "_note" "patched" } }
{ match: { "classname" "light" } replace: { "style" "1" } }
{ match: { "classname" "func_door" } replace: { "speed" "200" } }
{ match: { "classname" "func_buyzone" "team" "2" } delete: { "team" "" } }
{ match: { "classname" "/^info_player_/" } insert: { "_spawn" "1" } }
{ match: { "classname" "armoury_entity" } replace: { "count" "2" } }
{ match: { "classname" "ambient_generic" } delete: { "health" "10" } }
{ match: { "classname" "hostage_entity" } replace: { "model" "models/hostage.mdl" } }
{ match: { "classname" "func_bomb_target" } insert: { "_site" "yes" } }
{ match: { "classname" "info_target" } insert: { "_marker" "1" } }
)";

// Runs `args` with standard output (and error) on /dev/null, waits for it
// and returns the seconds it took. An exit status above `allowedStatus`
// fails the bench.
double Run(const std::vector<std::string>& args, int allowedStatus = 0) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t child = 0;
  if (posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
    throw std::runtime_error("cannot start " + args[0]);
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child) throw std::runtime_error("waitpid failed");
  const auto end = std::chrono::steady_clock::now();
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) > allowedStatus) throw std::runtime_error(args[0] + " failed");
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
    // The text alone, and two versions of it that differ in one value, for
    // imports that change the map each time.
    entityText = (root / "de_bench.ent").string();
    std::ofstream(entityText, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
    imported = (root / "de_import.bsp").string();
    std::ofstream(imported, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::string changed = text;
    changed.replace(changed.find("\"skyname\" \""), 11, "\"skyname\" \"x");
    for (int version = 0; version < 2; ++version) {
      importTexts[static_cast<size_t>(version)] = (root / ("import" + std::to_string(version) + ".ent")).string();
      const std::string& written = version == 0 ? changed : text;
      std::ofstream(importTexts[static_cast<size_t>(version)], std::ios::binary)
          .write(written.data(), static_cast<std::streamsize>(written.size()));
    }
    ddCopy = (root / "dd_copy.bsp").string();

    // The maps the recipe changes, kept as made in a folder of their own to be
    // copied back before each run.
    patchMaps = (root / "patched").string();
    pristineMaps = (root / "pristine").string();
    fs::create_directory(patchMaps);
    fs::create_directory(pristineMaps);
    for (int i = 0; i < kPatchedMaps; ++i) {
      const std::string made = lw::mapwriter::WriteMap(lw::mapwriter::MakeMapContents(
          lw::mapwriter::MakeEntityText(120, static_cast<std::uint32_t>(i)), 1, 48 << 10, 8 << 10));
      const std::string name = "de_made_" + std::to_string(1000 + i) + ".bsp";
      std::ofstream(fs::path(pristineMaps) / name, std::ios::binary)
          .write(made.data(), static_cast<std::streamsize>(made.size()));
    }
    recipe = (root / "bench.cfg").string();
    std::ofstream(recipe, std::ios::binary) << kRecipe;

    // A 2 MiB text whose door is renamed back and forth.
    renameMap = (root / "de_rename.bsp").string();
    int doors = 1000;
    std::string renameText = lw::mapwriter::MakeEntityText(doors);
    doors = static_cast<int>(static_cast<double>(doors) * static_cast<double>(kRenameTextBytes) /
                             static_cast<double>(renameText.size()));
    renameText = lw::mapwriter::MakeEntityText(doors);
    const size_t named = renameText.find("\"targetname\" \"door_");
    if (named == std::string::npos) throw std::runtime_error("the made text has no door");
    const size_t nameStart = named + std::string("\"targetname\" \"").size();
    doorName = renameText.substr(nameStart, renameText.find('"', nameStart) - nameStart);
    const std::string renameBytes =
        lw::mapwriter::WriteMap(lw::mapwriter::MakeMapContents(renameText, 1, 8 << 20, 1 << 20));
    std::ofstream(renameMap, std::ios::binary)
        .write(renameBytes.data(), static_cast<std::streamsize>(renameBytes.size()));

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
  std::string entityText;
  std::string imported;
  std::string importTexts[2];
  std::string ddCopy;
  std::string folder;
  std::vector<std::string> folderMaps;
  std::string patchMaps;
  std::string pristineMaps;
  std::string recipe;
  std::string renameMap;
  std::string doorName;
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

// The made text has more entities than the default limit holds: the limit
// is raised as the operator of such a map raises it.
void BM_CheckMap(benchmark::State& state) {
  TimeProcess(state, {LUMPWRIGHT_CLI, "check", "--max-entities", "100000", Files().map}, true);
}

void BM_CheckText(benchmark::State& state) {
  TimeProcess(state, {LUMPWRIGHT_CLI, "check", "--max-entities", "100000", Files().entityText}, false);
}

void BM_DdMap(benchmark::State& state) {
  TimeProcess(state, {"dd", "if=" + Files().map, "of=" + Files().ddCopy, "bs=4M", "conv=fsync", "status=none"}, false);
}

// Each import stores the other of the two texts, so that every one writes.
void BM_ImportMap(benchmark::State& state) {
  int version = 0;
  const auto import = [&version] {
    version = 1 - version;
    return Run({LUMPWRIGHT_CLI, "import", "--max-entities", "100000", Files().imported,
                Files().importTexts[static_cast<size_t>(version)]});
  };
  import();
  for (auto _ : state) state.SetIterationTime(import());
}

void BM_CatFolder(benchmark::State& state) {
  std::vector<std::string> args = {"cat"};
  args.insert(args.end(), Files().folderMaps.begin(), Files().folderMaps.end());
  TimeProcess(state, args, false);
}

void BM_FindFolder(benchmark::State& state) {
  TimeProcess(state, {LUMPWRIGHT_CLI, "find", "info_player_start", Files().folder}, true);
}

// Spawns and links are read from every map of the folder; the made maps of
// another bench are not in it.
void BM_SpawnsFolder(benchmark::State& state) { TimeProcess(state, {LUMPWRIGHT_CLI, "spawns", Files().folder}, true); }

void BM_CheckFolder(benchmark::State& state) {
  TimeProcess(state, {LUMPWRIGHT_CLI, "check", "-q", Files().folder}, true);
}

// The made maps as they were made, before each timed run.
void RestorePatchMaps() {
  for (const auto& entry : fs::directory_iterator(Files().pristineMaps)) {
    fs::copy_file(entry.path(), fs::path(Files().patchMaps) / entry.path().filename(),
                  fs::copy_options::overwrite_existing);
  }
}

void TimeOnRestoredMaps(benchmark::State& state, const std::vector<std::string>& args) {
  RestorePatchMaps();
  Run(args);
  for (auto _ : state) {
    RestorePatchMaps();
    state.SetIterationTime(Run(args));
  }
}

void BM_DeleteAllMadeMaps(benchmark::State& state) {
  TimeOnRestoredMaps(state, {LUMPWRIGHT_CLI, "delete-all", "infodecal", Files().patchMaps});
}

void BM_PatchMadeMaps(benchmark::State& state) {
  TimeOnRestoredMaps(state, {LUMPWRIGHT_CLI, "patch", Files().patchMaps, "--recipe", Files().recipe});
}

void BM_ExportRenameMap(benchmark::State& state) {
  TimeProcess(state, {LUMPWRIGHT_CLI, "export", Files().renameMap}, false);
}

// The floor of any durable save of that map: a copy of it flushed to the disk.
void BM_DdRenameMap(benchmark::State& state) {
  TimeProcess(state, {"dd", "if=" + Files().renameMap, "of=" + Files().ddCopy, "bs=4M", "conv=fsync", "status=none"},
              false);
}

// Each run renames the door back, so that every one writes.
void BM_RenameMap(benchmark::State& state) {
  const std::string& name = Files().doorName;
  const std::string other = name + "_renamed";
  // Kept across the repetitions, which each start with an untimed run.
  static bool forth = true;
  const auto rename = [&] {
    forth = !forth;
    return Run({LUMPWRIGHT_CLI, "rename", "--max-entities", "100000", forth ? other : name, forth ? name : other,
                Files().renameMap});
  };
  rename();
  for (auto _ : state) state.SetIterationTime(rename());
}

BENCHMARK(BM_CatMap)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->Iterations(10);
BENCHMARK(BM_CliVersion)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->Iterations(10);
BENCHMARK(BM_ExportMap)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->Iterations(10);
BENCHMARK(BM_CheckMap)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->Iterations(10);
BENCHMARK(BM_CheckText)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->Iterations(10);
BENCHMARK(BM_DdMap)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->Iterations(5);
BENCHMARK(BM_ImportMap)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->Iterations(5);
BENCHMARK(BM_CatFolder)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->Iterations(5);
BENCHMARK(BM_FindFolder)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->Iterations(5);
BENCHMARK(BM_SpawnsFolder)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->Iterations(5);
BENCHMARK(BM_CheckFolder)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->Iterations(5);
BENCHMARK(BM_DeleteAllMadeMaps)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(3)->Iterations(3);
BENCHMARK(BM_PatchMadeMaps)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(3)->Iterations(3);
BENCHMARK(BM_ExportRenameMap)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->Iterations(10);
BENCHMARK(BM_DdRenameMap)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->Iterations(10);
BENCHMARK(BM_RenameMap)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
