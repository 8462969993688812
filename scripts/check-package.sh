#!/usr/bin/env bash
# Makes the .deb of a native build and checks it the way a user installs it:
# unpacked into a folder of its own, both programs are there and start, the
# desktop entry and the icons are where the desktop looks, and the package
# names the libraries the programs need.
#   scripts/check-package.sh build/default
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/default}
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/lumpwright_*.deb | head -1)

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

fail() {
  echo "package: $*" >&2
  exit 1
}

for file in usr/bin/lumpwright usr/bin/lumpwright-cli usr/share/applications/lumpwright.desktop \
  usr/share/icons/hicolor/48x48/apps/lumpwright.png usr/share/doc/lumpwright/LICENSE; do
  [[ -e "$root/$file" ]] || fail "$deb lacks /$file"
done
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libqscintilla2-qt6 qt6-qpa-plugins; do
  [[ "$depends" == *"$library"* ]] || fail "$deb does not depend on $library (Depends: $depends)"
done
"$root/usr/bin/lumpwright-cli" --version >/dev/null || fail "lumpwright-cli from the package does not start"
QT_QPA_PLATFORM=offscreen "$root/usr/bin/lumpwright" --version >/dev/null ||
  fail "lumpwright from the package does not start"
echo "package: $(basename "$deb") holds both programs, the desktop entry and the icons; Depends: $depends"
