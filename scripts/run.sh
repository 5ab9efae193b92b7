#!/usr/bin/env bash
# Runs Kiv under Wine: on the display when DISPLAY is set, else on an Xvfb started here.
# Kiv runs from build/run, a folder of its own like an installation: kiv.exe, its settings
# file Kiv.INI once written, and the remote access simulator with its demo phonebook.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/bootstrap.sh
. scripts/wine-env.sh
. scripts/xvfb.sh
. scripts/run-build.sh
kiv_run_build

run=build/run
mkdir -p "$run"
cp "$RUN_BUILD/src/win32/kiv.exe" "$RUN_BUILD/src/win32/Kiv.html" "$RUN_BUILD/tools/rassim/rassimctl.exe" "$run/"
cp "$RUN_BUILD/tools/rassim/rasapi32.dll" "$run/"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;rasapi32=n"
# scripts/remote-demo.sh runs this inside a network namespace with a prefix of its own.
kiv_wine_prefix_or_kept "$RUN_BUILD"

if [ -z "${DISPLAY:-}" ]; then
  kiv_xvfb 1280x800x24 || { echo "run: $KIV_XVFB_ERROR" >&2; exit 1; }
  trap 'kill $KIV_XVFB_PID 2>/dev/null || true' EXIT
  echo "Kiv runs on the virtual display $DISPLAY (no DISPLAY was set); Ctrl-C ends it."
fi

cd "$run"
exec "$KIV_WINE" kiv.exe
