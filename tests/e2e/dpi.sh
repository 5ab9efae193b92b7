#!/usr/bin/env bash
# shellcheck disable=SC2154  # the controls' identifiers: set by controls.sh from the program's tables
# Kiv at 96, 144 and 192 dpi under Wine: the status window, the four pages of the options
# dialog, the authorised computers dialog and the about box, each laid out from its 96-dpi sizes
# scaled to the display's dpi. The test's Wine session starts afresh for each dpi, with the dpi
# in its registry (HKCU\Control Panel\Desktop, LogPixels: what Wine 8 reads). The screenshots
# go to $BUILD/e2e/dpi/DPI/ to be looked at; the sizes are checked here. KestrelMesh stays logged
# out (its page is only ticked, never applied), so no socket is opened.
. "$(dirname "$0")/lib.sh"
DPIS=${KIV_E2E_DPIS:-96 144 192}
start_session

# scaled VALUE DPI: VALUE at 96 dpi scaled to DPI, rounded half away from zero.
scaled() { echo $(( ($1 * $2 + 48) / 96 )); }

act() { kivctl "$@" || fail "kivctl $* ended with $?"; }
# shot CLASS NAME: the client area of the window of that class, once painted and still.
shot() {
  kivctl painted "$1" || fail "screenshot $2: no $1 to paint"
  steady_shot "$SHOTS/$2.png" "$(kivctl rect "$1" | tr -d '\r')"
}
# rows_in_place DPI: every control of the options dialog's table is at its 96-dpi rectangle
# scaled to DPI, edge by edge (a drop-down list's height is its closed height, not the table's).
rows_in_place() {
  local places id x y w h got want
  places=$(kivctl places TOptionForm | tr -d '\r')
  while read -r id x y w h; do
    got=$(awk -v id="$id" '$1 == id { if ($2 == "ComboBox") $6 = "-"; print $3, $4, $5, $6 }' <<<"$places")
    want="$(scaled "$x" "$1") $(scaled "$y" "$1") $(($(scaled $((x + w)) "$1") - $(scaled "$x" "$1")))"
    want="$want $(($(scaled $((y + h)) "$1") - $(scaled "$y" "$1")))"
    [ "$(awk '{print $4}' <<<"$got")" = - ] && want="${want% *} -"
    [ "$got" = "$want" ] || fail "control $id at $1 dpi: at [$got], expected [$want]"
  done < <(kiv_table_places "$KIV_SOURCES/core/OptionDialog.h")
}
# client_is CLASS W H: the window's client area measures W x H.
client_is() {
  local got
  got=$(kivctl rect "$1" | tr -d '\r')
  [ "${got%%+*}" = "$2x$3" ] || fail "$1 at $dpi dpi: client area ${got%%+*}, expected $2x$3"
}

for dpi in $DPIS; do
  SHOTS=$ARTIFACTS/dpi/$dpi
  rm -rf "$SHOTS"
  mkdir -p "$SHOTS"
  "$KIV_WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 \
    || fail "could not set $dpi dpi"
  restart_session
  new_run_dir
  cd "$RUN_DIR"
  add_simulator
  printf '[Alpha]\n[%s]\n' "$(printf 'ベータ' | iconv -f UTF-8 -t CP932)" >rassim.txt
  xdotool mousemove 0 0

  # The welcome message: three lines of text, the icon, its shape.
  start_kiv
  wait_for 60 output_has '^1 .* 200 [0-9a-f]*$' kivctl status || fail "no welcome message at $dpi dpi"
  read -r _ left top right bottom _ <<<"$(kivctl status | tr -d '\r')"
  kivctl painted TMainForm || fail "the status window was not painted at $dpi dpi"
  steady_shot "$SHOTS/status.png" "$((right - left))x$((bottom - top))+$left+$top"
  # Its size: the 96-dpi one scaled, within what the font's own rounding gives (a tenth).
  size=($((right - left)) $((bottom - top)))
  if [ -n "${status96:-}" ]; then
    for i in 0 1; do
      want=$(scaled "${status96[$i]}" "$dpi")
      [ $(( (size[i] - want) * 10 )) -le "$want" ] && [ $(( (want - size[i]) * 10 )) -le "$want" ] ||
        fail "status window ${size[*]} at $dpi dpi, ${status96[*]} at 96"
    done
  fi
  [ "$dpi" = 96 ] && status96=("${size[@]}")

  # The options dialog with every section ticked, so that no label is greyed.
  open_options_dialog
  act click TOptionForm "$idCbRedial"
  act click TOptionForm "$idCbAutoConnectRun"
  act click TOptionForm "$idCbAutoConnectTime"
  act click TOptionForm "$idCbAutoDisconnectTime"
  act click TOptionForm "$idRbKMSLogin"
  act click TOptionForm "$idCbKMSComputer"
  act click TOptionForm "$idCbKMSPassword"
  act click TOptionForm "$idCbKMSPort"
  page=1
  for name in dialup schedule status kestrelmesh; do
    act tab TOptionForm "$idPcOption" $((page - 1))
    shot TOptionForm "options-$page-$name"
    page=$((page + 1))
  done
  client_is TOptionForm "$(scaled 420 "$dpi")" "$(scaled 345 "$dpi")"
  rows_in_place "$dpi"

  act click TOptionForm "$idBtKMSComputerCount"
  wait_for 60 kivctl form TOptionUserForm || fail "authorised computers dialog did not open"
  act click TOptionUserForm "$idUserBtNew"
  wait_for 60 kivctl editlabel TOptionUserForm "$idLvUser" "pc-one" || fail "no caption editor"
  shot TOptionUserForm computers
  client_is TOptionUserForm "$(scaled 417 "$dpi")" "$(scaled 227 "$dpi")"
  act click TOptionUserForm "$idUserBtCancel"
  act click TOptionForm "$idBtCancel"
  wait_for 60 form_gone TOptionForm || fail "the options dialog did not close"

  tray_menu_key a
  wait_for 60 kivctl form TVersionForm || fail "about box did not open"
  shot TVersionForm about
  client_is TVersionForm "$(scaled 285 "$dpi")" "$(scaled 157 "$dpi")"
  act click TVersionForm "$idBtClose"

  stop_kiv
  pass "$dpi dpi: status window, options pages, computers dialog and about box in $SHOTS"
  cd "$BUILD"
  rm -rf "$RUN_DIR"
  RUN_DIR=
done
