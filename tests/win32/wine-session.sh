#!/usr/bin/env bash
# Runs a Windows test program that draws windows in a Wine session of its own: a private Xvfb, a
# copy of the build tree's prefix and a wineserver for it, so that the desktop it draws on is its
# own, whatever other tests run beside it in the tree's prefix.
# Usage: wine-session.sh BUILD_DIR TEST_EXE [ARGS...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/wine-env.sh"
. "$here/../../scripts/xvfb.sh"
build=$(cd "$1" && pwd)
shift
kiv_wine_prefix "$build"
mkdir -p "$build/tmp"
tmp=$(mktemp -d -p "$build/tmp")
KIV_XVFB_PID=
# The server ended is the copy's: WINEPREFIX names it from here on.
kiv_wine_prefix_copy "$tmp/prefix"
trap '"$KIV_WINESERVER" -k 2>/dev/null || true; [ -z "$KIV_XVFB_PID" ] || kill "$KIV_XVFB_PID"; rm -rf "$tmp"' EXIT
kiv_xvfb || { echo "wine-session: $KIV_XVFB_ERROR" >&2; exit 1; }
kiv_wine_session
"$KIV_WINE" "$@"
