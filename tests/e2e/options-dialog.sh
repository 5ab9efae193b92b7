#!/usr/bin/env bash
# The options dialog, the authorised computers dialog and the about box under Wine: opened
# from the tray menu, driven through their controls with window messages, checked through
# Kiv.INI byte for byte, message boxes and screenshots (kept in $BUILD/e2e). Logging in to
# KestrelMesh opens a socket, so the whole test runs in a private network namespace.
if [ -z "${KIV_OPTIONS_NETNS:-}" ]; then
  export KIV_OPTIONS_NETNS=1
  exec "$(dirname "$0")/../mesh/run-in-netns.sh" bash "$0" "$@"
fi
. "$(dirname "$0")/lib.sh"
new_run_dir
# A prefix of this test's own, so that its wineserver (and with it every socket) lives in the
# namespace.
kiv_wine_prefix_copy "$RUN_DIR/prefix"
start_xvfb
cd "$RUN_DIR"
cp "$BUILD/tools/rassim/rasapi32.dll" "$RUN_DIR/"
printf '[Alpha]\n[%s]\n' "$(printf 'ベータ' | iconv -f UTF-8 -t CP932)" >"$RUN_DIR/rassim.txt"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;rasapi32=n"
INI=$RUN_DIR/Kiv.INI
SHOTS=$ARTIFACTS/options
mkdir -p "$SHOTS"

# Japanese arguments reach kivctl as the characters they are under a UTF-8 locale.
ctl() { LC_ALL=C.UTF-8 "$KIV_WINE" "$KIVCTL" "$@"; }
expect_text() {  # expect_text CLASS ID TEXT
  local got
  got=$(ctl get "$1" "$2" | tr -d '\r')
  [ "$got" = "$3" ] || fail "$1 control $2 reads [$got], expected [$3]"
}
expect_state() {  # expect_state CLASS ID "CHECKED ENABLED"
  local got
  got=$(ctl state "$1" "$2" | tr -d '\r')
  [ "$got" = "$3" ] || fail "$1 control $2 state [$got], expected [$3]"
}
msgbox_text() {  # msgbox_text [BUTTON]: the text of the box once it is up, then the button
  local text
  for _ in $(seq 60); do
    if text=$(ctl msgbox "$@" 2>/dev/null); then printf '%s' "${text%$'\r'}"; return 0; fi
    sleep 0.3
  done
  return 1
}
shot() {  # shot CLASS NAME
  sleep 0.7
  import -window root -crop "$(ctl rect "$1" | tr -d '\r')" "$SHOTS/$2.png" 2>/dev/null || fail "screenshot $2"
}
form_count() { ctl form "$1" 2>/dev/null | tr -d '\r' | sed -n 2p; }
tray_menu_key() {  # opens the tray menu and chooses an item by its access key
  kivctl post 0x8001 1 0x205
  wait_for 10 ctl form '#32768' || fail "tray menu did not open"
  sleep 0.3
  xdotool key "$1"
}

( "$KIV_WINE" kiv.exe; echo $? >"$RUN_DIR/kiv.rc" ) &
wait_for 60 kivctl running || fail "main window did not appear"

# --- Options dialog: opened from the tray menu, once. ---
tray_menu_key o
wait_for 20 ctl form TOptionForm || fail "options dialog did not open"
[ "$(ctl form TOptionForm | tr -d '\r' | head -n1)" = "Kiv -オプション-" ] || fail "options caption"
[ "$(ctl owner TOptionForm | tr -d '\r')" = none ] || fail "options dialog has an owner window"
tray_menu_key o
sleep 1
[ "$(form_count TOptionForm)" = 1 ] || fail "a second options dialog"
pass "options dialog opens from the tray menu, without owner window, at most once"

# Filled from the defaults: the first entry is the target, Apply disabled, 21.6%.
expect_text TOptionForm 1002 "Alpha"
expect_text TOptionForm 1005 "3"
expect_text TOptionForm 1006 "5"
expect_text TOptionForm 2001 "21.6%"
expect_state TOptionForm 1026 "0 0"
expect_state TOptionForm 1005 "0 0"          # count disabled while cbRedial is clear
expect_state TOptionForm 1020 "0 0"          # KestrelMesh off: password field disabled
expect_state TOptionForm 1059 "0 0"
pass "controls filled from the settings, enabling rules applied, Apply disabled"

# --- A failing check: message box, focus page, nothing written. ---
ctl click TOptionForm 1003                    # cbRedial
wait_for 5 bash -c "[ \"\$(LC_ALL=C.UTF-8 '$KIV_WINE' '$KIVCTL' state TOptionForm 1005 | tr -d '\r')\" = '0 1' ]" \
  || fail "edRedialCount not enabled by cbRedial"
expect_state TOptionForm 1026 "0 1"
ctl set TOptionForm 1005 "0"
ctl tab TOptionForm 1100 3                    # away from the page of the field
ctl click TOptionForm 1026
wait_for 20 ctl form '#32770' || fail "no message box for a redial count of 0"
shot '#32770' check1-message                  # caption Kiv, exclamation icon
text=$(msgbox_text) || fail "no message box for a redial count of 0"
[ "$text" = "リダイヤル回数の設定は「1～999」の範囲で入力してください。" ] || fail "check 1 text [$text]"
expect_text TOptionForm 1100 "0"              # back on the dial-up page
focus_on() { [ "$(LC_ALL=C.UTF-8 "$KIV_WINE" "$KIVCTL" focus TOptionForm | tr -d '\r')" = "$1" ]; }
wait_for 5 focus_on 1005 || fail "focus on [$(ctl focus TOptionForm)], not on edRedialCount"
[ ! -e "$INI" ] || fail "a refused apply wrote Kiv.INI"
pass "refused apply: check 1's message box, its page and field, no file written"

# --- Every page changed through its controls. ---
ctl set TOptionForm 1005 "7"
ctl set TOptionForm 1006 "12"
ctl click TOptionForm 1004                    # cbKeep
ctl select TOptionForm 1002 1                 # ベータ
ctl tab TOptionForm 1100 0
shot TOptionForm page1-dialup

ctl tab TOptionForm 1100 1
ctl click TOptionForm 1009                    # cbAutoConnectTime
ctl set TOptionForm 1010 "6"
ctl set TOptionForm 1110 "30"
ctl click TOptionForm 1011                    # cbAutoDisconnectEnd
ctl click TOptionForm 1012                    # cbAutoDisconnectTime
ctl set TOptionForm 1023 "23"
ctl set TOptionForm 1123 "5"
sleep 0.5
expect_state TOptionForm 1008 "0 0"           # start-up window needs cbAutoConnectRun too
ctl click TOptionForm 1007
sleep 0.5
expect_state TOptionForm 1008 "0 1"
ctl click TOptionForm 1007
shot TOptionForm page2-schedule

ctl tab TOptionForm 1100 2
ctl select TOptionForm 1014 1                 # top left
ctl click TOptionForm 1015                    # close bar off
ctl trackbar TOptionForm 1017 128
expect_text TOptionForm 2001 "49.8%"
shot TOptionForm page3-status

ctl tab TOptionForm 1100 3
shot TOptionForm page4-kestrelmesh-off        # the section greyed while KestrelMesh is off
ctl click TOptionForm 1019                    # rbKMSLogin
ctl click TOptionForm 1056                    # cbKMSComputer
ctl click TOptionForm 1059                    # cbKMSPassword
ctl click TOptionForm 1021                    # cbKMSPort
sleep 0.5
expect_state TOptionForm 1058 "0 1"
ctl set TOptionForm 1020 "ひみつpw"
ctl set TOptionForm 1022 "52000"

# --- Authorised computers dialog. ---
ctl click TOptionForm 1058
wait_for 20 ctl form TOptionUserForm || fail "authorised computers dialog did not open"
[ "$(ctl owner TOptionUserForm | tr -d '\r')" = TOptionForm ] || fail "computers dialog not owned by the options dialog"
[ "$(ctl rows TOptionUserForm 1060 | tr -d '\r')" = "0 0" ] || fail "rows at start"
expect_state TOptionUserForm 1061 "0 0"
expect_state TOptionUserForm 1063 "0 0"
for name in pc-one PC-ONE host2 gone; do
  ctl click TOptionUserForm 1062
  wait_for 10 bash -c "LC_ALL=C.UTF-8 '$KIV_WINE' '$KIVCTL' editlabel TOptionUserForm 1060 '$name'" \
    || fail "no caption editor for a new row"
  sleep 0.3
done
ctl key TOptionUserForm 1060 0x23             # End: selects the last row
sleep 0.5
[ "$(ctl rows TOptionUserForm 1060 | tr -d '\r')" = "4 1" ] || fail "rows after adding: $(ctl rows TOptionUserForm 1060)"
expect_state TOptionUserForm 1061 "0 1"
expect_state TOptionUserForm 1063 "0 1"
shot TOptionUserForm computers
ctl click TOptionUserForm 1063
wait_for 20 ctl form '#32770' || fail "no delete confirmation"
shot '#32770' computers-delete                # question icon, Yes and No
text=$(msgbox_text 6) || fail "no delete confirmation"
[ "$text" = "選択しているコンピュータを削除します。よろしいですか？" ] || fail "delete question [$text]"
sleep 0.5
[ "$(ctl rows TOptionUserForm 1060 | tr -d '\r')" = "3 0" ] || fail "rows after deleting: $(ctl rows TOptionUserForm 1060)"
ctl click TOptionUserForm 1064
wait_for 10 bash -c "! LC_ALL=C.UTF-8 '$KIV_WINE' '$KIVCTL' form TOptionUserForm" || fail "computers dialog stayed open"
expect_text TOptionForm 1057 "2"
pass "computers dialog: modal, owned, New/Delete with confirmation, OK takes back 2 names"

# Cancel drops its changes.
ctl click TOptionForm 1058
wait_for 20 ctl form TOptionUserForm || fail "computers dialog did not reopen"
[ "$(ctl rows TOptionUserForm 1060 | tr -d '\r')" = "2 1" ] || fail "reopened rows: $(ctl rows TOptionUserForm 1060)"
ctl click TOptionUserForm 1062
wait_for 10 bash -c "LC_ALL=C.UTF-8 '$KIV_WINE' '$KIVCTL' editlabel TOptionUserForm 1060 extra" || fail "no editor"
ctl click TOptionUserForm 1065
wait_for 10 bash -c "! LC_ALL=C.UTF-8 '$KIV_WINE' '$KIVCTL' form TOptionUserForm" || fail "cancel did not close"
expect_text TOptionForm 1057 "2"
pass "computers dialog: Cancel leaves the list as it was"
shot TOptionForm page4-kestrelmesh

# --- Apply: the port notice, then the file, keys in save order. ---
ctl click TOptionForm 1026
wait_for 20 ctl form '#32770' || fail "no port notice"
shot '#32770' port-notice                     # information icon
text=$(msgbox_text) || fail "no port notice"
[ "$text" = "ポート番号の変更は、Kiv再起動後に有効になります。" ] || fail "port notice [$text]"
wait_for 10 test -s "$INI" || fail "apply wrote no Kiv.INI"
sleep 0.5
expect_state TOptionForm 1026 "0 0"

# The scrambled values, decoded, must be what was entered; the file otherwise byte for byte.
decode() { python3 -c '
import sys
def un(t):
    if len(t) <= 2: return b""
    off = int(t[:2], 16)
    return bytes((int(t[i:i+2], 16) - off) % 256 for i in range(2, len(t), 2))
sys.stdout.buffer.write(un(un(sys.argv[1]).decode("latin-1")))' "$1"; }
value_of() { tr -d '\r' <"$INI" | sed -n "s/^$1=//p"; }
[ "$(decode "$(value_of KMSComputerList)")" = 'pc-one\|host2\|' ] || fail "computer list decodes to [$(decode "$(value_of KMSComputerList)")]"
[ "$(decode "$(value_of KMSPassword)" | iconv -f CP932 -t UTF-8)" = "ひみつpw" ] || fail "password decodes wrongly"
expected=$(printf '[Option]\r\nTarget=%s\r\nRedial=1\r\nKeep=1\r\nRedialCount=7\r\nRedialInterval=12\r\nAutoConnectRun=0\r\nAutoConnectRunTime=0\r\nAutoStart=1\r\nAutoStartHour=6\r\nAutoStartMinute=30\r\nAutoDisconnectEnd=1\r\nAutoEnd=1\r\nAutoEndHour=23\r\nAutoEndMinute=5\r\nAutoDisconnectTimeReset=0\r\nStatusLocate=1\r\nStatusCloseBar=0\r\nStatusAlpha=1\r\nStatusAlphaCount=128\r\nKMSLogin=1\r\nKMSComputer=1\r\nKMSComputerList=%s\r\nKMSPasswordFlag=1\r\nKMSPassword=%s\r\nKMSPort=1\r\nKMSPortNo=52000\r\n' \
  "$(printf 'ベータ' | iconv -f UTF-8 -t CP932)" "$(value_of KMSComputerList)" "$(value_of KMSPassword)" | od -An -tx1)
[ "$expected" = "$(od -An -tx1 "$INI")" ] || { cat -A "$INI" >&2; fail "Kiv.INI differs"; }
pass "apply: port notice, Kiv.INI byte for byte in save order, scrambled keys decode to the input"

# --- A refused apply leaves the file as it was. ---
cp "$INI" "$RUN_DIR/Kiv.INI.before"
ctl set TOptionForm 1022 "80"
ctl click TOptionForm 1026
text=$(msgbox_text) || fail "no message box for port 80"
[ "$text" = "ポート番号は「1024～65535」の範囲で設定してください。" ] || fail "check 9 text [$text]"
expect_text TOptionForm 1100 "3"
wait_for 5 focus_on 1022 || fail "focus on [$(ctl focus TOptionForm)], not on edKMSPort"
sleep 0.5
cmp -s "$INI" "$RUN_DIR/Kiv.INI.before" || fail "a refused apply changed Kiv.INI"
pass "refused apply: check 9's message box, its page and field, Kiv.INI untouched"

# --- OK applies and closes; Enter acts as OK. ---
ctl set TOptionForm 1022 "52000"
ctl set TOptionForm 1006 "30"
ctl click TOptionForm 1024
wait_for 10 bash -c "! LC_ALL=C.UTF-8 '$KIV_WINE' '$KIVCTL' form TOptionForm" || fail "OK did not close the dialog"
[ "$(value_of RedialInterval)" = 30 ] || fail "OK did not apply"
tray_menu_key o
wait_for 20 ctl form TOptionForm || fail "options dialog did not reopen"
expect_text TOptionForm 1006 "30"
expect_text TOptionForm 1057 "2"
ctl set TOptionForm 1005 "8"
ctl key TOptionForm 1005 0x0D
wait_for 10 bash -c "! LC_ALL=C.UTF-8 '$KIV_WINE' '$KIVCTL' form TOptionForm" || fail "Enter did not close the dialog"
[ "$(value_of RedialCount)" = 8 ] || fail "Enter did not apply"
pass "OK and Enter apply and close"

# Cancel drops the changes.
cp "$INI" "$RUN_DIR/Kiv.INI.before"
tray_menu_key o
wait_for 20 ctl form TOptionForm || fail "options dialog did not reopen"
ctl set TOptionForm 1005 "9"
ctl click TOptionForm 1025
wait_for 10 bash -c "! LC_ALL=C.UTF-8 '$KIV_WINE' '$KIVCTL' form TOptionForm" || fail "Cancel did not close"
cmp -s "$INI" "$RUN_DIR/Kiv.INI.before" || fail "Cancel changed Kiv.INI"
pass "Cancel closes without writing"

# --- About box: once, from the tray menu. ---
tray_menu_key a
wait_for 20 ctl form TVersionForm || fail "about box did not open"
[ "$(ctl form TVersionForm | tr -d '\r' | head -n1)" = "Kiv -バージョン情報-" ] || fail "about caption"
[ "$(ctl owner TVersionForm | tr -d '\r')" = none ] || fail "about box has an owner window"
tray_menu_key a
sleep 1
[ "$(form_count TVersionForm)" = 1 ] || fail "a second about box"
shot TVersionForm about
# The mouse over the web address: underlined in red.
origin=$(ctl rect TVersionForm | tr -d '\r' | sed 's/^[0-9]*x[0-9]*+//')
xdotool mousemove $(( ${origin%+*} + 20 )) $(( ${origin#*+} + 102 ))
shot TVersionForm about-hover
xdotool mousemove 0 0
ctl click TVersionForm 3003
wait_for 10 bash -c "! LC_ALL=C.UTF-8 '$KIV_WINE' '$KIVCTL' form TVersionForm" || fail "OK did not close the about box"
pass "about box: from the tray menu, once, no owner window, closed by OK"

# --- Enter in the list view acts as OK; then the program ends while the computers dialog is
# up over the options dialog. ---
tray_menu_key o
wait_for 20 ctl form TOptionForm || fail "options dialog did not reopen"
ctl tab TOptionForm 1100 3
ctl click TOptionForm 1058
wait_for 20 ctl form TOptionUserForm || fail "computers dialog did not open"
ctl click TOptionUserForm 1062
wait_for 10 bash -c "LC_ALL=C.UTF-8 '$KIV_WINE' '$KIVCTL' editlabel TOptionUserForm 1060 'Pc-One'" || fail "no editor"
sleep 0.5
ctl form TOptionUserForm >/dev/null || fail "Enter that ends a caption edit closed the dialog"
ctl key TOptionUserForm 1060 0x0D
wait_for 10 bash -c "! LC_ALL=C.UTF-8 '$KIV_WINE' '$KIVCTL' form TOptionUserForm" || fail "Enter in the list did not close"
expect_text TOptionForm 1057 "2"              # Pc-One is a later spelling of pc-one
expect_state TOptionForm 1026 "0 1"
pass "computers dialog: Enter in the list acts as OK, a later spelling of a name is dropped"
ctl click TOptionForm 1058
wait_for 20 ctl form TOptionUserForm || fail "computers dialog did not open"
kivctl close
wait_for 30 test -f "$RUN_DIR/kiv.rc" || fail "program did not end"
[ "$(cat "$RUN_DIR/kiv.rc")" = 0 ] || fail "exit code $(cat "$RUN_DIR/kiv.rc") when ending with the dialogs open"
cmp -s "$INI" "$RUN_DIR/Kiv.INI.before" || fail "ending with the dialogs open changed Kiv.INI"
pass "ending the program with both dialogs open: clean exit, nothing written"
