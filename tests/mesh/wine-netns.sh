#!/bin/sh
# Runs a command that starts Windows programs under Wine inside a private network namespace.
# Wine creates its sockets in the wineserver, so the server must live in the namespace too:
# the command gets a prefix of its own (a hard-linked copy of the build tree's, so no server
# outside serves it) and its server is started and ended inside.
# Usage: wine-netns.sh BUILD_DIR COMMAND [ARGS...]; COMMAND finds Wine in $KIV_WINE.
set -eu
build=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/wine-env.sh"
kiv_wine_prefix "$build"
base=$WINEPREFIX
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp -al "$base" "$tmp/prefix"
# Files Wine rewrites in place must not be shared with the base prefix.
for f in "$base"/*.reg; do
  cp --remove-destination "$f" "$tmp/prefix/$(basename "$f")"
done
export WINEPREFIX="$tmp/prefix"
export KIV_WINE KIV_WINESERVER
"$here/run-in-netns.sh" sh -c '"$@"; rc=$?; "$KIV_WINESERVER" -k 2>/dev/null; exit $rc' command "$@"
