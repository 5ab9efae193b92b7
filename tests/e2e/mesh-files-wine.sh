#!/usr/bin/env bash
# Files move between a native console and the Windows console under Wine, both ways, in a
# private network namespace. Argument: the Windows build tree (its kmconsole.exe).
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build/win64}
native=$top/build/native/tools/kmconsole/kmconsole
[ -x "$native" ] || cmake --build "$top/build/native" --target kmconsole >/dev/null
wine="$top/tests/mesh/wine-exe.sh $build/tools/kmconsole/kmconsole.exe"
echo "native -> wine"
# shellcheck disable=SC1003  # two backslashes: the separator as the script prints it into a pattern
KM_RX=$wine KM_TX=$native KM_RX_DRIVE=Z: KM_RX_SEP='\\' \
  sh "$top/tests/mesh/wine-netns.sh" "$build" sh "$top/tests/mesh/console-files.sh"
echo "wine -> native"
KM_RX=$native KM_TX=$wine KM_TX_DRIVE=Z: KM_NO_REFUSAL=1 \
  sh "$top/tests/mesh/wine-netns.sh" "$build" sh "$top/tests/mesh/console-files.sh"
