#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing Lumpwright need,
# but only those that are missing, so a prepared machine goes straight on.
set -euo pipefail

packages=(
  cmake
  ninja-build
  g++
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  clang
  libclang-rt-14-dev
  pkg-config
  git
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  if [[ "$status" != "install ok installed" ]]; then
    missing+=("$package")
  fi
done

if ((${#missing[@]} == 0)); then
  echo "deps: all build and test packages are installed"
  exit 0
fi

sudo=()
if [[ "$(id -u)" -ne 0 ]]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "deps: missing packages (${missing[*]}) and no sudo to install them; run this as root" >&2
    exit 1
  fi
  sudo=(sudo)
fi

echo "deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
