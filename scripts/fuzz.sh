#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time, seeded
# with the project's own maps. Any finding fails the run; its input is kept
# under build/fuzz/findings/ to be added to fuzz/regressions/TARGET/.
#   scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-${LUMPWRIGHT_FUZZ_SECONDS:-60}}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2

build=build/fuzz
work="$build/fuzz-work"
findings="$build/findings"
rm -rf "$work"
mkdir -p "$work" "$findings"

# Seeds: the small made maps for the map targets (with an edit byte in front
# for the round trip), their entity texts for the text targets.
mkdir -p "$work/seeds-maps" "$work/seeds-roundtrip" "$work/seeds-text"
for map in "$build"/samples/test-maps/*.bsp "$build"/samples/as_tiny.bsp; do
  [ -f "$map" ] || continue
  name=$(basename "$map")
  cp "$map" "$work/seeds-maps/$name"
  { printf '\001'; cat "$map"; } > "$work/seeds-roundtrip/$name"
done
printf '\000{\r\n"classname" "infodecal"\r\n"texture" "{target"\r\n}\r\n' > "$work/seeds-text/decal"
printf '\001\005\000light{\n"classname" "light"\n}\n{\n"a" "b"\n}\n' > "$work/seeds-text/light"

# A recipe (its length in the first two bytes) before a text; a pattern's
# length in the first byte before the pattern and a value.
mkdir -p "$work/seeds-recipe" "$work/seeds-pattern"
printf '\076\000filter:\n{ "classname" "/^weapon_/" }\nmodify:\n{ match: { "a" "1" } insert: { "b" "2" } }{\n"classname" "weapon_ak47"\n}\n{\n"a" "1"\n}\n' \
  > "$work/seeds-recipe/filter-modify"
printf '\010^(a|b)*cabababc' > "$work/seeds-pattern/alternation"

run_target() {
  local target=$1 seeds=$2
  local corpus="$work/corpus-$target"
  mkdir -p "$corpus"
  cp "$seeds"/* "$corpus"/ 2>/dev/null || true
  # Earlier findings are replayed first as regression cases.
  local regressions=fuzz/regressions/$target
  if [ -d "$regressions" ] && [ -n "$(ls -A "$regressions")" ]; then
    "$build/fuzz/$target" "$regressions"/* >"$work/$target-regressions.log" 2>&1 || {
      echo "$target: a regression case fails"; tail -30 "$work/$target-regressions.log"; return 1; }
  fi
  local log="$work/$target.log"
  if ! "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
       -max_len=1048576 -artifact_prefix="$findings/$target-" -print_final_stats=1 "$corpus" >"$log" 2>&1; then
    echo "$target: FAILED (inputs in $findings)"; tail -40 "$log"; return 1
  fi
  local runs
  runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
  echo "$target: ${runs:-?} executions in ${seconds}s, no finding"
}

status=0
run_target FuzzLoadMap "$work/seeds-maps" || status=1
run_target FuzzSaveRoundTrip "$work/seeds-roundtrip" || status=1
run_target FuzzLumpText "$work/seeds-text" || status=1
run_target FuzzEntitySearch "$work/seeds-text" || status=1
run_target FuzzPatchRecipe "$work/seeds-recipe" || status=1
run_target FuzzValuePattern "$work/seeds-pattern" || status=1
exit $status
