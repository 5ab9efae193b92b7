#!/usr/bin/env bash
# Kiv and the shell under Wine: of copies started at the same moment exactly one runs; its tray
# icon, lost when the shell restarts, is back with the same image and the same menu as soon as
# the new shell announces itself ("TaskbarCreated"); and a Kiv started while the shell takes no
# icons yet (at sign-in) has its icon once the shell takes it.
. "$(dirname "$0")/lib.sh"
SHELLSIM=$BUILD/tools/shellsim/shellsim.exe
shellsim() { "$KIV_WINE" "$SHELLSIM" "$@"; }
tray_window() { xwininfo -name "Wine System Tray" 2>/dev/null | awk '/Window id:/ {print $4}'; }
tray_picture() { import -window "$(tray_window)" "$1" 2>/dev/null; }
same_picture() { [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = 0 ]; }
start_session
new_run_dir
cd "$RUN_DIR"

# 1. Four copies started together: one runs, the others end at once with exit code 0.
for i in 1 2 3 4; do
  ( "$KIV_WINE" kiv.exe; echo $? >"copy$i.rc" ) &
done
ended_count() { local rcs=(copy*.rc); [ -e "${rcs[0]}" ] && echo ${#rcs[@]} || echo 0; }
ended() { [ "$(ended_count)" -ge "$1" ]; }
wait_for 240 kivctl running || fail "no copy runs"
wait_for 60 ended 3 || fail "only $(ended_count) of the other copies ended"
ended 4 && fail "every copy ended"
[ "$(cat copy*.rc | sort -u)" = 0 ] || fail "exit codes of the ended copies: $(cat copy*.rc)"
[ "$(kivctl form TMainForm | tr -d '\r' | tail -n1)" = 1 ] || fail "main windows: $(kivctl form TMainForm)"
for i in 1 2 3 4; do [ -f "copy$i.rc" ] || KIV_RC=$RUN_DIR/copy$i.rc; done
pass "four copies started together: one runs, three ended with exit code 0"

# 2. The shell restarts: the icon is gone, then "TaskbarCreated" brings it back as it was.
wait_for 20 tray_shown || fail "no tray icon"
tray_picture before.png || fail "no picture of the tray"
shellsim drop-icon || fail "the icon could not be removed"
wait_for 10 tray_gone || fail "the tray icon stayed"
shellsim taskbar-created
wait_for 10 tray_shown || fail "the tray icon did not come back after TaskbarCreated"
# as_before NAME: a picture of the tray, taken now, looks as it did before the restart.
as_before() { tray_picture "$1" && same_picture before.png "$1"; }
wait_for 10 as_before after.png || fail "the icon came back with another image"
cp after.png "$ARTIFACTS/tray-after-shell-restart.png"
# The icon carries its callback again: a right click on it opens Kiv's menu.
xdotool mousemove --window "$(tray_window)" 10 10 click 3
wait_for 10 kivctl form '#32768' || fail "a right click on the icon opened no menu"
xdotool key Escape
wait_for 10 output_is 0 kivctl menus || fail "the menu did not close"
# Announced again while the icon is still there: still one icon. The broadcast returns once
# every window has handled it.
shellsim taskbar-created
as_before again.png || fail "a second TaskbarCreated changed the tray"
pass "the shell's restart: icon back with the same image and menu; a repeated announcement adds no second icon"
stop_kiv
[ "$(kiv_exit_code)" = 0 ] || fail "exit code $(kiv_exit_code)"
wait_for 10 tray_gone || fail "tray icon left behind"

# 3. Started while the shell takes no icons: the icon comes once the shell takes it.
shellsim not-ready 10 >not-ready.out &
E2E_PIDS+=($!)
wait_for 30 grep -q ready not-ready.out || fail "no stand-in for a starting shell"
start_kiv
tray_gone || fail "a tray icon while the shell took none"
wait_for 30 grep -q '^refused' not-ready.out || fail "the stand-in did not end"
refused=$(sed -n 's/^refused \([0-9]*\).*/\1/p' not-ready.out)
[ "$refused" -ge 2 ] || fail "the starting shell was offered the icon $refused times"
wait_for 40 tray_shown || fail "no tray icon after the shell became ready"
pass "started before the shell was ready: refused $refused times, then the icon is there"
stop_kiv
[ "$(kiv_exit_code)" = 0 ] || fail "exit code $(kiv_exit_code)"
wait_for 10 tray_gone || fail "tray icon left behind"
