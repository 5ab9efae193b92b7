#!/usr/bin/env bash
# shellcheck disable=SC2154  # the controls' identifiers: set by controls.sh from the program's tables
# The options dialog, the authorised computers dialog and the about box under Wine: opened
# from the tray menu, driven through their controls with window messages, checked through
# Kiv.INI byte for byte, message boxes and screenshots (kept in $BUILD/e2e). Logging in to
# KestrelMesh opens a socket, so the whole test runs in a private network namespace.
. "$(dirname "$0")/lib.sh"
e2e_in_netns
new_run_dir
start_session
cd "$RUN_DIR"
add_simulator
printf '[Alpha]\n[%s]\n' "$(printf 'ベータ' | iconv -f UTF-8 -t CP932)" >"$RUN_DIR/rassim.txt"
INI=$RUN_DIR/Kiv.INI
SHOTS=$ARTIFACTS/options
mkdir -p "$SHOTS"

# act COMMAND...: a control command that must succeed; a failure says which one.
act() { kivctl "$@" || fail "kivctl $* ended with $?"; }
expect_text() {  # expect_text CLASS ID TEXT
  local got
  got=$(kivctl get "$1" "$2" | tr -d '\r')
  [ "$got" = "$3" ] || fail "$1 control $2 reads [$got], expected [$3]"
}
expect_state() {  # expect_state CLASS ID "CHECKED ENABLED"
  local got
  got=$(kivctl state "$1" "$2" | tr -d '\r')
  [ "$got" = "$3" ] || fail "$1 control $2 state [$got], expected [$3]"
}
# expect_state_soon CLASS ID "CHECKED ENABLED": the control comes to that state (a click posted
# before has been handled).
expect_state_soon() {
  wait_for 60 output_is "$3" kivctl state "$1" "$2" ||
    fail "$1 control $2 state [$(kivctl state "$1" "$2" | tr -d '\r')], expected [$3]"
}
msgbox_text() {  # msgbox_text [BUTTON]: the text of the box once it is up, then the button
  local text end=$((SECONDS + 60))
  until text=$(kivctl msgbox "$@" 2>/dev/null); do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.3
  done
  printf '%s' "${text%$'\r'}"
}
shot() {  # shot CLASS NAME
  kivctl painted "$1" || fail "screenshot $2: no $1 to paint"
  steady_shot "$SHOTS/$2.png" "$(kivctl rect "$1" | tr -d '\r')"
}
# caption_edited CLASS ID TEXT: TEXT typed into the list view's new caption, and the edit ended.
caption_edited() {
  wait_for 60 kivctl editlabel "$1" "$2" "$3" || fail "no caption editor for a new row"
  wait_for 60 editor_closed "$1" "$2" || fail "the caption editor stayed open after Enter"
}
editor_closed() { ! kivctl editing "$1" "$2"; }
form_closed() { ! kivctl form "$1"; }
form_count() { kivctl form "$1" 2>/dev/null | tr -d '\r' | sed -n 2p; }
tray_menu_key() {  # opens the tray menu and chooses an item by its access key
  open_tray_menu
  xdotool key "$1"
}
# opens_once KEY CLASS CAPTION WHAT: the tray menu's KEY opens CLASS with CAPTION and no owner
# window; KEY again opens no second one.
opens_once() {
  tray_menu_key "$1"
  wait_for 60 kivctl form "$2" || fail "$4 did not open"
  [ "$(kivctl form "$2" | tr -d '\r' | head -n1)" = "$3" ] || fail "$4: caption"
  [ "$(kivctl owner "$2" | tr -d '\r')" = none ] || fail "$4 has an owner window"
  tray_menu_key "$1"
  # The menu opens again only once kiv.exe has handled what the key chose.
  open_tray_menu
  menu_key "$VK_ESCAPE"
  [ "$(form_count "$2")" = 1 ] || fail "a second $4"
}

start_kiv

# --- Options dialog: opened from the tray menu, once. ---
opens_once o TOptionForm "Kiv -オプション-" "options dialog"
pass "options dialog opens from the tray menu, without owner window, at most once"

# Filled from the defaults: the first entry is the target, Apply disabled, 21.6%.
expect_text TOptionForm "$idCbDialup" "Alpha"
expect_text TOptionForm "$idEdRedialCount" "3"
expect_text TOptionForm "$idEdRedialInterval" "5"
expect_text TOptionForm "$idLaStatusAlphaCount" "21.6%"
expect_state TOptionForm "$idBtUpdate" "0 0"
expect_state TOptionForm "$idEdRedialCount" "0 0"  # count disabled while cbRedial is clear
expect_state TOptionForm "$idEdKMSPasswordText" "0 0"  # KestrelMesh off: password field disabled
expect_state TOptionForm "$idCbKMSPassword" "0 0"
pass "controls filled from the settings, enabling rules applied, Apply disabled"

# --- A failing check: message box, focus page, nothing written. ---
act click TOptionForm "$idCbRedial"
wait_for 60 output_is '0 1' kivctl state TOptionForm "$idEdRedialCount" \
  || fail "edRedialCount not enabled by cbRedial"
expect_state TOptionForm "$idBtUpdate" "0 1"
act set TOptionForm "$idEdRedialCount" "0"
act tab TOptionForm "$idPcOption" 3  # away from the page of the field
act click TOptionForm "$idBtUpdate"
wait_for 60 kivctl form '#32770' || fail "no message box for a redial count of 0"
shot '#32770' check1-message                  # caption Kiv, exclamation icon
text=$(msgbox_text) || fail "no message box for a redial count of 0"
[ "$text" = "リダイヤル回数の設定は「1～999」の範囲で入力してください。" ] || fail "check 1 text [$text]"
expect_text TOptionForm "$idPcOption" "0"  # back on the dial-up page
focus_on() { output_is "$1" kivctl focus TOptionForm; }
wait_for 60 focus_on "$idEdRedialCount" || fail "focus on [$(kivctl focus TOptionForm)], not on edRedialCount"
[ ! -e "$INI" ] || fail "a refused apply wrote Kiv.INI"
pass "refused apply: check 1's message box, its page and field, no file written"

# --- Every page changed through its controls. ---
act set TOptionForm "$idEdRedialCount" "7"
act set TOptionForm "$idEdRedialInterval" "12"
act click TOptionForm "$idCbKeep"
act select TOptionForm "$idCbDialup" 1  # ベータ
act tab TOptionForm "$idPcOption" 0
shot TOptionForm page1-dialup

act tab TOptionForm "$idPcOption" 1
act click TOptionForm "$idCbAutoConnectTime"
act set TOptionForm "$idEdAutoConnectTimeHour" "6"
act set TOptionForm "$idEdAutoConnectTimeMinute" "30"
act click TOptionForm "$idCbAutoDisconnectEnd"
act click TOptionForm "$idCbAutoDisconnectTime"
act set TOptionForm "$idEdAutoDisconnectTimeHour" "23"
act set TOptionForm "$idEdAutoDisconnectTimeMinute" "5"
expect_state_soon TOptionForm "$idCbAutoDisconnectTime" "1 1"
expect_state TOptionForm "$idCbAutoConnectRunTime" "0 0"  # start-up window needs cbAutoConnectRun too
act click TOptionForm "$idCbAutoConnectRun"
expect_state_soon TOptionForm "$idCbAutoConnectRunTime" "0 1"
act click TOptionForm "$idCbAutoConnectRun"
expect_state_soon TOptionForm "$idCbAutoConnectRunTime" "0 0"
shot TOptionForm page2-schedule

act tab TOptionForm "$idPcOption" 2
act select TOptionForm "$idCbStatusLocate" 1  # top left
act click TOptionForm "$idCbStatusCloseBar"  # close bar off
act trackbar TOptionForm "$idTbStatusAlphaCount" 128
expect_text TOptionForm "$idLaStatusAlphaCount" "49.8%"
shot TOptionForm page3-status

act tab TOptionForm "$idPcOption" 3
shot TOptionForm page4-kestrelmesh-off        # the section greyed while KestrelMesh is off
act click TOptionForm "$idRbKMSLogin"
act click TOptionForm "$idCbKMSComputer"
act click TOptionForm "$idCbKMSPassword"
act click TOptionForm "$idCbKMSPort"
expect_state_soon TOptionForm "$idCbKMSPort" "1 1"
expect_state TOptionForm "$idBtKMSComputerCount" "0 1"
act set TOptionForm "$idEdKMSPasswordText" "ひみつpw"
act set TOptionForm "$idEdKMSPort" "52000"

# --- Authorised computers dialog. ---
act click TOptionForm "$idBtKMSComputerCount"
wait_for 60 kivctl form TOptionUserForm || fail "authorised computers dialog did not open"
[ "$(kivctl owner TOptionUserForm | tr -d '\r')" = TOptionForm ] || fail "computers dialog not owned by the options dialog"
[ "$(kivctl rows TOptionUserForm "$idLvUser" | tr -d '\r')" = "0 0" ] || fail "rows at start"
expect_state TOptionUserForm "$idUserBtEdit" "0 0"
expect_state TOptionUserForm "$idUserBtDelete" "0 0"
for name in pc-one PC-ONE host2 gone; do
  act click TOptionUserForm "$idUserBtNew"
  caption_edited TOptionUserForm "$idLvUser" "$name"
done
act key TOptionUserForm "$idLvUser" "$VK_END"  # End: selects the last row
wait_for 60 output_is "4 1" kivctl rows TOptionUserForm "$idLvUser" ||
  fail "rows after adding: $(kivctl rows TOptionUserForm "$idLvUser")"
expect_state TOptionUserForm "$idUserBtEdit" "0 1"
expect_state TOptionUserForm "$idUserBtDelete" "0 1"
shot TOptionUserForm computers
act click TOptionUserForm "$idUserBtDelete"
wait_for 60 kivctl form '#32770' || fail "no delete confirmation"
shot '#32770' computers-delete                # question icon, Yes and No
text=$(msgbox_text 6) || fail "no delete confirmation"
[ "$text" = "選択しているコンピュータを削除します。よろしいですか？" ] || fail "delete question [$text]"
wait_for 60 output_is "3 0" kivctl rows TOptionUserForm "$idLvUser" ||
  fail "rows after deleting: $(kivctl rows TOptionUserForm "$idLvUser")"
act click TOptionUserForm "$idUserBtOk"
wait_for 60 form_closed TOptionUserForm || fail "computers dialog stayed open"
expect_text TOptionForm "$idEdKMSComputerCount" "2"
pass "computers dialog: modal, owned, New/Delete with confirmation, OK takes back 2 names"

# Cancel drops its changes.
act click TOptionForm "$idBtKMSComputerCount"
wait_for 60 kivctl form TOptionUserForm || fail "computers dialog did not reopen"
[ "$(kivctl rows TOptionUserForm "$idLvUser" | tr -d '\r')" = "2 1" ] || fail "reopened rows: $(kivctl rows TOptionUserForm "$idLvUser")"
act click TOptionUserForm "$idUserBtNew"
wait_for 60 kivctl editlabel TOptionUserForm "$idLvUser" extra || fail "no editor"
act click TOptionUserForm "$idUserBtCancel"
wait_for 60 form_closed TOptionUserForm || fail "cancel did not close"
expect_text TOptionForm "$idEdKMSComputerCount" "2"
pass "computers dialog: Cancel leaves the list as it was"
shot TOptionForm page4-kestrelmesh

# --- Apply: the port notice, then the file, keys in save order. ---
act click TOptionForm "$idBtUpdate"
wait_for 60 kivctl form '#32770' || fail "no port notice"
shot '#32770' port-notice                     # information icon
text=$(msgbox_text) || fail "no port notice"
[ "$text" = "ポート番号の変更は、Kiv再起動後に有効になります。" ] || fail "port notice [$text]"
wait_for 60 test -s "$INI" || fail "apply wrote no Kiv.INI"
expect_state_soon TOptionForm "$idBtUpdate" "0 0"

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
expected=$(printf '[Option]\r\nTarget=%s\r\nRedial=1\r\nKeep=1\r\nRedialCount=7\r\nRedialInterval=12\r\nAutoConnectRun=0\r\nAutoConnectRunTime=0\r\nAutoStart=1\r\nAutoStartHour=6\r\nAutoStartMinute=30\r\nAutoDisconnectEnd=1\r\nAutoEnd=1\r\nAutoEndHour=23\r\nAutoEndMinute=5\r\nAutoDisconnectTimeReset=0\r\nStatusLocate=1\r\nStatusCloseBar=0\r\nStatusAlpha=1\r\nStatusAlphaCount=128\r\nKMSLogin=1\r\nKMSComputer=1\r\nKMSComputerList=%s\r\nKMSPasswordFlag=1\r\nKMSPassword=%s\r\nKMSPort=1\r\nKMSPortNo=52000\r\nWriteLog=1\r\n' \
  "$(printf 'ベータ' | iconv -f UTF-8 -t CP932)" "$(value_of KMSComputerList)" "$(value_of KMSPassword)" | od -An -tx1)
[ "$expected" = "$(od -An -tx1 "$INI")" ] || { cat -A "$INI" >&2; fail "Kiv.INI differs"; }
pass "apply: port notice, Kiv.INI byte for byte in save order, scrambled keys decode to the input"

# --- A refused apply leaves the file as it was. ---
cp "$INI" "$RUN_DIR/Kiv.INI.before"
act set TOptionForm "$idEdKMSPort" "80"
act click TOptionForm "$idBtUpdate"
text=$(msgbox_text) || fail "no message box for port 80"
[ "$text" = "ポート番号は「1024～65535」の範囲で設定してください。" ] || fail "check 9 text [$text]"
expect_text TOptionForm "$idPcOption" "3"
wait_for 60 focus_on "$idEdKMSPort" || fail "focus on [$(kivctl focus TOptionForm)], not on edKMSPort"
cmp -s "$INI" "$RUN_DIR/Kiv.INI.before" || fail "a refused apply changed Kiv.INI"
pass "refused apply: check 9's message box, its page and field, Kiv.INI untouched"

# --- OK applies and closes; Enter acts as OK. ---
act set TOptionForm "$idEdKMSPort" "52000"
act set TOptionForm "$idEdRedialInterval" "30"
act click TOptionForm "$idBtOk"
wait_for 60 form_closed TOptionForm || fail "OK did not close the dialog"
[ "$(value_of RedialInterval)" = 30 ] || fail "OK did not apply"
tray_menu_key o
wait_for 60 kivctl form TOptionForm || fail "options dialog did not reopen"
expect_text TOptionForm "$idEdRedialInterval" "30"
expect_text TOptionForm "$idEdKMSComputerCount" "2"
act set TOptionForm "$idEdRedialCount" "8"
act key TOptionForm "$idEdRedialCount" "$VK_RETURN"
wait_for 60 form_closed TOptionForm || fail "Enter did not close the dialog"
[ "$(value_of RedialCount)" = 8 ] || fail "Enter did not apply"
pass "OK and Enter apply and close"

# Cancel drops the changes.
cp "$INI" "$RUN_DIR/Kiv.INI.before"
tray_menu_key o
wait_for 60 kivctl form TOptionForm || fail "options dialog did not reopen"
act set TOptionForm "$idEdRedialCount" "9"
act click TOptionForm "$idBtCancel"
wait_for 60 form_closed TOptionForm || fail "Cancel did not close"
cmp -s "$INI" "$RUN_DIR/Kiv.INI.before" || fail "Cancel changed Kiv.INI"
pass "Cancel closes without writing"

# --- About box: once, from the tray menu. ---
opens_once a TVersionForm "Kiv -バージョン情報-" "about box"
shot TVersionForm about
# The mouse over the web address: underlined in red.
origin=$(kivctl rect TVersionForm | tr -d '\r' | sed 's/^[0-9]*x[0-9]*+//')
xdotool mousemove $(( ${origin%+*} + 20 )) $(( ${origin#*+} + 102 ))
shot TVersionForm about-hover
xdotool mousemove 0 0
act click TVersionForm "$idBtClose"
wait_for 60 form_closed TVersionForm || fail "OK did not close the about box"
pass "about box: from the tray menu, once, no owner window, closed by OK"

# --- Enter in the list view acts as OK; then the program ends while the computers dialog is
# up over the options dialog. ---
tray_menu_key o
wait_for 60 kivctl form TOptionForm || fail "options dialog did not reopen"
act tab TOptionForm "$idPcOption" 3
act click TOptionForm "$idBtKMSComputerCount"
wait_for 60 kivctl form TOptionUserForm || fail "computers dialog did not open"
act click TOptionUserForm "$idUserBtNew"
caption_edited TOptionUserForm "$idLvUser" 'Pc-One'
kivctl form TOptionUserForm >/dev/null || fail "Enter that ends a caption edit closed the dialog"
act key TOptionUserForm "$idLvUser" "$VK_RETURN"
wait_for 60 form_closed TOptionUserForm || fail "Enter in the list did not close"
expect_text TOptionForm "$idEdKMSComputerCount" "2"  # Pc-One is a later spelling of pc-one
expect_state TOptionForm "$idBtUpdate" "0 1"
pass "computers dialog: Enter in the list acts as OK, a later spelling of a name is dropped"
act click TOptionForm "$idBtKMSComputerCount"
wait_for 60 kivctl form TOptionUserForm || fail "computers dialog did not open"
stop_kiv
[ "$(kiv_exit_code)" = 0 ] || fail "exit code $(kiv_exit_code) when ending with the dialogs open"
cmp -s "$INI" "$RUN_DIR/Kiv.INI.before" || fail "ending with the dialogs open changed Kiv.INI"
pass "ending the program with both dialogs open: clean exit, nothing written"
