#!/bin/sh
# Runs a command that starts Windows programs under Wine inside a private network namespace.
# Wine creates its sockets in the wineserver, so the server must live in the namespace too:
# the command gets a prefix of its own (a copy of the build tree's, so no server outside serves
# it; KIV_KEEP_WINEPREFIX tells the scripts it runs to keep it) and its server is started and
# ended inside. The prefix's Wine session is started once before the command, so the programs
# it starts find their services running.
# Usage: wine-netns.sh BUILD_DIR COMMAND [ARGS...]; COMMAND finds Wine in $KIV_WINE.
set -eu
build=$(cd "$1" && pwd)
shift
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/wine-env.sh"
kiv_wine_prefix "$build"
mkdir -p "$build/tmp"
tmp=$(mktemp -d -p "$build/tmp")
trap 'rm -rf "$tmp"' EXIT
kiv_wine_prefix_copy "$tmp/prefix"
export KIV_KEEP_WINEPREFIX=1
# shellcheck disable=SC2016  # expanded by the inner shell
"$here/run-in-netns.sh" sh -c '
  "$KIV_WINESERVER" -p
  "$KIV_WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
  "$@"; rc=$?; "$KIV_WINESERVER" -k 2>/dev/null; exit $rc' command "$@"
