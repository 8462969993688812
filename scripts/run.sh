#!/usr/bin/env bash
# Builds the programs (the release preset: no tests, no benchmarks) and opens
# the desktop program on the sample maps the build makes. Without a display it
# says so and runs lumpwright-cli on a sample map instead.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh run
cmake --preset release
cmake --build --preset release -j2 --target lumpwright lumpwright-cli lumpwright_sample_maps

bin="$PWD/build/release/bin"
samples="$PWD/build/release/samples"

if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  # A settings file of its own that names the sample folder, so that the
  # window opens on the samples and the user's own settings stay as they are.
  config="$PWD/build/release/try-settings"
  mkdir -p "$config/lumpwright"
  if [[ ! -f "$config/lumpwright/settings.ini" ]]; then
    printf '[Software\\Quellmoor\\Lumpwright\\Settings]\nInstallPath=%s/\n' "$samples" \
      >"$config/lumpwright/settings.ini"
  fi
  echo "Opening $bin/lumpwright on the sample maps in $samples"
  echo "(run it on your own maps with: $bin/lumpwright, or install it: see the README)"
  XDG_CONFIG_HOME="$config" exec "$bin/lumpwright"
fi

echo "No display here (neither DISPLAY nor WAYLAND_DISPLAY is set): the desktop program"
echo "needs one. Showing what lumpwright-cli does with a sample map instead."

# The smallest sample keeps the printed entity text short; any other will do.
map=""
for candidate in "$samples/as_tiny.bsp" "$samples"/*.bsp; do
  if [[ -f "$candidate" ]]; then
    map="$candidate"
    break
  fi
done
if [[ -z "$map" ]]; then
  echo "run: the build made no sample maps in $samples" >&2
  exit 1
fi

echo
echo "== lumpwright-cli info $map"
"$bin/lumpwright-cli" info "$map"
echo
echo "== lumpwright-cli show $map"
"$bin/lumpwright-cli" show "$map"
echo
echo "The programs are $bin/lumpwright and $bin/lumpwright-cli"
echo "Sample maps are in $samples"
echo "Install them with: cmake --install build/release --prefix ~/.local"
