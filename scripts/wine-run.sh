#!/usr/bin/env bash
# Runs a command with a fresh Wine prefix of its own, started once, on a
# virtual display: the Windows tests and the screenshots run through it.
#   scripts/wine-run.sh ctest --preset mingw64
set -euo pipefail
cd "$(dirname "$0")/.."

export WINEPREFIX="$PWD/build/wine-prefix"
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs: the programs need neither.
export WINEDLLOVERRIDES="mscoree=;mshtml="
rm -rf "$WINEPREFIX"

inner=$(mktemp)
trap 'rm -f "$inner"' EXIT
cat >"$inner" <<'INNER'
set -euo pipefail
wineboot -i >/dev/null 2>&1
# Windows that no window manager manages: with none on the virtual display,
# Wine would wait two seconds for one at every window that closes.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
status=0
"$@" || status=$?
wineserver -k >/dev/null 2>&1 || true
exit $status
INNER
xvfb-run -a -s "-screen 0 1280x1024x24" bash "$inner" "$@"
