# shellcheck shell=bash
# Shared helpers of the end-to-end tests: a private X server and Wine session, a run folder with
# kiv.exe and the remote access simulator, kiv.exe started and ended, its windows driven through
# kivctl, consoles in a private network namespace, and waiting for a condition with a time limit.
# Sourced with the test's arguments; the first is the Windows build tree.
#
# Each test has its own X server, its own copy of the tree's Wine prefix and its own wineserver,
# so that tests run side by side (kiv.exe allows one copy of itself per Wine session). Nothing
# waits for the clock: every wait is for a condition, with a generous bound, and says what it
# waited for when the bound passes.
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
E2E_PREFIX_DIR=
e2e_cleanup() {
  kivctl_stop
  # Only a session of this test's own: before start_session WINEPREFIX is the tree's, which the
  # test programs running beside it use.
  if [ -n "$E2E_PREFIX_DIR" ] || [ -n "${KIV_KEEP_WINEPREFIX:-}" ]; then
    "$KIV_WINESERVER" -k >/dev/null 2>&1 || true
  fi
  for pid in "${E2E_PIDS[@]}"; do kill "$pid" >/dev/null 2>&1 || true; done
  if [ -n "${RUN_DIR:-}" ]; then rm -rf "$RUN_DIR"; fi
  if [ -n "$E2E_PREFIX_DIR" ]; then rm -rf "$E2E_PREFIX_DIR"; fi
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

# start_xvfb [SCREEN]: only the private X server, for a script that runs a Wine session its own way.
E2E_SCREEN=()
start_xvfb() {
  E2E_SCREEN=("$@")
  kiv_xvfb "$@" || fail "no X server: $KIV_XVFB_ERROR"
  E2E_PIDS+=("$KIV_XVFB_PID")
}
# start_session [SCREEN]: a private X server for this test (SCREEN as Xvfb takes it, default
# 1024x768x24), whatever DISPLAY the caller has, and a Wine session of its own: a copy of the
# tree's prefix (unless a caller made one for this test, as tests/mesh/wine-netns.sh does) with
# its wineserver and services running until the test ends, and the driver kivctl answering.
start_session() {
  start_xvfb "$@"
  if [ -z "${KIV_KEEP_WINEPREFIX:-}" ]; then
    mkdir -p "$BUILD/tmp"
    E2E_PREFIX_DIR=$(mktemp -d -p "$BUILD/tmp")
    kiv_wine_prefix_copy "$E2E_PREFIX_DIR/prefix" || fail "no copy of the Wine prefix"
  fi
  kiv_wine_session
  kivctl_serve
}
# restart_session: the Wine session ended and started again on an X server of its own (Wine
# reads the locale when its session starts, and X keeps the focus of programs that have ended),
# with its driver.
restart_session() {
  kivctl_stop
  "$KIV_WINESERVER" -k >/dev/null 2>&1 || true
  "$KIV_WINESERVER" -w >/dev/null 2>&1 || true
  kill "$KIV_XVFB_PID" 2>/dev/null || true
  start_xvfb "${E2E_SCREEN[@]}"
  kiv_wine_session
  kivctl_serve
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
# call_log: the simulator's call log, read from its file (what "rassimctl log" prints).
call_log() { cat "$RUN_DIR/rassim.log" 2>/dev/null || true; }

# launch_kiv [VARIABLE=VALUE...]: kiv.exe of the current folder in the background, with those
# variables; its exit code goes to $KIV_RC once it ends, what it and Wine's errors print to
# $KIV_OUT (not kiv.log: Wine finds files whatever their case, and Kiv.log is Kiv's own log).
launch_kiv() {
  KIV_RC=$PWD/kiv.rc
  KIV_OUT=$PWD/kiv.out
  rm -f "$KIV_RC"
  ( env WINEDEBUG=-all,err+all "$@" "$KIV_WINE" kiv.exe >"$KIV_OUT" 2>&1; echo $? >"$KIV_RC" ) &
}
# start_kiv [VARIABLE=VALUE...]: launch_kiv, then its main window, or the reason there is none.
start_kiv() {
  launch_kiv "$@"
  local end=$((SECONDS + 240))
  until kivctl running >/dev/null 2>&1; do
    ! kiv_ended || fail "kiv.exe ended with exit code $(kiv_exit_code) before its main window appeared: $(cat "$KIV_OUT")"
    [ $SECONDS -lt $end ] || fail "kiv.exe did not start: no main window after 240 s in $PWD"
    sleep 0.3
  done
}
# stop_kiv [SECONDS]: closes the main window; kiv.exe ends within SECONDS (default 120).
# Once a kiv.exe has had its tray menu open, Wine lets no later kiv.exe of the same session open
# one (its focus stays with the ended program): the session starts afresh for the next.
stop_kiv() {
  kivctl close || fail "could not close the main window"
  wait_for "${1:-120}" kiv_ended || fail "kiv.exe did not end within ${1:-120} s of closing its main window"
  if [ -n "${E2E_MENU_OPENED:-}" ]; then
    E2E_MENU_OPENED=
    restart_session
  fi
}
kiv_ended() { [ -f "$KIV_RC" ]; }
kiv_exit_code() { cat "$KIV_RC"; }

# kivctl COMMAND [ARGS...]: one command of the driver (tools/kivctl), answered by the one driver
# process of the session ("kivctl serve"), so that a poll costs no Windows process start. Its
# output and exit code are the command's; 3 when the driver does not answer.
KIVCTL_PID=
# kivctl_serve [VARIABLE=VALUE...]: starts the driver, with those variables.
kivctl_serve() {
  local fifos
  kivctl_stop
  fifos=$(mktemp -d)
  mkfifo "$fifos/in" "$fifos/out"
  env "$@" "$KIV_WINE" "$KIVCTL" serve <"$fifos/in" >"$fifos/out" 2>/dev/null &
  KIVCTL_PID=$!
  exec {KIVCTL_TO}>"$fifos/in" {KIVCTL_FROM}<"$fifos/out"
  rm -rf "$fifos"
}
kivctl_stop() {
  [ -n "$KIVCTL_PID" ] || return 0
  exec {KIVCTL_TO}>&- {KIVCTL_FROM}<&-
  kill "$KIVCTL_PID" 2>/dev/null || true
  KIVCTL_PID=
}
kivctl() {
  local IFS=$'\t' line
  [ -n "$KIVCTL_PID" ] || { echo "kivctl: the driver is not running (start_session starts it)" >&2; return 3; }
  # The words go tab-separated on one line; written from a subshell, so that a driver that has
  # gone ends this command, not the test, with a broken pipe.
  ( printf '%s\n' "$*" >&"$KIVCTL_TO" ) 2>/dev/null || { echo "kivctl: the driver has ended" >&2; return 3; }
  # The first answer waits for the driver's start.
  while IFS= read -r -t 120 -u "$KIVCTL_FROM" line; do
    case $line in
    $'\x1f'*) return "${line#?}" ;;
    *) printf '%s\n' "$line" ;;
    esac
  done
  echo "kivctl: no answer from the driver to: $*" >&2
  return 3
}
# shows TEXT: the status window's text holds TEXT, its line breaks read as "|".
shows() { kivctl text | tr '\r' '|' | grep -F -- "$1" >/dev/null; }
form_gone() { ! kivctl form "$1"; }
tray_shown() { xwininfo -name "Wine System Tray" 2>/dev/null | grep 'IsViewable' >/dev/null; }
tray_gone() { ! tray_shown; }

# close_status_messages: every message of the status window closed by a click on its text.
status_shown() { output_has '^1 ' kivctl status; }
# status_still: the status window's state is the same twice, a moment apart.
status_still() {
  local before
  before=$(kivctl status)
  sleep 0.3
  [ "$(kivctl status)" = "$before" ]
}
status_hidden() { output_has '^0 ' kivctl status; }
close_status_messages() {
  local left top right bottom text end=$((SECONDS + 120))
  while status_shown; do
    [ $SECONDS -lt $end ] || fail "the status window's messages did not close on clicks"
    text=$(kivctl text)
    read -r _ left top right bottom _ <<<"$(kivctl status | tr -d '\r')"
    kivctl click $(((right - left) / 2)) $((bottom - top - 15)) || fail "click on the status window not sent"
    wait_for 60 message_left "$text" || fail "a click did not close the message: $text"
  done
}
message_left() { ! status_shown || [ "$(kivctl text)" != "$1" ]; }  # message_left TEXT

# tray MESSAGE: the tray icon's callback with a mouse message.
tray() { kivctl post "$kTrayCallbackMessage" 1 "$1"; }
menus_open() { output_is "$1" kivctl menus; }  # menus_open N: N popup menus are open
# open_tray_menu: the tray icon's menu, open. Keys for it go into kiv.exe's queue (menu_key), where
# the menu's loop takes them whenever it is ready.
# Under Wine a menu opened while a message of the status window appears or fades may close at
# once: it opens once the status window is still.
open_tray_menu() {
  wait_for 60 menus_open 0 || fail "a menu is still open: $(kivctl menus) menus"
  wait_for 60 status_still || fail "the status window did not come to rest: $(kivctl status)"
  E2E_MENU_OPENED=1
  tray "$WM_RBUTTONUP"
  wait_for 60 menus_open 1 || fail "the tray menu did not open"
}
# menu_key KEY: a key for the open menu: a letter (an item's access key), or a virtual-key code.
menu_key() { kivctl menukey "$1" || fail "no menu took the key $1"; }
# tray_menu_key KEY: the tray menu's item with that access key.
tray_menu_key() {
  open_tray_menu
  menu_key "$1"
}
# open_options_dialog: the options dialog through the tray menu.
open_options_dialog() {
  tray_menu_key o
  wait_for 60 kivctl form TOptionForm || fail "the options dialog did not open"
}
# steady_shot FILE [CROP]: a screenshot of the screen (or the part WxH+X+Y of it) once two in a
# row are the same, so that no drawing is caught half done.
steady_shot() {
  wait_for 60 shot_twice "$@" || fail "the screen did not settle for the screenshot $1"
  rm -f "$1.previous.png"
}
shot_twice() {  # shot_twice FILE [CROP]: two screenshots, the same
  local crop=()
  [ -z "${2:-}" ] || crop=(-crop "$2" +repage)
  import -window root "${crop[@]}" "$1.previous.png" && import -window root "${crop[@]}" "$1" &&
    [ "$(compare -metric AE "$1.previous.png" "$1" /dev/null 2>&1 || true)" = 0 ]
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
# shellcheck disable=SC2034  # KIV_IP: read by the tests
kiv_logged_in() {
  local tab=$'\t' line
  wait_for 120 grep -q "^LOGIN${tab}Kiv${tab}.*${tab}Kiv\$" "$OUT/$1" || fail "Kiv did not log in to KestrelMesh"
  line=$(grep "^LOGIN${tab}Kiv${tab}" "$OUT/$1" | head -n1)
  KIV_MACHINE=$(cut -f3 <<<"$line")
  KIV_IP=$(cut -f4 <<<"$line")
}
# final TEXT: the closing message Kiv sends a console, as the console prints it.
final() { printf 'INPUT_MESSAGE\t【Kiv KestrelMesh Message】\\r\\n\\r\\n%s\t%s\tKiv' "$1" "$KIV_MACHINE"; }
