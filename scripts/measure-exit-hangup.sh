#!/usr/bin/env bash
# Processor time kiv.exe spends ending while the hang-up of its connection (Kiv.INI:
# AutoDisconnectEnd) is released only after 5 s: the wait must sleep, not poll.
# Usage: scripts/measure-exit-hangup.sh [WINDOWS_BUILD_DIR]   (default build/win64)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
set -- "${1:-$top/build/win64}"
. "$top/tests/e2e/lib.sh"
start_session
new_run_dir
add_simulator
printf '[Line]\ndial = connect 500\nhangup = 5000\n' >"$RUN_DIR/rassim.txt"
printf '[Option]\r\nTarget=Line\r\nAutoConnectRun=1\r\nAutoDisconnectEnd=1\r\n' >"$RUN_DIR/Kiv.INI"
cd "$RUN_DIR"
start_kiv
wait_for 30 output_has state=8192 rassimctl list || fail "not connected"
# This run's kiv.exe: the one working in its folder.
pid=
for p in $(pgrep -f 'kiv\.exe' || true); do
  [ "$(readlink "/proc/$p/cwd" 2>/dev/null)" = "$RUN_DIR" ] && pid=$p
done
[ -n "$pid" ] || fail "kiv.exe's process not found"
ticks() { awk '{print $14 + $15}' /proc/"$1"/stat 2>/dev/null; }
t0=$(ticks "$pid"); s0=$(date +%s.%N)
kivctl close
last=$t0
while [ -d "/proc/$pid" ]; do t=$(ticks "$pid") && [ -n "$t" ] && last=$t; sleep 0.05; done
s1=$(date +%s.%N)
hz=$(getconf CLK_TCK)
echo "exit with a hang-up pending: wall $(echo "$s1 - $s0" | bc) s, kiv.exe cpu $(( (last - t0) * 1000 / hz )) ms"
call_log | grep -c RasGetConnectStatusA | sed 's/^/status polls in the log: /'
