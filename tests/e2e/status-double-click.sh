#!/usr/bin/env bash
# A double click on the status icon is one click. Without alpha blending the next message
# appears at once under the mouse (top left, where the icon stays put), so a second click would
# run that message's action: here it would cancel the dial the first click started.
. "$(dirname "$0")/lib.sh"
start_session
new_run_dir
add_simulator
cd "$RUN_DIR"

printf '[Option]\r\nTarget=Office VPN\r\nStatusLocate=1\r\nStatusAlpha=0\r\n' >"$RUN_DIR/Kiv.INI"
rassimctl reset >/dev/null
start_kiv
# The welcome message offers the connect action on its icon.
wait_for 60 shows 'ダイヤルアップを開始することができます' ||
  fail "no welcome message with the connect action"
read -r visible left top _ <<<"$(kivctl status | tr -d '\r')"
[ "$visible $left $top" = "1 10 10" ] || fail "welcome message not at the top left: $visible $left $top"

xdotool mousemove $((left + 24)) $((top + 24)) click --repeat 2 --delay 120 1
# The dial's outcome comes after what the second click could have done.
wait_for 60 shows '「Office VPN」へ接続しました。' || fail "the dial did not connect: $(kivctl text | tr '\r' '|')"
log=$(call_log)
[ "$(grep -c 'RasDialA' <<<"$log")" = 1 ] || fail "dials: $(grep -c 'RasDialA' <<<"$log")"
grep -q 'RasHangUpA' <<<"$log" && fail "the second click of the double click hung the dial up: $log"
shows 'キャンセルしました' && fail "the dial was cancelled"
pass "a double click on the icon started the dial once and did not cancel it"

stop_kiv
