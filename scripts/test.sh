#!/usr/bin/env bash
# Builds Lumpwright with its tests (the default preset) and runs every test,
# then the whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer
# (the asan preset), then builds the Windows programs (mingw64, mingw32),
# runs the Windows tests under Wine and packs the Windows zip, then runs each
# fuzz target for LUMPWRIGHT_FUZZ_SECONDS seconds (default 60). Exits non-zero
# when any step, any test or any fuzz run fails, or the tree is not formatted.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh

logs=build/test-logs
mkdir -p "$logs"

# Runs one ctest preset, keeping its report to count the tests that passed.
run_ctest() {
  local preset=$1
  ctest --preset "$preset" -j2 2>&1 | tee "$logs/ctest-$preset.log"
}

# The number of tests a ctest report says passed.
passed_in() {
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$logs/ctest-$1.log" | tail -1)
  [[ "$line" =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]] || { echo "test: no ctest summary for $1" >&2; exit 1; }
  echo $(( BASH_REMATCH[2] - BASH_REMATCH[1] ))
}

bash scripts/format.sh --check

cmake --preset default
cmake --build --preset default -j2
run_ctest default
bash scripts/check-package.sh build/default

# --- Sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer) -------
cmake --preset asan
cmake --build --preset asan -j2
run_ctest asan

# --- Windows programs (MinGW-w64); their tests under Wine -------------------
cmake --preset mingw64
cmake --build --preset mingw64 -j2
# Verbose, for the cases each program ran; the console gets the summary.
if ! bash scripts/wine-run.sh ctest --preset mingw64 -V >"$logs/ctest-mingw64.log" 2>&1; then
  grep -E 'FAILED|Failure|error' -A12 "$logs/ctest-mingw64.log" | tail -150
  echo "test: Windows tests failed under Wine (full report: $logs/ctest-mingw64.log)" >&2
  exit 1
fi
sed -n '/tests passed/,$p' "$logs/ctest-mingw64.log"
(cd build/mingw64 && cpack -G ZIP >"../../$logs/cpack-mingw64.log")
cmake --preset mingw32
cmake --build --preset mingw32 -j2

# --- Fuzz runs (libFuzzer, clang) ------------------------------------------
bash scripts/fuzz.sh "${LUMPWRIGHT_FUZZ_SECONDS:-60}"

passedDefault=$(passed_in default)
passedAsan=$(passed_in asan)
# Each Windows test program is one CTest entry: count the cases it ran.
passedWindows=$(grep -E '^[0-9]+: \[  PASSED  \] [0-9]+ test' "$logs/ctest-mingw64.log" | awk '{ sum += $5 } END { print sum + 0 }')
echo "tests: $(( passedDefault + passedAsan + passedWindows )) passed, 0 failed"
