#!/usr/bin/env bash
# A native console and the Windows console under Wine, in a private network namespace, see
# each other log in and out. Argument: the Windows build tree (its kmconsole.exe).
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build/win64}
native=$top/build/native/tools/kmconsole/kmconsole
[ -x "$native" ] || cmake --build "$top/build/native" --target kmconsole >/dev/null
KM_A=$native KM_B="$top/tests/mesh/wine-exe.sh $build/tools/kmconsole/kmconsole.exe" \
  sh "$top/tests/mesh/wine-netns.sh" "$build" sh "$top/tests/mesh/consoles.sh"
