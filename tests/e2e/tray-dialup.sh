#!/usr/bin/env bash
# Dial-up control from the tray under Wine with the rasapi32 simulator's demo phonebook: the
# connect command, the keep-alive redial after a drop made by the simulator's driver, the
# target switched through the menu and written to Kiv.INI, and a scheduled connect when the
# clock (moved by libfaketime, never the machine's) crosses the start time.
. "$(dirname "$0")/lib.sh"
start_xvfb
new_run_dir
SIM_DIR=$BUILD/tools/rassim
cp "$SIM_DIR/rasapi32.dll" "$SIM_DIR/rassimctl.exe" "$RUN_DIR/"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;rasapi32=n"
cd "$RUN_DIR"

rassimctl() { "$KIV_WINE" "$RUN_DIR/rassimctl.exe" "$@"; }
# Lines of the simulator's call log that dial the named entry.
dials() { rassimctl log | grep -c "RasDialA .*entry=\"$1\"" || true; }
sjis() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }
tray() { kivctl post 0x8001 1 "$1"; }
# Opens the tray menu and types keys into it, each once the menus it needs are open.
menu() {
  wait_for 20 bash -c "[ \"\$(\"$KIV_WINE\" \"$KIVCTL\" menus | tr -d '\r')\" = 0 ]" || fail "a menu is still open"
  tray 0x205
  wait_for 20 bash -c "[ \"\$(\"$KIV_WINE\" \"$KIVCTL\" menus | tr -d '\r')\" = 1 ]" || fail "the tray menu did not open"
  local key
  for key in "$@"; do
    xdotool key "$key"
    if [ "$key" = t ]; then
      wait_for 20 bash -c "[ \"\$(\"$KIV_WINE\" \"$KIVCTL\" menus | tr -d '\r')\" = 2 ]" || fail "no target submenu"
    fi
  done
}
status_text() { kivctl text | tr '\r' '|'; }
shows() { status_text | grep -q -F "$1"; }
start_kiv() {
  ( "$@" "$KIV_WINE" kiv.exe; echo $? >"$RUN_DIR/kiv.rc" ) &
  wait_for 60 kivctl running || fail "kiv.exe did not start"
}
stop_kiv() {
  kivctl close
  wait_for 30 test -f "$RUN_DIR/kiv.rc" || fail "kiv.exe did not end"
  rm -f "$RUN_DIR/kiv.rc"
}

printf '[Option]\r\nTarget=Office VPN\r\nKeep=1\r\nRedialInterval=2\r\n' >"$RUN_DIR/Kiv.INI"
rassimctl reset >/dev/null
start_kiv env

# With the welcome message gone, a double click shows the target's state.
wait_for 30 bash -c "\"$KIV_WINE\" \"$KIVCTL\" status | grep -q '^0 '" || fail "welcome message stayed"
tray 0x203
wait_for 10 shows '現在、「Office VPN」へは接続されていません。|アイコンクリックでダイヤルアップを開始することができます。' ||
  fail "double click: $(status_text)"
pass "a double click on the tray icon shows the target's state"

# Connect from the menu: the simulator dials and connects the target.
menu c
wait_for 20 bash -c "[ \$(\"$KIV_WINE\" \"$RUN_DIR/rassimctl.exe\" list | grep -c 'Office VPN.*state=8192') = 1 ]" ||
  fail "connect command did not connect"
[ "$(dials 'Office VPN')" = 1 ] || fail "expected one dial"
wait_for 30 shows '「Office VPN」へ接続しました。' || fail "no connected message: $(status_text)"
pass "connect command dials the target, the simulator connects it, the status window says so"

# The line drops: the keep-alive check schedules a redial, RedialInterval seconds later.
rassimctl drop "Office VPN" >/dev/null
wait_for 20 shows '「Office VPN」から切断されました。|2秒後にリダイヤルします。' || fail "no keep-alive message: $(status_text)"
wait_for 20 bash -c "[ \$(\"$KIV_WINE\" \"$RUN_DIR/rassimctl.exe\" log | grep -c 'RasDialA .*entry=\"Office VPN\"') = 2 ]" ||
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

# A scheduled connect. libfaketime re-reads the clock offset from a file: Kiv starts at a fake
# noon, then the clock jumps to three seconds before the start time 23:00 and crosses it.
"$KIV_WINESERVER" -k 2>/dev/null || true
rassimctl reset >/dev/null
"$KIV_WINESERVER" -k 2>/dev/null || true
printf '[Option]\r\nTarget=Office VPN\r\nAutoStart=1\r\nAutoStartHour=23\r\nAutoStartMinute=0\r\n' >"$RUN_DIR/Kiv.INI"
clock_file=$RUN_DIR/faketime.rc
offset_to() {  # seconds from the real time of day to the given one
  local now target
  now=$(date -u +%s)
  target=$(date -u -d "$(date -u +%F) $1" +%s)
  echo "$((target - now))"
}
echo "$(offset_to 12:00:00)s" | sed 's/^\([0-9]\)/+\1/' >"$clock_file"
# The preload matches the Wine loader's word size (the i686 tree runs on the 32-bit one).
if [ "$(kiv_build_arch "$BUILD")" = i686 ]; then
  faketime_lib=/usr/lib/i386-linux-gnu/faketime/libfaketimeMT.so.1
else
  faketime_lib=/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1
fi
start_kiv env LD_PRELOAD="$faketime_lib" \
  FAKETIME_TIMESTAMP_FILE="$clock_file" FAKETIME_NO_CACHE=1 FAKETIME_DONT_FAKE_MONOTONIC=1
sleep 3
[ "$(dials 'Office VPN')" = 0 ] || fail "dialled before the start time"
echo "$(offset_to 22:59:57)s" | sed 's/^\([0-9]\)/+\1/' >"$clock_file"
wait_for 40 bash -c "\"$KIV_WINE\" \"$RUN_DIR/rassimctl.exe\" log | grep -q 'RasDialA .*entry=\"Office VPN\"'" ||
  fail "no scheduled connect when the clock crossed the start time"
pass "scheduled connect fires when the clock crosses the start time"
stop_kiv
