// The windows' outline and problems list on a 2 MiB text of 20,000 blocks,
// against `count`'s reading of the same text (CountClasses) and one check:
// building the outline, one refresh after a one-character edit (the text
// read again, as the windows do 50 ms after typing stops), and the check.
#include <string>

#include <benchmark/benchmark.h>

#include "entities/EntityBlocks.h"
#include "entities/EntityCheck.h"
#include "entities/EntityOutline.h"
#include "mapwriter/MapWriter.h"

namespace {

// 20,000 blocks grown to 2 MiB with blocks of the same kinds.
const std::string& Text() {
  static const std::string text = [] {
    std::string made = lw::mapwriter::MakeEntityText(20000, 5);
    for (std::uint32_t seed = 6; made.size() < (size_t{2} << 20U); ++seed) {
      const std::string more = lw::mapwriter::MakeEntityText(500, seed);
      made += more.substr(more.find("}\n") + 2);  // without a second world
    }
    return made;
  }();
  return text;
}

void BM_CountClasses(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(lw::CountClasses(Text()));
  state.counters["blocks"] = static_cast<double>(lw::ParseEntityBlocks(Text()).size());
}

void BM_BuildOutline(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(lw::BuildOutline(Text()));
}

// What a window does after typing stops: the text copied, its rows, the
// filter's pass (empty) and the counts.
void BM_RefreshAfterAnEdit(benchmark::State& state) {
  std::string edited = Text();
  edited.insert(edited.size() / 2, "x");
  for (auto _ : state) {
    const std::string copy = edited;
    const std::vector<lw::OutlineRow> rows = lw::BuildOutline(copy);
    const std::vector<size_t> shown = lw::FilterOutline(copy, rows, "");
    benchmark::DoNotOptimize(lw::DescribeClassCounts(lw::CountOutlineClasses(rows, shown)));
  }
}

void BM_Check(benchmark::State& state) {
  lw::EntityCheckOptions options;
  options.maxEntities = 100000;
  for (auto _ : state) benchmark::DoNotOptimize(lw::CheckEntityText(Text(), options));
}

BENCHMARK(BM_CountClasses)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildOutline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshAfterAnEdit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Check)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
