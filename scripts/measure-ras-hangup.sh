#!/usr/bin/env bash
# Processor time of the message-loop thread while TVireoRAS waits for a hang-up that the
# rasapi32 simulator releases after 2 s (target: under 5% of one core), also with the program's
# quit already requested (a hang-up at exit), next to a poll that never sleeps. Usage: scripts/measure-ras-hangup.sh [BUILD_DIR]   (default build/win64)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build/win64}" && pwd)
cmake --build "$build" -j2 --target kiv_ras_hangup_measure >/dev/null
export WINEDLLOVERRIDES="rasapi32=n;mscoree,mshtml,winemenubuilder.exe=d"
exec "$here/wine-run.sh" "$build/tests/ras/kiv_ras_hangup_measure.exe"
