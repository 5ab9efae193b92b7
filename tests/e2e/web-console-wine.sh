#!/usr/bin/env bash
# The Windows console's web console (kmconsole.exe web under Wine) in headless Chromium, on the
# same road as the native one's test: Kiv's remote menu on the native peer, two web consoles,
# three browsers, in a private network namespace. Screenshots go to BUILD/e2e/web.
# Argument: the Windows build tree (its kmconsole.exe).
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$top/build/win64}" && pwd)
exe=$build/tools/kmconsole/kmconsole.exe
peer=$top/build/native/tests/mesh/kiv_mesh_kiv_peer
[ -x "$peer" ] || cmake --build "$top/build/native" --target kiv_mesh_kiv_peer >/dev/null
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# The test starts "KMCONSOLE web ...": here that is the Windows console under Wine.
printf '#!/bin/sh\nexec sh %s %s "$@"\n' "$top/tests/mesh/wine-exe.sh" "$exe" >"$tmp/kmconsole"
chmod +x "$tmp/kmconsole"
KIV_WEB_START_WAIT=90 sh "$top/tests/mesh/wine-netns.sh" "$build" \
  bash "$top/tests/mesh/web-console.sh" "$tmp/kmconsole" "$peer" "$build/e2e/web"
