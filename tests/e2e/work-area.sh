#!/usr/bin/env bash
# The status window keeps to its corner of the work area under Wine: in Wine's own desktop, with
# its taskbar along the bottom, the window sits above the taskbar; when the taskbar moves to the
# top it goes down to the screen's corner; when the display changes size it goes to the corner
# of the new screen, above the taskbar again. The driver runs in the same desktop.
. "$(dirname "$0")/lib.sh"
SHELLSIM=$BUILD/tools/shellsim/shellsim.exe
DESKTOP=kivwork
desk_ctl() { kivctl --desktop $DESKTOP "$@"; }
desk_shell() { "$KIV_WINE" "$SHELLSIM" --desktop $DESKTOP "$@"; }
desk_status() { desk_ctl status | tr -d '\r'; }
# at_corner BOTTOM: the window's right edge is 10 pixels from the screen's and its bottom edge at
# BOTTOM; the screen's width is what kivctl taskbar reports now.
at_corner() {
  local left top right bottom sw
  read -r _ left top right bottom _ <<<"$(desk_status)"
  sw=$(desk_ctl taskbar | tr -d '\r' | awk '{print $(NF-1)}')
  [ -n "$bottom" ] && [ "$right" = $((sw - 10)) ] && [ "$bottom" = "$1" ]
}
# taskbar_at EDGE: the taskbar lies along the top or the bottom of the screen; sets tt, tb, sh.
taskbar_at() {
  local tl tr sw
  read -r tl tt tr tb sw sh <<<"$(desk_ctl taskbar | tr -d '\r')"
  [ -n "$sh" ] && [ $((tr - tl)) -ge "$sw" ] || return 1
  if [ "$1" = top ]; then [ "$tt" -le 0 ]; else [ "$tb" = "$sh" ] && [ "$tt" -gt 0 ]; fi
}
start_session
new_run_dir
cd "$RUN_DIR"
printf '[Option]\r\nStatusLocate=4\r\n' >Kiv.INI

( timeout 600 "$KIV_WINE" explorer /desktop=$DESKTOP,1024x768 kiv.exe ) &
E2E_PIDS+=($!)
placed() { desk_status | grep -q '^[01] [1-9][0-9]* [1-9][0-9]* '; }
wait_for 240 placed || fail "no status window in Wine's desktop"
taskbar_at bottom || fail "no taskbar along the bottom: $(desk_ctl taskbar)"
wait_for 60 at_corner $((tt - 10)) || fail "not above the taskbar: $(desk_status), taskbar top $tt"
pass "bottom right, above the taskbar (top $tt): $(desk_status)"

# The taskbar moves to the top: the window goes down to the screen's corner.
desk_shell move-taskbar top || fail "the taskbar could not be moved"
taskbar_at top || fail "the taskbar did not move: $(desk_ctl taskbar)"
wait_for 60 at_corner $((sh - 10)) || fail "the window did not follow: $(desk_status), screen height $sh"
import -window root "$ARTIFACTS/work-area-taskbar-top.png" 2>/dev/null || true
pass "taskbar at the top: the window went to the screen's corner: $(desk_status)"

# The display becomes 800 x 600: the window goes to the new corner, above the taskbar the shell
# puts back along the bottom.
desk_shell display 800 600 || fail "the display mode could not be changed"
wait_for 60 taskbar_at bottom || fail "no taskbar along the bottom of the new screen: $(desk_ctl taskbar)"
[ "$sh" = 600 ] || fail "screen height $sh after the change"
wait_for 60 at_corner $((tt - 10)) || fail "not at the new corner: $(desk_status), taskbar top $tt"
import -window root "$ARTIFACTS/work-area-800x600.png" 2>/dev/null || true
pass "display 800 x 600: the window went to the new corner above the taskbar: $(desk_status)"
desk_ctl close || fail "could not close the main window in Wine's desktop"
