#!/bin/sh
# Runs a Windows socket test under Wine inside a private network namespace. Wine creates its
# sockets in the wineserver, so the server must live in the namespace too: the test gets a
# prefix of its own (a hard-linked copy of the build tree's, so no server outside serves it)
# and starts and ends its server inside.
set -eu
exe=$1
build=$2
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
"$here/run-in-netns.sh" sh -c '"$KIV_WINE" "$1"; rc=$?; "$KIV_WINESERVER" -k 2>/dev/null; exit $rc' test "$exe"
