#!/usr/bin/env bash
# shellcheck disable=SC2154  # the controls' identifiers: set by controls.sh from the program's tables
# The per-user installer (kiv-<version>-win32.msi, the i686 build's) under Wine's msiexec, in a
# Wine prefix of its own: a fresh install puts the program into the user's programs folder, the
# Start menu and the user's Run key; kiv.exe starts from there and saves Kiv.INI beside itself;
# uninstalling removes what was installed and leaves Kiv.INI and Kiv.log; an older version
# installed without starting at sign-in is upgraded in place, keeping Kiv.INI, Kiv.log and that
# choice; the older package cannot then replace the newer one. The x86_64 tree has no installer.
. "$(dirname "$0")/lib.sh"
if [ "$(kiv_build_arch "$BUILD")" != i686 ]; then
  echo "skip: the installer packs the shipped i686 build; $BUILD is $(kiv_build_arch "$BUILD")"
  exit 0
fi
command -v wixl >/dev/null && command -v msiinfo >/dev/null ||
  fail "wixl and msiinfo are missing (Debian packages wixl and msitools; scripts/bootstrap.sh installs them)"
msis=("$BUILD"/kiv-*-win32.msi)
[ -f "${msis[0]}" ] || fail "no installer in $BUILD: the package step builds it with wixl (scripts/bootstrap.sh installs it)"
MSI=${msis[0]}
VERSION=$(msiinfo export "$MSI" Property | tr -d '\r' | sed -n 's/^ProductVersion\t//p')
CODE=$(msiinfo export "$MSI" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p')
STAGE=$BUILD/package/kiv-$VERSION-win32

# Per user: no ALLUSERS, and the summary's word count says it needs no elevation (bit 8).
! msiinfo export "$MSI" Property | grep '^ALLUSERS' >/dev/null || fail "the installer sets ALLUSERS"
words=$(msiinfo suminfo "$MSI" | sed -n 's/^Source: \([0-9]*\).*/\1/p')
[ $((words & 8)) = 8 ] || fail "the installer asks for elevation (word count $words)"
pass "$(basename "$MSI") installs per user, without elevation"

# The test's own folder (removed at exit) and Wine session, on a copy of the build tree's prefix.
new_run_dir
rm -f "$RUN_DIR/kiv.exe"
start_session

# An older version of the same package: its README.txt says so.
OLD_VERSION=1.0.0
[ "$(printf '%s\n%s\n' "$OLD_VERSION" "$VERSION" | sort -V | head -n1)" = "$OLD_VERSION" ] &&
  [ "$OLD_VERSION" != "$VERSION" ] || fail "version $VERSION is not newer than $OLD_VERSION"
OLD_CODE=$(tr '[:lower:]' '[:upper:]' </proc/sys/kernel/random/uuid)
mkdir "$RUN_DIR/old"
cp "$STAGE"/* "$RUN_DIR/old/"
printf 'Kiv %s\r\n' "$OLD_VERSION" >>"$RUN_DIR/old/README.txt"
(cd "$RUN_DIR/old" && wixl -D Version=$OLD_VERSION -D ProductCode="$OLD_CODE" -D SourceDir=. \
  -o "$RUN_DIR/old.msi" "$E2E_TOP/packaging/kiv.wxs") || fail "the older installer was not built"

winpath() { "$KIV_WINE" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
# msiexec ARGS...: a quiet run, its log kept in the test folder; its exit code is returned.
msiexec() { "$KIV_WINE" msiexec "$@" /qn /l*v "$(winpath "$RUN_DIR/msiexec.log")" >/dev/null 2>&1; }
wine_dir() { "$KIV_WINE" winepath -u "$("$KIV_WINE" cmd /c "echo $1" 2>/dev/null | tr -d '\r')\\$2" 2>/dev/null; }
INSTALLED=$(wine_dir '%LOCALAPPDATA%' 'Programs\Kiv')
START_MENU_ENTRY=$(wine_dir '%APPDATA%' 'Microsoft\Windows\Start Menu\Programs\Kiv.lnk')
run_value() {
  "$KIV_WINE" reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v Kiv 2>/dev/null |
    tr -d '\r' | sed -n 's/^ *Kiv *REG_SZ *//p'
}
registered() { "$KIV_WINE" reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$1" >/dev/null 2>&1; }
PROGRAM_FILES=(kiv.exe Kiv.html kmconsole.exe README.txt README-ja.txt)
program_installed() {
  local f
  for f in "${PROGRAM_FILES[@]}"; do cmp -s "$STAGE/$f" "$INSTALLED/$f" || return 1; done
}
program_gone() {
  local f
  for f in "${PROGRAM_FILES[@]}"; do [ ! -e "$INSTALLED/$f" ] || return 1; done
  [ ! -e "$START_MENU_ENTRY" ] && [ -z "$(run_value)" ]
}

# 1. A fresh install with the defaults.
msiexec /i "$(winpath "$MSI")" || fail "install failed (exit $?)"
program_installed || fail "the program is not in $INSTALLED: $(ls "$INSTALLED" 2>&1)"
strings -a "$START_MENU_ENTRY" 2>/dev/null | grep -xF "$(winpath "$INSTALLED/kiv.exe")" >/dev/null ||
  fail "no Start menu entry for the installed kiv.exe"
[ "$(run_value)" = "\"$(winpath "$INSTALLED/kiv.exe")\"" ] || fail "start at sign-in: [$(run_value)]"
registered "$CODE" || fail "the product is not registered"
pass "installed into $(winpath "$INSTALLED") with a Start menu entry and a start at sign-in"

# 2. kiv.exe runs from there, and its options land in Kiv.INI beside it.
KIV_RC=$RUN_DIR/kiv.rc
( cd "$INSTALLED" && "$KIV_WINE" "$(winpath "$INSTALLED/kiv.exe")"; echo $? >"$KIV_RC" ) &
wait_for 240 kivctl running || fail "the installed kiv.exe did not start"
wait_for 20 tray_shown || fail "no tray icon"
open_options_dialog
kivctl set TOptionForm "$idEdRedialCount" 8  # a change, so that OK saves
kivctl click TOptionForm "$idBtOk" || fail "OK not pressed"
wait_for 20 grep -q $'^RedialCount=8\r$' "$INSTALLED/Kiv.INI" || fail "no Kiv.INI beside the installed kiv.exe"
stop_kiv
printf 'a log line\r\n' >"$INSTALLED/Kiv.log"
cp "$INSTALLED/Kiv.INI" "$INSTALLED/Kiv.log" "$RUN_DIR/"
pass "the installed kiv.exe runs and saves its settings beside itself"

# 3. Uninstalling removes the installed files, the Start menu entry and the start at sign-in;
#    the user's Kiv.INI and Kiv.log stay.
msiexec /x "$(winpath "$MSI")" || fail "uninstall failed (exit $?)"
program_gone || fail "left behind: $(ls "$INSTALLED"), run value [$(run_value)], $(ls "$START_MENU_ENTRY" 2>&1)"
! registered "$CODE" || fail "still registered after uninstalling"
cmp -s "$RUN_DIR/Kiv.INI" "$INSTALLED/Kiv.INI" && cmp -s "$RUN_DIR/Kiv.log" "$INSTALLED/Kiv.log" ||
  fail "Kiv.INI or Kiv.log changed by uninstalling"
pass "uninstalled: no program files, Start menu entry or start at sign-in; Kiv.INI and Kiv.log stay"

# 4. The older version, installed without starting at sign-in, then the newer over it.
msiexec /i "$(winpath "$RUN_DIR/old.msi")" START_AT_SIGN_IN=0 || fail "older install failed (exit $?)"
grep -q "Kiv $OLD_VERSION" "$INSTALLED/README.txt" || fail "the older version is not installed"
[ -z "$(run_value)" ] || fail "START_AT_SIGN_IN=0 left a start at sign-in: $(run_value)"
msiexec /i "$(winpath "$MSI")" || fail "upgrade failed (exit $?)"
program_installed || fail "the upgrade did not install the newer files"
! registered "$OLD_CODE" && registered "$CODE" || fail "both versions or neither registered after the upgrade"
[ -z "$(run_value)" ] || fail "the upgrade turned the start at sign-in on again"
cmp -s "$RUN_DIR/Kiv.INI" "$INSTALLED/Kiv.INI" && cmp -s "$RUN_DIR/Kiv.log" "$INSTALLED/Kiv.log" ||
  fail "Kiv.INI or Kiv.log changed by the upgrade"
pass "upgraded $OLD_VERSION to $VERSION in place: Kiv.INI, Kiv.log and the choice not to start at sign-in kept"

# 5. The older package does not replace the newer one.
if msiexec /i "$(winpath "$RUN_DIR/old.msi")"; then fail "the older package installed over the newer"; fi
program_installed && registered "$CODE" && ! registered "$OLD_CODE" || fail "the refused downgrade changed the installation"
msiexec /x "$(winpath "$MSI")" || fail "final uninstall failed (exit $?)"
program_gone || fail "the final uninstall left files behind"
pass "an older package is refused while a newer one is installed"
