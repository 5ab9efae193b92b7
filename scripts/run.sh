#!/usr/bin/env bash
# Runs Kiv under Wine: on the display when DISPLAY is set, else on an Xvfb started here.
# Kiv runs from build/run, a folder of its own like an installation: kiv.exe, its settings
# file Kiv.INI once written, and the remote access simulator with its demo phonebook.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
. scripts/wine-env.sh

bash scripts/bootstrap.sh
cmake -S . -B build/win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build build/win64 -j"$(nproc)"

run=build/run
mkdir -p "$run"
cp build/win64/src/win32/kiv.exe build/win64/src/win32/Kiv.html "$run/"
if [ -f build/win64/tools/rassim/rasapi32.dll ]; then
  cp build/win64/tools/rassim/rasapi32.dll "$run/"
  export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;rasapi32=n"
fi
# scripts/remote-demo.sh runs this inside a network namespace with a prefix of its own.
[ -n "${KIV_KEEP_WINEPREFIX:-}" ] || kiv_wine_prefix "$top/build/win64"

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
