#!/usr/bin/env bash
# Builds Lumpwright (the default preset) and runs lumpwright-cli on one of the
# sample maps the build makes.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
cmake --preset default
cmake --build --preset default -j2

cli="$PWD/build/default/bin/lumpwright-cli"
samples="$PWD/build/default/samples"

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
"$cli" info "$map"
echo
echo "== lumpwright-cli show $map"
"$cli" show "$map"
echo
echo "The program is $cli"
echo "Sample maps are in $samples"
echo "Install it with: cmake --install build/default --prefix ~/.local"
