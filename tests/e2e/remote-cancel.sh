#!/usr/bin/env bash
# A cancel the dial-up service never confirms stays a cancel. kiv.exe under Wine, the rasapi32
# simulator and a native console, in one private network namespace. The line would connect
# only after 20 s, its hang-up is never released and the simulator says nothing of a cancelled
# dial (as the documented service does); Redial is on, 3 redials 2 s apart. A console connects,
# then disconnects while the dial runs: after Kiv's wait for the release it is told the dial was
# cancelled, never that it failed, and Kiv is left with no redial waiting: its state, asked
# through the tray icon, is not "waiting to redial", and the simulator saw one dial. That no
# redial follows later, in any time, is the unit tests' to show (DialupRoad, in virtual time).
# Argument: the Windows build tree.
. "$(dirname "$0")/lib.sh"
e2e_in_netns KMCONSOLE=tools/kmconsole/kmconsole

start_session
new_run_dir
add_simulator
printf '[Line]\ndial = connect 20000\nhangup = never\ncancel = silent\n' >"$RUN_DIR/rassim.txt"
cd "$RUN_DIR"
OUT=$RUN_DIR/out
mkdir -p "$OUT"

dials() { call_log | grep -c 'RasDialA .*entry="Line"' || true; }
dial_reported() { call_log | grep -q '^[0-9]* notify '; }

printf '[Option]\r\nTarget=Line\r\nRedial=1\r\nRedialCount=3\r\nRedialInterval=2\r\nKMSLogin=1\r\n' >Kiv.INI
console watch WATCH --wait 600
start_kiv
kiv_logged_in watch

console dialler PCA --menu "$KIV_MACHINE" --answer '#1' --wait 600
wait_for 60 seen dialler "$(final '「Line」への接続処理を開始します。\r\n接続処理が完了次第、処理結果を通知します。')" ||
  { cat "$OUT/dialler"; fail "the remote dial did not start"; }
[ "$(dials)" = 1 ] || fail "expected one RasDialA: $(call_log)"
pass "the console's dial started"

# Disconnect while the dial runs, once the service has reported a state of it.
wait_for 60 dial_reported || fail "the simulator reported no state of the dial: $(call_log)"
console canceller PCA --menu "$KIV_MACHINE" --answer '#2' --wait 600
cancelled=$(final 'ユーザの指示により、「Line」への接続処理がキャンセルされました。')
failed=$(final '「Line」への接続に失敗しました。')
# Kiv waits up to 30 s for the hang-up's release before it ends the dial itself.
wait_for 120 seen dialler "$cancelled" || { cat "$OUT/dialler"; fail "the console was not told the dial was cancelled"; }
pass "the console is told the dial was cancelled"

# The messages on screen clicked away, a double click on the tray icon shows the target's state.
close_status_messages
tray "$WM_LBUTTONDBLCLK"
wait_for 60 shows '現在、「Line」' || fail "no state of Line after a double click on the tray icon: $(kivctl text)"
shows 'リダイヤル待ち' && fail "a redial is waiting after the cancel: $(kivctl text)"
[ "$(dials)" = 1 ] || fail "a second dial after the cancel: $(call_log | grep RasDialA)"
seen dialler "$failed" && fail "the console was told the dial failed"
seen canceller "$failed" && fail "the cancelling console was told the dial failed"
pass "no failure told, no redial waiting, one dial: $(kivctl text | tr '\r' '|')"

stop_kiv
pass "kiv.exe ends with the hang-up never released"
