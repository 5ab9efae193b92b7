#!/usr/bin/env bash
# shellcheck disable=SC2154  # the controls' identifiers: set by controls.sh from the program's tables
# Context help under Wine: F1 on the focused control of the options dialog, and of the
# authorised computers dialog, opens the help page beside kiv.exe in the web browser at that control's
# section; the tray menu's help opens it at the top. The browser is Wine's, which hands the
# URL to xdg-open: a stand-in for it records what it was given.
. "$(dirname "$0")/lib.sh"
start_session
new_run_dir
cp "$E2E_TOP/docs/help/Kiv.html" "$RUN_DIR/"
mkdir "$RUN_DIR/bin"
VIEWED=$RUN_DIR/viewed.txt
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s"\n' "$VIEWED" >"$RUN_DIR/bin/xdg-open"
chmod +x "$RUN_DIR/bin/xdg-open"
export PATH="$RUN_DIR/bin:$PATH"
cd "$RUN_DIR"

viewed() { [ -f "$VIEWED" ] && grep -q -- "$1" "$VIEWED"; }
# expect_page WHAT ANCHOR: the viewer was handed the help page beside kiv.exe at ANCHOR
expect_page() {
  wait_for 60 viewed "Kiv\\.html$2\$" || fail "$1: the viewer got [$(cat "$VIEWED" 2>/dev/null)], expected Kiv.html$2"
  # Wine's browser hands a file URL with a section on as a DOS path ("file://Z:\tmp\...").
  grep -- "Kiv\\.html$2\$" "$VIEWED" | grep -q "$(basename "$RUN_DIR")[/\\]Kiv\\.html" ||
    fail "$1: not the page beside kiv.exe: $(cat "$VIEWED")"
  pass "$1 opens $(grep -- "Kiv\\.html$2\$" "$VIEWED" | tail -n1)"
  rm -f "$VIEWED"
}

start_kiv

# The tray menu's help: the top of the page.
tray_menu_key h
expect_page "the tray menu's help" ""

# F1 as the user presses it, on the control that has the focus (its identifier is 1000 plus its
# help-context number).
focus_has_help() { [ "$(kivctl focus "$1" | tr -d '\r')" -gt 1000 ]; }
press_f1() {  # press_f1 CLASS: prints the focused control's help-context number
  local focus
  wait_for 60 focus_has_help "$1"
  focus=$(kivctl focus "$1" | tr -d '\r')
  [ -n "$focus" ] && [ "$focus" -gt 1000 ] || fail "$1: no control with help has the focus ($focus)"
  xdotool key F1
  echo $((focus - 1000))
}

# The options dialog: a refused apply puts the focus on the field it names (the redial count,
# help-context number 5); F1 there.
open_options_dialog
kivctl click TOptionForm "$idCbRedial"          # redial on: the count is checked
kivctl set TOptionForm "$idEdRedialCount" ""
kivctl click TOptionForm "$idBtUpdate"
wait_for 60 kivctl msgbox || fail "no message box for an empty redial count"
context=$(press_f1 TOptionForm)
expect_page "F1 in the options dialog on the control with help-context number $context" "#help-$context"

# The authorised computers dialog (modal, owned by the options dialog): F1 on its Add button.
kivctl set TOptionForm "$idEdRedialCount" 3
kivctl click TOptionForm "$idRbKMSLogin"  # log in to KestrelMesh: the computers button becomes usable
kivctl click TOptionForm "$idBtKMSComputerCount"
wait_for 60 kivctl form TOptionUserForm || fail "computers dialog did not open"
# A click into the list gives it the focus.
read -r _ x y <<<"$(kivctl rect TOptionUserForm | tr -d '\r' | tr 'x+' '  ' | awk '{print $1, $3, $4}')"
xdotool mousemove $((x + 100)) $((y + 150)) click 1
context=$(press_f1 TOptionUserForm)
expect_page "F1 in the computers dialog on the control with help-context number $context" "#help-$context"

kivctl click TOptionUserForm "$idUserBtCancel"
wait_for 60 form_gone TOptionUserForm || fail "computers dialog did not close"
kivctl click TOptionForm "$idBtCancel"
stop_kiv
