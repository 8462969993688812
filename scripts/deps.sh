#!/usr/bin/env bash
# Installs the Debian 12 packages that Lumpwright needs, but only those that
# are missing, so a prepared machine goes straight on.
#   scripts/deps.sh        what building and testing everything needs (CI)
#   scripts/deps.sh run    what building and running the programs needs
set -euo pipefail

# Building the programs (the command line and the Qt desktop program) and
# their .deb, whose dependencies dpkg-shlibdeps (dpkg-dev) works out and
# whose binaries CPack tells apart with `file`.
run_packages=(
  cmake
  ninja-build
  g++
  pkg-config
  qt6-base-dev
  qt6-qpa-plugins
  libqscintilla2-qt6-dev
  nlohmann-json3-dev
  fonts-dejavu-core
  dpkg-dev
  file
)

# Testing, benchmarks, fuzzing, formatting and packaging; the Windows
# programs, cross-compiled with MinGW-w64 against Debian's GoogleTest
# sources and run under Wine on a virtual display.
test_packages=(
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  clang
  libclang-rt-14-dev
  clang-format
  git
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

plain=("${run_packages[@]}")
with_recommends=()
if [[ "${1:-}" != "run" ]]; then
  plain+=("${test_packages[@]}")
  with_recommends+=("${wine_packages[@]}")
fi

is_missing() {
  local status
  status=$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null || true)
  [[ "$status" != "install ok installed" ]]
}

missing=()
for package in "${plain[@]}"; do
  if is_missing "$package"; then missing+=("$package"); fi
done
missing_wine=()
for package in "${with_recommends[@]}"; do
  if is_missing "$package"; then missing_wine+=("$package"); fi
done

if ((${#missing[@]} == 0 && ${#missing_wine[@]} == 0)); then
  echo "deps: all the packages needed are installed"
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
