#!/usr/bin/env bash
# Dial-up control from the tray under Wine with the rasapi32 simulator's demo phonebook: the
# connect command, the keep-alive redial after a drop made by the simulator's driver, the
# target switched through the menu and written to Kiv.INI, and a scheduled connect when the
# clock (moved through its time zone, never the machine's) crosses the start time.
# e2e-x86_64: Kiv's own records of the remote access service and of the tray icon, whose sizes and offsets change with the pointer size
. "$(dirname "$0")/lib.sh"
start_session
new_run_dir
add_simulator
cd "$RUN_DIR"

# Lines of the simulator's call log that dial the named entry.
dials() { call_log | grep -c "RasDialA .*entry=\"$1\"" || true; }
dials_are() { [ "$(dials "$1")" = "$2" ]; }  # dials_are ENTRY N
# The simulator lists the entry as connected, once.
connected_once() { [ "$(rassimctl list | grep -c "$1.*state=8192")" = 1 ]; }
sjis() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }
# Opens the tray menu and gives it keys, each once the menus it needs are open.
menu() {
  open_tray_menu
  local key
  for key in "$@"; do
    menu_key "$key"
    if [ "$key" = t ]; then
      wait_for 60 menus_open 2 || fail "no target submenu"
    fi
  done
}
status_text() { kivctl text | tr '\r' '|'; }

printf '[Option]\r\nTarget=Office VPN\r\nKeep=1\r\nRedialInterval=2\r\n' >"$RUN_DIR/Kiv.INI"
rassimctl reset >/dev/null
start_kiv

# With the welcome message clicked away, a double click shows the target's state.
close_status_messages
tray "$WM_LBUTTONDBLCLK"
wait_for 60 shows '現在、「Office VPN」へは接続されていません。|アイコンクリックでダイヤルアップを開始することができます。' ||
  fail "double click: $(status_text)"
pass "a double click on the tray icon shows the target's state"

# Connect from the menu: the simulator dials and connects the target.
menu c
wait_for 60 shows '「Office VPN」へ接続しました。' || fail "no connected message: $(status_text)"
connected_once 'Office VPN' || fail "the simulator does not list Office VPN connected once: $(rassimctl list)"
[ "$(dials 'Office VPN')" = 1 ] || fail "expected one dial"
pass "connect command dials the target, the simulator connects it, the status window says so"

# The line drops: the keep-alive check schedules a redial, RedialInterval seconds later.
rassimctl drop "Office VPN" >/dev/null
wait_for 60 shows '「Office VPN」から切断されました。|2秒後にリダイヤルします。' || fail "no keep-alive message: $(status_text)"
wait_for 60 dials_are 'Office VPN' 2 ||
  fail "no keep-alive redial after the drop"
pass "a dropped line kept by Kiv is redialled"

# Switch the target through the submenu: its first entry is the demo's first phonebook entry.
menu t "$VK_RETURN"
expected="Target=$(sjis 東京アクセスポイント)"
wait_for 60 grep -q -a -F "$expected" "$RUN_DIR/Kiv.INI" || fail "Target not rewritten: $(cat -v "$RUN_DIR/Kiv.INI")"
grep -q -a 'Keep=1' "$RUN_DIR/Kiv.INI" || fail "other keys lost"
pass "target switched through the menu is written to Kiv.INI"
steady_shot "$ARTIFACTS/tray-menu.png"

menu d  # hang up the redialled line before the next part
stop_kiv

# A scheduled connect. Kiv's local time is moved through its time zone (Wine's ntdll takes TZ
# from the environment, in both word sizes), never the machine's clock: Kiv starts LEAD seconds
# before the start time 23:00 by its clock, which then crosses the start time by itself. The
# driver, started with the same time zone, reads Kiv's clock. Start-up has to be over before the
# crossing (a start after the start time does not catch up), so a start that was not is tried
# again with more lead.
rassimctl reset >/dev/null
printf '[Option]\r\nTarget=Office VPN\r\nAutoStart=1\r\nAutoStartHour=23\r\nAutoStartMinute=0\r\n' >"$RUN_DIR/Kiv.INI"
start_time=$((23 * 3600))
# tz_at SECOND_OF_DAY: a time zone whose local time is that second of the day now.
tz_at() {
  local behind sign=+
  behind=$(( ($(date -u +%s) - $1) % 86400 ))  # seconds local time is behind UTC
  [ $behind -le 43200 ] || behind=$((behind - 86400))
  [ $behind -ge 0 ] || { sign=-; behind=$((-behind)); }
  printf 'KIV%s%d:%02d:%02d' $sign $((behind / 3600)) $((behind % 3600 / 60)) $((behind % 60))
}
# kiv_clock: Kiv's local time as a second of the day.
kiv_clock() {
  local h m s
  IFS=: read -r h m s <<<"$(kivctl localtime | tr -d '\r')"
  echo $((10#$h * 3600 + 10#$m * 60 + 10#$s))
}
for lead in 20 60 180 ''; do
  [ -n "$lead" ] || fail "start-up outlasted 180 s of lead before the start time"
  tz=$(tz_at $((start_time - lead)))
  kivctl_serve TZ="$tz"
  start_kiv TZ="$tz"
  # The tray icon comes after the schedule's first reading of the clock.
  wait_for 120 tray_shown || fail "no tray icon"
  [ "$(kiv_clock)" -ge "$start_time" ] || break
  echo "start-up ended after the start time by Kiv's clock ($(kivctl localtime | tr -d '\r')), with $lead s of lead"
  stop_kiv
  rassimctl reset >/dev/null
done
[ "$(dials 'Office VPN')" = 0 ] || fail "dialled before the start time"
# The dial, seen while Kiv's clock (read after it) is past the start time.
end=$((SECONDS + lead + 120))
until [ "$(dials 'Office VPN')" != 0 ]; do
  [ $SECONDS -lt $end ] || fail "no scheduled connect when the clock crossed the start time (Kiv's clock: $(kivctl localtime))"
  sleep 0.3
done
[ "$(kiv_clock)" -ge "$start_time" ] || fail "dialled before the start time, at $(kivctl localtime) by Kiv's clock"
pass "scheduled connect fires when the clock crosses the start time (Kiv started $lead s before it by its clock)"
stop_kiv
