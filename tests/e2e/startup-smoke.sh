#!/usr/bin/env bash
# Start-up and shutdown of kiv.exe under Wine: tray icon, single instance, clean exit, no
# settings file written by a start, and the start without the remote access service. One start
# logs in to KestrelMesh, which opens a socket: the test runs in a private network namespace.
. "$(dirname "$0")/lib.sh"
e2e_in_netns
start_session
new_run_dir
cd "$RUN_DIR"

# First copy: runs, adds its tray icon.
start_kiv
wait_for 60 tray_shown || fail "no tray icon"
pass "kiv.exe runs with its tray icon"
steady_shot "$ARTIFACTS/startup-tray.png"

# Second copy: ends at once with exit code 0, the first one runs on.
rc=0
timeout 120 "$KIV_WINE" kiv.exe || rc=$?
[ "$rc" = 0 ] || fail "second copy exit code $rc"
kivctl running || fail "first copy ended with the second"
pass "second copy ends at once with exit code 0"

# Closing the main window ends the program and removes the tray icon.
stop_kiv
[ "$(kiv_exit_code)" = 0 ] || fail "exit code $(kiv_exit_code)"
wait_for 60 tray_gone || fail "tray icon left behind"
pass "closing the main window ends the program and removes the tray icon"

[ ! -e "$RUN_DIR/Kiv.INI" ] || fail "a start created Kiv.INI"
pass "a start writes no Kiv.INI"

# A hand-edited file with values out of range and non-numbers: start-up completes, the
# program runs on, and the file is left as it was.
printf '[Option]\r\nAutoConnectRun=1\r\nAutoConnectRunTime=1\r\nAutoStart=1\r\nAutoEnd=1\r\nAutoStartHour=99\r\nAutoStartMinute=-5\r\nAutoEndHour=x\r\nStatusLocate=9\r\nStatusAlphaCount=0\r\nRedialInterval=0\r\nKMSLogin=1\r\nKMSPort=1\r\nKMSPortNo=80\r\nKMSComputerList=not hex\r\n' >"$RUN_DIR/Kiv.INI"
cp "$RUN_DIR/Kiv.INI" "$RUN_DIR/Kiv.INI.orig"
start_kiv
# The welcome message's fade in, lifetime and fade out: many ticks of the schedule and the fade.
wait_for 60 status_shown || fail "no welcome message with out-of-range settings"
wait_for 120 status_hidden || fail "the welcome message did not close by itself"
kivctl running || fail "ended with out-of-range settings"
stop_kiv
cmp -s "$RUN_DIR/Kiv.INI" "$RUN_DIR/Kiv.INI.orig" || fail "Kiv.INI changed"
rm -f "$RUN_DIR/Kiv.INI" "$RUN_DIR/Kiv.INI.orig"
pass "out-of-range and non-numeric settings: start-up completes and the program runs on"

# Without the remote access service: the message box, no tray icon, the end after OK.
launch_kiv WINEDLLOVERRIDES="$WINEDLLOVERRIDES;rasapi32=d"
text=""
end=$((SECONDS + 120))
until text=$(kivctl msgbox 2>/dev/null); do
  [ $SECONDS -lt $end ] || fail "no message box without the remote access service"
  sleep 0.3
done
expected=$'RAS（リモートアクセスサービス）が組み込まれていません。\rRASが組み込まれていない環境でKivを起動することはできません。'
got=${text%$'\r'}
[ "$got" = "$expected" ] || fail "message box text: [$got]"
wait_for 120 kiv_ended || fail "program did not end after OK"
[ "$(kiv_exit_code)" = 0 ] || fail "exit code $(kiv_exit_code)"
tray_shown && fail "tray icon added without the service"
pass "without the remote access service: message box with caption Kiv, no tray icon, exit after OK"
