#!/usr/bin/env bash
# Runs a Windows program of a build tree under Wine, in that tree's prefix (CTest's emulator).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
exe=$1
shift
dir=$(cd "$(dirname "$exe")" && pwd)
build=$dir
while [ "$build" != / ] && [ ! -f "$build/CMakeCache.txt" ]; do build=$(dirname "$build"); done
kiv_wine_prefix "${KIV_BUILD_DIR:-$build}"
exec "$KIV_WINE" "$exe" "$@"
