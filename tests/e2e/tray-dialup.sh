#!/usr/bin/env bash
# Dial-up control from the tray under Wine with the rasapi32 simulator's demo phonebook: the
# connect command, the keep-alive redial after a drop made by the simulator's driver, the
# target switched through the menu and written to Kiv.INI, and a scheduled connect when the
# clock (moved through its time zone, never the machine's) crosses the start time.
. "$(dirname "$0")/lib.sh"
start_xvfb
new_run_dir
add_simulator
cd "$RUN_DIR"

# Lines of the simulator's call log that dial the named entry.
dials() { rassimctl log | grep -c "RasDialA .*entry=\"$1\"" || true; }
dials_are() { [ "$(dials "$1")" = "$2" ]; }  # dials_are ENTRY N
# The simulator lists the entry as connected, once.
connected_once() { [ "$(rassimctl list | grep -c "$1.*state=8192")" = 1 ]; }
sjis() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }
menus_open() { output_is "$1" kivctl menus; }
# Opens the tray menu and types keys into it, each once the menus it needs are open.
menu() {
  wait_for 20 menus_open 0 || fail "a menu is still open"
  tray "$WM_RBUTTONUP"
  wait_for 20 menus_open 1 || fail "the tray menu did not open"
  local key
  for key in "$@"; do
    xdotool key "$key"
    if [ "$key" = t ]; then
      wait_for 20 menus_open 2 || fail "no target submenu"
    fi
  done
}
status_text() { kivctl text | tr '\r' '|'; }

printf '[Option]\r\nTarget=Office VPN\r\nKeep=1\r\nRedialInterval=2\r\n' >"$RUN_DIR/Kiv.INI"
rassimctl reset >/dev/null
start_kiv

# With the welcome message gone, a double click shows the target's state.
wait_for 30 output_has '^0 ' kivctl status || fail "welcome message stayed"
tray "$WM_LBUTTONDBLCLK"
wait_for 10 shows '現在、「Office VPN」へは接続されていません。|アイコンクリックでダイヤルアップを開始することができます。' ||
  fail "double click: $(status_text)"
pass "a double click on the tray icon shows the target's state"

# Connect from the menu: the simulator dials and connects the target.
menu c
wait_for 20 connected_once 'Office VPN' ||
  fail "connect command did not connect"
[ "$(dials 'Office VPN')" = 1 ] || fail "expected one dial"
wait_for 30 shows '「Office VPN」へ接続しました。' || fail "no connected message: $(status_text)"
pass "connect command dials the target, the simulator connects it, the status window says so"

# The line drops: the keep-alive check schedules a redial, RedialInterval seconds later.
rassimctl drop "Office VPN" >/dev/null
wait_for 20 shows '「Office VPN」から切断されました。|2秒後にリダイヤルします。' || fail "no keep-alive message: $(status_text)"
wait_for 20 dials_are 'Office VPN' 2 ||
  fail "no keep-alive redial after the drop"
pass "a dropped line kept by Kiv is redialled"

# Switch the target through the submenu: its first entry is the demo's first phonebook entry.
menu t Return
expected="Target=$(sjis 東京アクセスポイント)"
wait_for 10 grep -q -a -F "$expected" "$RUN_DIR/Kiv.INI" || fail "Target not rewritten: $(cat -v "$RUN_DIR/Kiv.INI")"
grep -q -a 'Keep=1' "$RUN_DIR/Kiv.INI" || fail "other keys lost"
pass "target switched through the menu is written to Kiv.INI"
import -window root "$ARTIFACTS/tray-menu.png" 2>/dev/null || true

menu d  # hang up the redialled line before the next part
stop_kiv

# A scheduled connect. Kiv's local time is moved through its time zone (Wine's ntdll takes TZ from
# the environment, in both word sizes), never the machine's clock: Kiv starts at 22:59 local time,
# with the seconds of the real clock, and the clock then crosses the start time 23:00 by itself.
"$KIV_WINESERVER" -k 2>/dev/null || true
rassimctl reset >/dev/null
"$KIV_WINESERVER" -k 2>/dev/null || true
printf '[Option]\r\nTarget=Office VPN\r\nAutoStart=1\r\nAutoStartHour=23\r\nAutoStartMinute=0\r\n' >"$RUN_DIR/Kiv.INI"
# At least 20 s before the crossing, so that the start-up is over before it.
while [ "$((10#$(date -u +%S)))" -gt 40 ]; do sleep 1; done
utc_minute=$((10#$(date -u +%H) * 60 + 10#$(date -u +%M)))
behind=$(( (utc_minute - (22 * 60 + 59) + 1440) % 1440 ))  # minutes local time is behind UTC
[ $behind -gt 720 ] && behind=$((behind - 1440))
if [ $behind -ge 0 ]; then tz=$(printf 'KIV+%d:%02d' $((behind / 60)) $((behind % 60)))
else tz=$(printf 'KIV-%d:%02d' $((-behind / 60)) $((-behind % 60))); fi
crossing=$(( $(date -u +%s) + 60 - 10#$(date -u +%S) ))
start_kiv TZ="$tz"
[ "$(date -u +%s)" -lt "$crossing" ] || fail "start-up outlasted the minute before the start time"
[ "$(dials 'Office VPN')" = 0 ] || fail "dialled before the start time"
wait_for 75 output_has 'RasDialA .*entry="Office VPN"' rassimctl log ||
  fail "no scheduled connect when the clock crossed the start time"
[ "$(date -u +%s)" -ge "$crossing" ] || fail "dialled before the start time"
pass "scheduled connect fires when the clock crosses the start time"
stop_kiv
