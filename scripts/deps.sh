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
  clang-format
  # The Windows programs: cross-compiled with MinGW-w64 against Debian's
  # GoogleTest sources, run under Wine on a virtual display.
  mingw-w64
  googletest
  xvfb
  xauth
)

# Installed with what they recommend (their fonts and libraries), as a
# desktop install of Wine has them. Only the 64-bit Wine: the 32-bit one
# needs the i386 architecture and breaks the wine command without it.
wine_packages=(
  wine64
  wine
  fonts-wine
)

is_missing() {
  local status
  status=$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null || true)
  [[ "$status" != "install ok installed" ]]
}

missing=()
for package in "${packages[@]}"; do
  if is_missing "$package"; then missing+=("$package"); fi
done
missing_wine=()
for package in "${wine_packages[@]}"; do
  if is_missing "$package"; then missing_wine+=("$package"); fi
done

if ((${#missing[@]} == 0 && ${#missing_wine[@]} == 0)); then
  echo "deps: all build and test packages are installed"
  exit 0
fi

sudo=()
if [[ "$(id -u)" -ne 0 ]]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "deps: missing packages (${missing[*]} ${missing_wine[*]}) and no sudo to install them; run this as root" >&2
    exit 1
  fi
  sudo=(sudo)
fi

echo "deps: installing ${missing[*]} ${missing_wine[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
if ((${#missing[@]} > 0)); then
  "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
if ((${#missing_wine[@]} > 0)); then
  "${sudo[@]}" apt-get install -y "${missing_wine[@]}"
fi
