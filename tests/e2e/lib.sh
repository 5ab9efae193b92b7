# Shared helpers of the end-to-end tests: a private X server, a run folder with kiv.exe, the
# Wine prefix of the build tree, and waiting with a time limit.
set -euo pipefail
E2E_TOP=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
. "$E2E_TOP/scripts/wine-env.sh"

BUILD=${1:?usage: $0 WINDOWS_BUILD_DIR}
BUILD=$(cd "$BUILD" && pwd)
KIV_EXE=$BUILD/src/win32/kiv.exe
KIVCTL=$BUILD/tools/kivctl/kivctl.exe
ARTIFACTS=$BUILD/e2e
mkdir -p "$ARTIFACTS"

kiv_wine_prefix "$BUILD"

E2E_PIDS=()
e2e_cleanup() {
  "$KIV_WINESERVER" -k >/dev/null 2>&1 || true
  for pid in "${E2E_PIDS[@]}"; do kill "$pid" >/dev/null 2>&1 || true; done
  if [ -n "${RUN_DIR:-}" ]; then rm -rf "$RUN_DIR"; fi
}
trap e2e_cleanup EXIT

# A private X server for this test, whatever DISPLAY the caller has.
start_xvfb() {
  local fd_file
  fd_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
  E2E_PIDS+=($!)
  for _ in $(seq 50); do
    [ -s "$fd_file" ] && break
    sleep 0.1
  done
  export DISPLAY=":$(head -n1 "$fd_file")"
  rm -f "$fd_file"
}

# A fresh folder holding kiv.exe, as a user would install it.
# It lives in the build tree, so that a prefix copied into it can share the prefix's files.
new_run_dir() {
  mkdir -p "$BUILD/tmp"
  RUN_DIR=$(mktemp -d -p "$BUILD/tmp")
  cp "$KIV_EXE" "$RUN_DIR/kiv.exe"
}

# wait_for SECONDS COMMAND...: true once COMMAND succeeds, false after SECONDS.
wait_for() {
  local limit=$1
  shift
  local end=$((SECONDS + limit))
  while [ $SECONDS -lt $end ]; do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.3
  done
  return 1
}

kivctl() { "$KIV_WINE" "$KIVCTL" "$@"; }

tray_shown() { xwininfo -name "Wine System Tray" 2>/dev/null | grep -q 'IsViewable'; }

fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { echo "ok: $*"; }
