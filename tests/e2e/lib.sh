# Shared helpers of the end-to-end tests: a private X server, a run folder with kiv.exe and the
# remote access simulator, the Wine prefix of the build tree, kiv.exe started and ended, its
# windows driven through kivctl, consoles in a private network namespace, and waiting with a
# time limit. Sourced with the test's arguments; the first is the Windows build tree.
set -euo pipefail
E2E_TOP=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
. "$E2E_TOP/scripts/wine-env.sh"
. "$E2E_TOP/scripts/xvfb.sh"
. "$E2E_TOP/tests/e2e/controls.sh"

E2E_ARGS=("$@")
BUILD=${1:?usage: $0 WINDOWS_BUILD_DIR}
BUILD=$(cd "$BUILD" && pwd)
KIV_EXE=$BUILD/src/win32/kiv.exe
KIVCTL=$BUILD/tools/kivctl/kivctl.exe
ARTIFACTS=$BUILD/e2e
mkdir -p "$ARTIFACTS"

kiv_wine_prefix_or_kept "$BUILD"

E2E_PIDS=()
e2e_cleanup() {
  "$KIV_WINESERVER" -k >/dev/null 2>&1 || true
  for pid in "${E2E_PIDS[@]}"; do kill "$pid" >/dev/null 2>&1 || true; done
  if [ -n "${RUN_DIR:-}" ]; then rm -rf "$RUN_DIR"; fi
}
trap e2e_cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { echo "ok: $*"; }

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

# output_is TEXT COMMAND...: COMMAND prints TEXT (carriage returns dropped).
output_is() {
  local text=$1
  shift
  [ "$("$@" | tr -d '\r')" = "$text" ]
}

# output_has REGEX COMMAND...: a line COMMAND prints matches REGEX (carriage returns dropped).
# grep reads to the end (no -q), so no part of the pipe fails on a closed pipe.
output_has() {
  local regex=$1
  shift
  "$@" | tr -d '\r' | grep -- "$regex" >/dev/null
}

# native_tool PATH: the program at PATH in the native build tree, built when it is missing.
native_tool() {
  local native=$E2E_TOP/build/native
  [ -x "$native/$1" ] || cmake --build "$native" --target "$(basename "$1")" >/dev/null
  echo "$native/$1"
}

# e2e_in_netns [NAME=PATH...]: runs this test again, with its arguments, inside a private
# network namespace with a Wine prefix of its own (tests/mesh/wine-netns.sh); there it returns,
# once it has made sure it is inside. Each NAME is exported as the native program at PATH
# (native_tool), built before the namespace is entered.
e2e_in_netns() {
  local tool path
  for tool in "$@"; do
    path=$(native_tool "${tool#*=}")
    export "${tool%%=*}=$path"
  done
  if [ -z "${KIV_E2E_IN_NETNS:-}" ]; then
    export KIV_E2E_IN_NETNS=1
    exec sh "$E2E_TOP/tests/mesh/wine-netns.sh" "$BUILD" bash "$0" "${E2E_ARGS[@]}"
  fi
  ip -o addr show lo | grep 'inet 127' >/dev/null || fail "not in the private namespace"
}

# A private X server for this test, whatever DISPLAY the caller has.
start_xvfb() {
  kiv_xvfb
  E2E_PIDS+=("$KIV_XVFB_PID")
}

# A fresh folder holding kiv.exe, as a user would install it.
# It lives in the build tree, so that a prefix copied into it can share the prefix's files.
new_run_dir() {
  mkdir -p "$BUILD/tmp"
  RUN_DIR=$(mktemp -d -p "$BUILD/tmp")
  cp "$KIV_EXE" "$RUN_DIR/kiv.exe"
}

# add_simulator: the remote access simulator and its driver beside kiv.exe in the run folder,
# preferred by Wine to its own rasapi32.
add_simulator() {
  cp "$BUILD/tools/rassim/rasapi32.dll" "$BUILD/tools/rassim/rassimctl.exe" "$RUN_DIR/"
  export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;rasapi32=n"
}
rassimctl() { "$KIV_WINE" "$RUN_DIR/rassimctl.exe" "$@"; }

# launch_kiv [VARIABLE=VALUE...]: kiv.exe of the current folder in the background, with those
# variables; its exit code goes to $KIV_RC once it ends.
launch_kiv() {
  KIV_RC=$PWD/kiv.rc
  rm -f "$KIV_RC"
  ( env "$@" "$KIV_WINE" kiv.exe; echo $? >"$KIV_RC" ) &
}
# start_kiv [VARIABLE=VALUE...]: launch_kiv, then its main window.
start_kiv() {
  launch_kiv "$@"
  wait_for 60 kivctl running || fail "kiv.exe did not start: no main window in $PWD"
}
# stop_kiv [SECONDS]: closes the main window; kiv.exe ends within SECONDS (default 30).
stop_kiv() {
  kivctl close || fail "could not close the main window"
  wait_for "${1:-30}" kiv_ended || fail "kiv.exe did not end"
}
kiv_ended() { [ -f "$KIV_RC" ]; }
kiv_exit_code() { cat "$KIV_RC"; }

kivctl() { "$KIV_WINE" "$KIVCTL" "$@"; }
# shows TEXT: the status window's text holds TEXT, its line breaks read as "|".
shows() { kivctl text | tr '\r' '|' | grep -F -- "$1" >/dev/null; }
form_gone() { ! kivctl form "$1"; }
tray_shown() { xwininfo -name "Wine System Tray" 2>/dev/null | grep 'IsViewable' >/dev/null; }
tray_gone() { ! tray_shown; }

# tray MESSAGE: the tray icon's callback with a mouse message.
tray() { kivctl post "$kTrayCallbackMessage" 1 "$1"; }
# open_tray_menu: the tray icon's menu, open and ready for its access keys.
open_tray_menu() {
  tray "$WM_RBUTTONUP"
  wait_for 10 kivctl form '#32768' || fail "tray menu did not open"
  sleep 0.3
}
# open_options_dialog: the options dialog through the tray menu; a menu that opened too early to
# take the key is closed and opened again.
open_options_dialog() {
  for _ in 1 2 3; do
    tray "$WM_RBUTTONUP"
    if wait_for 10 kivctl form '#32768'; then
      sleep 0.3
      xdotool key o
      wait_for 10 kivctl form TOptionForm && return 0
    fi
    xdotool key Escape
  done
  fail "options dialog did not open"
}

# Consoles (KMCONSOLE) on the private network, their lines in $OUT/NAME.
# console NAME MACHINE ARGS...: a console in the background.
console() {
  local name=$1 machine=$2
  shift 2
  "$KMCONSOLE" --script --address 127.0.0.1 --machine "$machine" --handle "$name" "$@" >"$OUT/$name" 2>&1 &
  E2E_PIDS+=($!)
}
# seen CONSOLE LINE: the console printed LINE.
seen() { grep -qxF -- "$2" "$OUT/$1"; }
# kiv_logged_in CONSOLE: waits for Kiv's LOGIN at the console; sets KIV_MACHINE and KIV_IP.
kiv_logged_in() {
  local tab=$'\t' line
  wait_for 30 grep -q "^LOGIN${tab}Kiv${tab}.*${tab}Kiv\$" "$OUT/$1" || fail "Kiv did not log in to KestrelMesh"
  line=$(grep "^LOGIN${tab}Kiv${tab}" "$OUT/$1" | head -n1)
  KIV_MACHINE=$(cut -f3 <<<"$line")
  KIV_IP=$(cut -f4 <<<"$line")
}
# final TEXT: the closing message Kiv sends a console, as the console prints it.
final() { printf 'INPUT_MESSAGE\t【Kiv KestrelMesh Message】\\r\\n\\r\\n%s\t%s\tKiv' "$1" "$KIV_MACHINE"; }
