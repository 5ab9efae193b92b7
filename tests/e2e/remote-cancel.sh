#!/usr/bin/env bash
# A cancel the dial-up service never confirms stays a cancel. kiv.exe under Wine, the rasapi32
# simulator and a native console, in one private network namespace. The line would connect
# only after 20 s, its hang-up is never released and the simulator says nothing of a cancelled
# dial (as the documented service does); Redial is on, 3 redials 2 s apart. A console connects,
# then disconnects 2 s later: after Kiv's wait for the release it is told the dial was
# cancelled, never that it failed, and no second dial appears in the simulator's call log
# within 90 s of the first.
# Argument: the Windows build tree.
. "$(dirname "$0")/lib.sh"
e2e_in_netns KMCONSOLE=tools/kmconsole/kmconsole

start_xvfb
new_run_dir
add_simulator
printf '[Line]\ndial = connect 20000\nhangup = never\ncancel = silent\n' >"$RUN_DIR/rassim.txt"
cd "$RUN_DIR"
OUT=$RUN_DIR/out
mkdir -p "$OUT"

dials() { rassimctl log | grep -c 'RasDialA .*entry="Line"' || true; }

printf '[Option]\r\nTarget=Line\r\nRedial=1\r\nRedialCount=3\r\nRedialInterval=2\r\nKMSLogin=1\r\n' >Kiv.INI
console watch WATCH --wait 200
start_kiv
kiv_logged_in watch

console dialler PCA --menu "$KIV_MACHINE" --answer '#1' --wait 150
wait_for 20 seen dialler "$(final '「Line」への接続処理を開始します。\r\n接続処理が完了次第、処理結果を通知します。')" ||
  { cat "$OUT/dialler"; fail "the remote dial did not start"; }
dialled_at=$SECONDS
[ "$(dials)" = 1 ] || fail "expected one RasDialA: $(rassimctl log)"
pass "the console's dial started"

sleep 2
console canceller PCA --menu "$KIV_MACHINE" --answer '#2' --wait 60
cancelled=$(final 'ユーザの指示により、「Line」への接続処理がキャンセルされました。')
failed=$(final '「Line」への接続に失敗しました。')
# Kiv waits up to 30 s for the hang-up's release before it ends the dial itself.
wait_for 50 seen dialler "$cancelled" || { cat "$OUT/dialler"; fail "the console was not told the dial was cancelled"; }
pass "the console is told the dial was cancelled"

while [ $((SECONDS - dialled_at)) -lt 90 ]; do
  [ "$(dials)" = 1 ] || fail "a second dial after the cancel: $(rassimctl log | grep RasDialA)"
  sleep 3
done
seen dialler "$failed" && fail "the console was told the dial failed"
seen canceller "$failed" && fail "the cancelling console was told the dial failed"
shows '失敗' && fail "a failure on screen: $(kivctl text)"
pass "no failure text and no redial within 90 s of the dial"

stop_kiv 60
pass "kiv.exe ends with the hang-up never released"
