#!/usr/bin/env bash
# Builds Lumpwright with its tests (the default preset) and runs every test,
# then the whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer
# (the asan preset), then each fuzz target for LUMPWRIGHT_FUZZ_SECONDS seconds
# (default 60). Exits non-zero when any step, any test or any fuzz run fails.
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

cmake --preset default
cmake --build --preset default -j2
run_ctest default

# --- Sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer) -------
cmake --preset asan
cmake --build --preset asan -j2
run_ctest asan

# --- Fuzz runs (libFuzzer, clang) ------------------------------------------
bash scripts/fuzz.sh "${LUMPWRIGHT_FUZZ_SECONDS:-60}"

passedDefault=$(passed_in default)
passedAsan=$(passed_in asan)
echo "tests: $(( passedDefault + passedAsan )) passed, 0 failed"
