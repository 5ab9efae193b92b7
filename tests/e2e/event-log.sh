#!/usr/bin/env bash
# shellcheck disable=SC2154  # the controls' identifiers: set by controls.sh from the program's tables
# Kiv.log and Kiv.INI's failures under Wine with the remote access simulator, as a Japanese user
# meets them (LANG ja_JP.UTF-8, code page 932): a failed dial is logged with the simulator's
# error code and text; a connection that ends is logged with its duration; a save of the options
# dialog that does not reach the disk keeps the dialog open with the reason and leaves the file
# as it was, for Kiv.INI read-only, held by another program (sharing nothing, or only reading),
# in a read-only folder and on a full disk, and a target picked in the tray says so; a Kiv.INI
# held while Kiv starts is waited for and keeps every key; kills of kiv.exe while it logs leave
# every earlier line whole; Kiv.log opened in Notepad ($BUILD/e2e/event-log/notepad.png).
#
# Wine has no Unix permissions for root, so what a normal user meets is made with what Wine and
# the kernel honour: the read-only attribute (attrib +r), a file held open by holdfile.exe, and a
# small tmpfs as Kiv's folder, remounted read-only or filled up, in a private mount namespace
# this test makes itself (unshare -m), where its X server and Wine session run too.
if [ -z "${KIV_E2E_IN_MOUNTNS:-}" ]; then
  export KIV_E2E_IN_MOUNTNS=1
  exec unshare -m --propagation private bash "$0" "$@"
fi
. "$(dirname "$0")/lib.sh"
# Wine reads the locale when its session starts.
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
start_session
new_run_dir
mount -t tmpfs -o size=12m kivrun "$RUN_DIR"
# The mount goes before the folder does; the wineserver, which holds files in it, first.
mount_cleanup() {
  "$KIV_WINESERVER" -k >/dev/null 2>&1 || true
  cd /
  umount -l "$RUN_DIR" 2>/dev/null || true
  e2e_cleanup
}
trap mount_cleanup EXIT
cp "$KIV_EXE" "$RUN_DIR/kiv.exe"
add_simulator
cd "$RUN_DIR"
SHOTS=$ARTIFACTS/event-log
mkdir -p "$SHOTS"
HOLDFILE=$BUILD/tests/win32/holdfile.exe

sjis() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }
# The log as text, for grep; nothing before Kiv has written it.
log_text() {
  [ -e Kiv.log ] || return 0
  iconv -f CP932 -t UTF-8 Kiv.log | tr -d '\r'
}
logged() { log_text | grep -F -- "$1" >/dev/null; }
status_text() { kivctl text | tr '\r' '|'; }
# take_msgbox: Kiv's message box is up; its text goes to MSGBOX (line breaks as "|"), and OK
# closes it.
MSGBOX=
take_msgbox() {
  local text
  text=$(kivctl msgbox) || return 1
  MSGBOX=$(printf '%s' "$text" | tr -d '\n' | tr '\r' '|')
}

# hold FILE none|read: holdfile.exe in the background, once it has the file; it lets the file go
# when let_go asks.
HOLD_PID=
hold() {
  rm -f hold.out hold.release
  "$KIV_WINE" "$HOLDFILE" "$@" hold.release >hold.out 2>&1 &
  HOLD_PID=$!
  wait_for 120 grep -q held hold.out || fail "holdfile did not get $1: $(cat hold.out)"
}
let_go() {
  touch hold.release
  wait_for 120 grep -q released hold.out || fail "holdfile did not let the file go: $(cat hold.out)"
  wait "$HOLD_PID" || fail "holdfile ended with a failure: $(cat hold.out)"
  rm -f hold.out hold.release
}

# save_refused WHAT REASON: OK in the options dialog (RedialInterval changed) is refused with
# REASON, the dialog stays open, Kiv.INI is as it was.
save_refused() {
  kivctl set TOptionForm "$idEdRedialInterval" 30 >/dev/null
  kivctl click TOptionForm "$idBtOk" >/dev/null
  wait_for 120 take_msgbox || fail "$1: no message box after OK"
  case "$MSGBOX" in
  *"設定をKiv.INIに保存できませんでした。"*"$2"*) ;;
  *) fail "$1: message [$MSGBOX]" ;;
  esac
  kivctl form TOptionForm >/dev/null || fail "$1: the options dialog closed"
  cmp -s Kiv.INI user.ini || fail "$1: Kiv.INI changed"
  pass "$1: OK is refused with the reason ($2), the dialog stays open, Kiv.INI is as it was"
}

# --- A failed dial, and the saves that do not reach the disk ------------------------------------
sjis $'[Option]\r\nTarget=大阪 ISDN\r\nRedial=0\r\nRedialInterval=9\r\nStatusLocate=4\r\n' >Kiv.INI
cp Kiv.INI user.ini
rassimctl reset >/dev/null
start_kiv
wait_for 120 shows '接続されていません' || fail "no welcome message: $(status_text)"
kivctl click 24 22 >/dev/null # the status icon: dial
wait_for 120 logged '[回線] 「大阪 ISDN」へのダイヤルに失敗しました。エラー 678: 接続先のコンピュータが応答しませんでした。' ||
  fail "no failed dial with its code in Kiv.log: $(log_text)"
wait_for 60 shows 'ダイヤルアップを開始することができます。|エラー 678: 接続先のコンピュータが応答しませんでした。' ||
  fail "the status window does not show the code: $(status_text)"
pass "a failed dial: Kiv.log and the status window's last line hold the simulator's error 678 and its text"

open_options_dialog
"$KIV_WINE" cmd /c attrib +r Kiv.INI
save_refused "Kiv.INI read-only" "ファイルが読み取り専用です"
[ "$(stat -c %a Kiv.INI)" = 444 ] || fail "the read-only flag is gone"
"$KIV_WINE" cmd /c attrib -r Kiv.INI

hold Kiv.INI none
save_refused "Kiv.INI held, sharing nothing" "ほかのプログラムがファイルを使用中です (エラー 32)"
let_go
hold Kiv.INI read
save_refused "Kiv.INI held, only reading" "ほかのプログラムがファイルを使用中です (エラー 32)"

# A target picked in the tray menu while the file is held: said in the status window.
kivctl click TOptionForm "$idBtCancel" >/dev/null
wait_for 60 form_gone TOptionForm || fail "the options dialog did not close"
open_tray_menu
menu_key t
wait_for 60 menus_open 2 || fail "no target submenu"
menu_key "$VK_RETURN"
wait_for 120 shows '設定をKiv.INIに保存できませんでした。' || fail "the tray's target: nothing said: $(status_text)"
cmp -s Kiv.INI user.ini || fail "the tray's target: Kiv.INI changed"
pass "a target picked in the tray while Kiv.INI is held: the status window says it was not saved"
let_go

open_options_dialog
# A read-only view of the folder over it: what is opened from now on cannot be written.
mount --bind "$RUN_DIR" "$RUN_DIR"
mount -o remount,bind,ro "$RUN_DIR"
save_refused "Kiv's folder read-only" "書き込みが許可されていません"
# Kiv.log is in the same folder: Kiv goes on without it, and says so.
wait_for 120 shows 'ログファイルに書き込めません。Kivは記録せずに動作を続けます。|' ||
  fail "the log's failure is not said: $(status_text)"
umount "$RUN_DIR"
pass "Kiv.log in the read-only folder: the status window says it cannot be written, and Kiv goes on"

# dd ends when the disk is full, which is what it is for.
dd if=/dev/zero of=filler bs=64k 2>/dev/null || true
save_refused "a full disk" "ディスクの空き容量が足りません (エラー 112)"
rm -f filler

# With nothing in the way, OK saves and closes; the log says which keys it stored.
kivctl set TOptionForm "$idEdRedialInterval" 30 >/dev/null
kivctl click TOptionForm "$idBtOk" >/dev/null
wait_for 60 form_gone TOptionForm || fail "OK did not close the dialog: $(kivctl msgbox)"
grep -a -q 'RedialInterval=30' Kiv.INI || fail "the save did not reach Kiv.INI"
wait_for 60 logged '[設定] Kiv.INIに保存しました（' || fail "the save is not in Kiv.log: $(log_text)"
# (The read-only folder's refusal could not be logged: the log is in it.)
for reason in ファイルが読み取り専用です 'ほかのプログラムがファイルを使用中です (エラー 32)' 'ディスクの空き容量が足りません (エラー 112)'; do
  logged "[設定] Kiv.INIに保存できませんでした: $reason" || fail "the refused save ($reason) is not in Kiv.log: $(log_text)"
done
pass "once the disk takes it, OK saves and closes the dialog; Kiv.log tells every save and every refusal"
stop_kiv
[ ! -e Kiv.INI.new ] && [ ! -e Kiv.INI.undo ] || fail "a temporary file is left: $(ls)"

# --- Held while Kiv starts, then let go; a connection's duration --------------------------------
# Kiv.log goes on from the first part: its lines up to here are in Notepad's screenshot.
sjis $'[Option]\r\nTarget=Office VPN\r\nRedial=1\r\nKeep=0\r\nRedialCount=7\r\nRedialInterval=9\r\nAutoConnectRun=1\r\nAutoEnd=1\r\nAutoEndHour=6\r\nAutoEndMinute=30\r\nAutoDisconnectEnd=0\r\nStatusLocate=3\r\nStatusAlphaCount=180\r\nKMSComputer=1\r\nKMSPasswordFlag=1\r\nKMSPassword=4A8D8B8D\r\n' >Kiv.INI
cp Kiv.INI user.ini
rassimctl reset >/dev/null
hold Kiv.INI none
start_kiv
wait_for 120 logged '[設定] Kiv.INIを読み込めません（ほかのプログラムがファイルを使用中です (エラー 32)）' ||
  fail "the wait is not in Kiv.log: $(log_text)"
wait_for 60 shows '設定ファイルを読み込めないため、Kivの起動を待っています。' || fail "the wait is not said: $(status_text)"
let_go
wait_for 120 logged '[設定] Kiv.INIを読み込みました（' || fail "Kiv.INI was not read after it was let go: $(log_text)"
wait_for 120 logged '[回線] 「Office VPN」へ接続しました。' || fail "the start-up dial did not connect: $(log_text)"

# While the line is up, the user changes the redial interval; every other key of the file stays.
open_options_dialog
kivctl set TOptionForm "$idEdRedialInterval" 30 >/dev/null
kivctl click TOptionForm "$idBtOk" >/dev/null
wait_for 60 form_gone TOptionForm || fail "OK did not close the dialog"
while IFS= read -r line; do
  line=${line%$'\r'}
  case "$line" in
  RedialInterval=*) grep -a -q $'^RedialInterval=30\r$' Kiv.INI || fail "RedialInterval not saved" ;;
  *) grep -a -q -x -F "$line"$'\r' Kiv.INI || fail "the user's line [$line] is gone: $(cat -v Kiv.INI)" ;;
  esac
done <user.ini
pass "Kiv.INI held while Kiv starts, then let go: Kiv waits for it, and a save keeps every key of the user's"

# The line drops: its duration is the time between the lines that tell its start and its end.
rassimctl drop "Office VPN" >/dev/null
ended_re='\[回線\] 「Office VPN」の回線が切れました（接続時間 [0-9]+:[0-9]{2}:[0-9]{2}）。'
dropped() { log_text | grep -E -- "$ended_re" >/dev/null; }
wait_for 120 dropped || fail "no drop with its duration: $(log_text)"
line_time() { date -d "$(log_text | grep -E -- "$1" | tail -n1 | cut -c1-19)" +%s; }
up=$(line_time '\[回線\] 「Office VPN」へ接続しました。')
down=$(line_time "$ended_re")
IFS=: read -r h m s <<<"$(log_text | grep -E -- "$ended_re" | grep -oE '[0-9]+:[0-9]{2}:[0-9]{2}）' | tr -d '）')"
duration=$((10#$h * 3600 + 10#$m * 60 + 10#$s))
spread=$((down - up - duration))
[ "$spread" -ge -1 ] && [ "$spread" -le 1 ] ||
  fail "the duration $duration s is not the $((down - up)) s between the lines: $(log_text)"
pass "a connection that drops is logged with its duration ($h:$m:$s, $((down - up)) s between its lines)"
stop_kiv

# --- Kills while Kiv logs -----------------------------------------------------------------------
mv Kiv.log day.log
sjis $'[Option]\r\nTarget=大阪 ISDN\r\nRedial=1\r\nRedialCount=999\r\nRedialInterval=1\r\nAutoConnectRun=1\r\n' >Kiv.INI
line_re='^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} \[[^]]+\] '
broken_lines() { log_text | grep -cvE "$line_re" || true; }
line_count() { log_text | wc -l; }
lines_at_least() { [ "$(line_count)" -ge "$1" ]; }
for round in 1 2 3; do
  rassimctl reset >/dev/null
  before=$(line_count)
  # wine becomes kiv.exe's process: the kill is the program's.
  "$KIV_WINE" kiv.exe >/dev/null 2>&1 &
  kiv=$!
  # A failed dial every second or two, each a few lines; the kill comes in the middle of them.
  wait_for 120 lines_at_least $((before + 8 + 3 * round)) || fail "Kiv logs too little: $(log_text | tail -n3)"
  kill -KILL "$kiv"
  wait "$kiv" 2>/dev/null || true
  [ "$(broken_lines)" = 0 ] || fail "round $round: broken lines: $(log_text | grep -vE "$line_re" | head -n3)"
done
killed=$(line_count)
start_kiv
wait_for 120 lines_at_least $((killed + 2)) || fail "the start after the kills logs nothing"
stop_kiv
[ "$(broken_lines)" = 0 ] || fail "broken lines after the restart: $(log_text | grep -vE "$line_re" | head -n3)"
[ "$(tail -c 2 Kiv.log | od -An -c | tr -d ' ')" = '\r\n' ] || fail "Kiv.log does not end with a whole line"
pass "three kills of kiv.exe while it logs ($killed lines): every earlier line is whole, and the next start's lines stand on their own"

# --- Kiv.log read as a person would ------------------------------------------------------------
# The log of the first parts (the failed dial, the refused saves, the wait at start, the drop
# with its duration) is the one to read.
mv Kiv.log killed.log
mv day.log Kiv.log
"$KIV_WINE" notepad Kiv.log >/dev/null 2>&1 &
E2E_PIDS+=($!)
wait_for 120 xdotool search --name 'Kiv.log' || fail "Notepad did not open Kiv.log"
# The whole screen for it, and its end in view: the drop with its duration is the last line.
xdotool search --name 'Kiv.log' windowmove 0 0 windowsize 1024 768 || fail "Notepad's window not resized"
xdotool key ctrl+End || fail "no key for Notepad"
steady_shot "$SHOTS/notepad.png"
pass "Kiv.log opened in Notepad: $SHOTS/notepad.png"
