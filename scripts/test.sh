#!/usr/bin/env bash
# Builds Lumpwright with its tests (the default preset) and runs every test.
# Exits non-zero when any step or any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh

cmake --preset default
cmake --build --preset default -j2
ctest --preset default -j2

# --- Sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer) -------
# To come: configure, build and test the asan preset here, e.g.
#   cmake --preset asan && cmake --build --preset asan -j2 && ctest --preset asan -j2

# --- Fuzz runs (libFuzzer, clang) ------------------------------------------
# To come: build the fuzz preset and run each target for a bounded time here, e.g.
#   cmake --preset fuzz && cmake --build --preset fuzz -j2 && <run each target with -max_total_time>

echo "test: all tests passed"
