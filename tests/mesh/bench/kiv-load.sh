#!/usr/bin/env bash
# kiv.exe's share of a core under a steady KestrelMesh load, in a private network namespace of
# its own: kiv.exe runs under Wine with KestrelMesh on (and the remote access simulator), the
# native load generator (kiv_mesh_load) has 20 peers send it about 380 messages a second
# (HUZAI_CHECK, MESSAGE of 10 to 1500 bytes, MENU_CHECK), and the CPU time of kiv.exe and of
# the wineserver is read from /proc over a fixed time, first idle, then under the load.
# Usage: kiv-load.sh WINDOWS_BUILD_DIR [SECONDS [RATE]]
# KIV_LOAD_EXE names another kiv.exe to measure in the same setting (an older build, say).
. "$(dirname "$0")/../../e2e/lib.sh"
secs=${2:-20}
rate=${3:-380}
[ -n "${KIV_E2E_IN_NETNS:-}" ] || cmake --build "$E2E_TOP/build/native" --target kiv_mesh_load >/dev/null
e2e_in_netns KIV_MESH_LOAD=tests/mesh/kiv_mesh_load

start_xvfb
new_run_dir
add_simulator
[ -z "${KIV_LOAD_EXE:-}" ] || cp "$KIV_LOAD_EXE" "$RUN_DIR/kiv.exe"
printf '[Office]\ndial = connect 5000\n' >"$RUN_DIR/rassim.txt"
printf '[Option]\r\nTarget=Office\r\nKMSLogin=1\r\n' >"$RUN_DIR/Kiv.INI"
cd "$RUN_DIR"

# The server in the foreground, so that its process is this one and its time can be read (in
# place of the one that started the namespace's Wine session).
"$KIV_WINESERVER" -k 2>/dev/null || true
"$KIV_WINESERVER" -w
"$KIV_WINESERVER" -f -p &
server=$!
E2E_PIDS+=("$server")
"$KIV_WINE" kiv.exe &
kiv=$!
E2E_PIDS+=("$kiv")
# The generator's first run logs its peers in and waits for Kiv's answer; then Kiv's welcome
# message is left to fade before anything is measured.
"$KIV_MESH_LOAD" --rate 20 --seconds 1 >/dev/null || fail "kiv.exe did not answer on KestrelMesh"
sleep 8
[ "$(cat /proc/$kiv/comm)" = kiv.exe ] || fail "process $kiv is $(cat /proc/$kiv/comm), not kiv.exe"

ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
# measure LABEL: the share of a core of kiv.exe and of the server over $secs seconds.
measure() {
  local k0 s0 k1 s1
  k0=$(ticks "$kiv")
  s0=$(ticks "$server")
  sleep "$secs"
  k1=$(ticks "$kiv")
  s1=$(ticks "$server")
  kivShare=$(echo "100 * ($k1 - $k0) / $hz / $secs" | bc -l)
  serverShare=$(echo "100 * ($s1 - $s0) / $hz / $secs" | bc -l)
  printf '%-10s kiv.exe %5.1f %% of a core   wineserver %5.1f %%\n' "$1" "$kivShare" "$serverShare"
}

echo "$(kiv_build_arch "$BUILD") build, ${secs} s per figure"
measure idle
idleKiv=$kivShare
"$KIV_MESH_LOAD" --rate "$rate" --seconds $((secs + 4)) >"$RUN_DIR/load.txt" &
load=$!
sleep 2
measure "$rate/s"
wait "$load" || fail "the load generator failed"
cat "$RUN_DIR/load.txt"
printf 'kiv.exe per message, idle time taken off: %.0f us\n' \
  "$(echo "($kivShare - $idleKiv) / 100 / $rate * 1000000" | bc -l)"
