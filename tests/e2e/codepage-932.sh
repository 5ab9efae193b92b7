#!/usr/bin/env bash
# shellcheck disable=SC2154  # the controls' identifiers: set by controls.sh from the program's tables
# The same session on a Western system (code page 1252) and on a Japanese one (932, Wine under
# a ja_JP.UTF-8 locale): the status window looks the same pixel for pixel, and a save from the
# options dialog writes the same Kiv.INI bytes. Screenshots are kept in $BUILD/e2e/codepage.
. "$(dirname "$0")/lib.sh"
locale -a 2>/dev/null | grep -i '^ja_JP.utf-\?8$' >/dev/null || fail "no ja_JP.UTF-8 locale (package locales, locale-gen)"
start_session
SHOTS=$ARTIFACTS/codepage
mkdir -p "$SHOTS"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;rasapi32=n"  # the simulator beside kiv.exe
sjis() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }

# run_once LABEL LOCALE: one session from a fresh folder; leaves $SHOTS/LABEL.png and
# $SHOTS/LABEL.ini.
run_once() {
  local label=$1 loc=$2 dir
  dir=$(mktemp -d)
  E2E_DIRS+=("$dir")
  cp "$KIV_EXE" "$BUILD/tools/rassim/rasapi32.dll" "$dir/"
  printf '[Alpha]\n[%s]\n' "$(sjis 'ベータ')" >"$dir/rassim.txt"
  printf '[Option]\r\nTarget=%s\r\nStatusLocate=1\r\nStatusAlpha=0\r\nStatusCloseBar=0\r\n' "$(sjis 'ベータ')" >"$dir/Kiv.INI"
  export LANG=$loc LC_ALL=$loc
  restart_session
  local acp
  acp=$("$KIV_WINE" reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' /v ACP 2>/dev/null | tr -d '\r' | awk '/ACP/ {print $NF}')
  echo "$label: Wine's code page $acp"
  [ "$acp" = "$label" ] || fail "$label run: Wine's code page is $acp"
  cd "$dir"
  start_kiv
  wait_for 60 shows 'ベータ' || fail "$label: no welcome naming the target"
  local left top right bottom
  read -r _ left top right bottom _ <<<"$(kivctl status | tr -d '\r')"
  kivctl painted TMainForm || fail "$label: the status window was not painted"
  steady_shot "$SHOTS/$label.png" "$((right - left))x$((bottom - top))+$left+$top"

  open_options_dialog
  [ "$(kivctl get TOptionForm "$idCbDialup" | tr -d '\r')" = "ベータ" ] ||
    fail "$label: the dialog does not show the target"
  kivctl set TOptionForm "$idEdRedialCount" 8
  kivctl click TOptionForm "$idBtOk"
  wait_for 60 grep -q KMSPortNo=51000 "$dir/Kiv.INI" || fail "$label: not saved"
  # The two scrambled keys start with a random offset: every other byte must match.
  grep -av '^KMSComputerList=\|^KMSPassword=' "$dir/Kiv.INI" >"$SHOTS/$label.ini"
  stop_kiv
  unset LANG LC_ALL
}

E2E_DIRS=()
trap 'e2e_cleanup; rm -rf "${E2E_DIRS[@]}"' EXIT
run_once 1252 C.UTF-8
run_once 932 ja_JP.UTF-8

cmp "$SHOTS/1252.ini" "$SHOTS/932.ini" || fail "Kiv.INI differs between code pages"
grep -qaxF "Target=$(sjis 'ベータ')"$'\r' "$SHOTS/932.ini" || fail "target not saved in Shift-JIS"
pass "Kiv.INI written byte for byte the same on code pages 1252 and 932"
diff_pixels=$(compare -metric AE "$SHOTS/1252.png" "$SHOTS/932.png" "$SHOTS/difference.png" 2>&1 >/dev/null || true)
[ "$diff_pixels" = 0 ] || fail "the status window differs in $diff_pixels pixels: $SHOTS/difference.png"
pass "the status window looks the same on code pages 1252 and 932: $SHOTS/1252.png, $SHOTS/932.png"
