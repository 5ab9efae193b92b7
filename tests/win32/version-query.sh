#!/usr/bin/env bash
# Runs the version-query test as the prefix's default system, then as Windows 10 and as Windows XP
# (Wine's per-program version setting), in a copy of the build tree's prefix.
# Usage: version-query.sh BUILD_DIR TEST_EXE
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/wine-env.sh"
build=$(cd "$1" && pwd)
exe=$2
kiv_wine_prefix "$build"
mkdir -p "$build/tmp"
tmp=$(mktemp -d -p "$build/tmp")
# The server ended is the copy's: WINEPREFIX names it from here on.
kiv_wine_prefix_copy "$tmp/prefix"
trap '"$KIV_WINESERVER" -k 2>/dev/null || true; rm -rf "$tmp"' EXIT
echo "as the prefix's default system:"
"$KIV_WINE" "$exe"
# as_system VERSION: runs the test with Wine pretending to be that system for this program.
# The setting is written and read back by one server, after the last run's server has gone, so
# that no server ending late saves an older registry over it.
as_system() {
  local key
  key="HKCU\\Software\\Wine\\AppDefaults\\$(basename "$exe")"
  "$KIV_WINESERVER" -w
  "$KIV_WINE" reg add "$key" /v Version /d "$1" /f >/dev/null 2>&1 || { echo "could not set $key Version=$1"; return 1; }
  "$KIV_WINE" reg query "$key" /v Version 2>&1 | tr -d '\r' | grep "REG_SZ *$1\$" >/dev/null ||
    { echo "$key Version is not $1"; return 1; }
  "$KIV_WINESERVER" -w
  echo "as $1:"
  "$KIV_WINE" "$exe"
}
# Windows 10 tells only a program that lists it in its manifest: without that, 6.2.
out=$(as_system win10)
echo "$out"
grep -q 'system 10.0, tray image TASKTRAY_ICON_16' <<<"$out"
out=$(as_system winxp)
echo "$out"
grep -q 'system 5.1, tray image TASKTRAY_ICON_256' <<<"$out"
