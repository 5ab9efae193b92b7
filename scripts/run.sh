#!/usr/bin/env bash
# Runs Kiv under Wine: on the display when DISPLAY is set, else on an Xvfb started here.
# Kiv runs from build/run, a folder of its own like an installation: kiv.exe, its settings
# file Kiv.INI once written, and the remote access simulator with its demo phonebook.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/bootstrap.sh
. scripts/wine-env.sh
. scripts/run-build.sh
kiv_run_build

run=build/run
mkdir -p "$run"
cp "$RUN_BUILD/src/win32/kiv.exe" "$RUN_BUILD/src/win32/Kiv.html" "$RUN_BUILD/tools/rassim/rassimctl.exe" "$run/"
cp "$RUN_BUILD/tools/rassim/rasapi32.dll" "$run/"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;rasapi32=n"
# scripts/remote-demo.sh runs this inside a network namespace with a prefix of its own.
if [ -n "${KIV_KEEP_WINEPREFIX:-}" ]; then
  kiv_wine_for "$RUN_BUILD"
else
  kiv_wine_prefix "$RUN_BUILD"
fi

if [ -z "${DISPLAY:-}" ]; then
  fd_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null || true' EXIT
  for _ in $(seq 50); do [ -s "$fd_file" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -n1 "$fd_file")"
  rm -f "$fd_file"
  echo "Kiv runs on the virtual display $DISPLAY (no DISPLAY was set); Ctrl-C ends it."
fi

cd "$run"
exec "$KIV_WINE" kiv.exe
