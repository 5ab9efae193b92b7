#!/usr/bin/env bash
# Idle cost of kiv.exe under Wine with KestrelMesh logged in: over SECONDS (default 120) of
# doing nothing, the CPU time of kiv.exe and of the wineserver and their voluntary context
# switches (every blocking call counts, each round trip to the wineserver among them); then,
# traced with strace for 20 s, how often kiv.exe wakes up: a burst of system calls after at
# least 5 ms of silence is one wake-up. Runs in a private network
# namespace, since logging in opens a KestrelMesh socket.
#   scripts/bench-idle.sh WINDOWS_BUILD_DIR [SECONDS]
if [ -z "${KIV_BENCH_NETNS:-}" ]; then
  export KIV_BENCH_NETNS=1
  exec "$(dirname "$0")/../tests/mesh/run-in-netns.sh" bash "$0" "$@"
fi
. "$(dirname "$0")/../tests/e2e/lib.sh"
SECONDS_IDLE=${2:-120}
new_run_dir
start_session
cd "$RUN_DIR"
# Logged in, the welcome message gone quickly, nothing scheduled.
printf '[Option]\r\nKMSLogin=1\r\nStatusLocate=0\r\n' >Kiv.INI

start_kiv
sleep 5  # start-up settles
# The Windows process itself: the Wine loader's process whose command line names kiv.exe.
# Other programs may run Wine beside this: only processes of this run's prefix count.
of_prefix() {
  local pid
  for pid in $(pgrep -f "$1" || true); do
    { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && { echo "$pid"; return; }
  done
}
kiv_pid=$(of_prefix '^[^ ]*kiv\.exe')
server_pid=$(of_prefix '^[^ ]*wineserver')
[ -n "$kiv_pid" ] && [ -n "$server_pid" ] || fail "processes not found: kiv $kiv_pid, wineserver $server_pid"
ticks=$(getconf CLK_TCK)

# cpu PID: user + system time in clock ticks; switches PID: voluntary context switches of all
# threads.
cpu() { awk '{print $14 + $15}' "/proc/$1/stat"; }
switches() { cat /proc/"$1"/task/*/status | awk '/^voluntary_ctxt_switches/ {s += $2} END {print s}'; }
threads() { find /proc/"$1"/task -mindepth 1 -maxdepth 1 | wc -l; }

k_cpu0=$(cpu "$kiv_pid"); s_cpu0=$(cpu "$server_pid")
k_sw0=$(switches "$kiv_pid"); s_sw0=$(switches "$server_pid")
sleep "$SECONDS_IDLE"
k_cpu1=$(cpu "$kiv_pid"); s_cpu1=$(cpu "$server_pid")
k_sw1=$(switches "$kiv_pid"); s_sw1=$(switches "$server_pid")
# The wineserver also serves Wine's own processes of the prefix (services, the desktop with its
# tray): its figures with kiv.exe frozen show what is not kiv.exe's.
kill -STOP "$kiv_pid"
s_cpu2=$(cpu "$server_pid"); s_sw2=$(switches "$server_pid")
sleep 10
s_cpu3=$(cpu "$server_pid"); s_sw3=$(switches "$server_pid")
kill -CONT "$kiv_pid"
# Tracing stops the process at every call, so it gets a period of its own after the figures.
if command -v strace >/dev/null; then
  timeout -s INT 20 strace -f -tt -p "$kiv_pid" -o "$RUN_DIR/strace.txt" >/dev/null 2>&1 || true
fi

report() {  # report NAME CPU0 CPU1 SW0 SW1 THREADS
  awk -v n="$1" -v c="$(($3 - $2))" -v w="$(($5 - $4))" -v t="$6" -v s="$SECONDS_IDLE" -v hz="$ticks" 'BEGIN {
    printf "%-10s cpu %.2f s (%.3f %% of a core), voluntary context switches %d (%.2f per second), threads %d\n",
      n, c / hz, 100 * c / hz / s, w, w / s, t }'
}
echo "idle for $SECONDS_IDLE s with KestrelMesh logged in"
report kiv.exe "$k_cpu0" "$k_cpu1" "$k_sw0" "$k_sw1" "$(threads "$kiv_pid")"
report wineserver "$s_cpu0" "$s_cpu1" "$s_sw0" "$s_sw1" "$(threads "$server_pid")"
SECONDS_IDLE=10 report "wineserver, kiv.exe frozen 10 s:" "$s_cpu2" "$s_cpu3" "$s_sw2" "$s_sw3" "$(threads "$server_pid")"
if [ -s "$RUN_DIR/strace.txt" ]; then
  # Times of day to seconds; a call after 5 ms of silence starts a wake-up.
  awk '$2 ~ /^[0-9]+:[0-9]+:[0-9.]+$/ {
         split($2, t, ":"); now = t[1] * 3600 + t[2] * 60 + t[3]
         if (!n++) first = now
         if (n == 1 || now - last > 0.005) wakes++
         last = now; calls++ }
       END { span = last - first; if (span <= 0) span = 1
             printf "kiv.exe traced %.1f s: %d system calls, %d wake-ups (%.2f per second; floor 1.2)\n",
               span, calls, wakes, wakes / span }' "$RUN_DIR/strace.txt"
  echo "the five calls that start the most wake-ups:"
  awk '$2 ~ /^[0-9]+:/ { split($2, t, ":"); now = t[1] * 3600 + t[2] * 60 + t[3]
         if (!n++ || now - last > 0.005) { c = $3; sub(/\(.*/, "", c); if (c ~ /^[a-z_0-9]+$/) starts[c]++; else starts["(resumed call)"]++ }
         last = now }
       END { for (c in starts) print starts[c], c }' "$RUN_DIR/strace.txt" | sort -rn | head -n 5
fi
stop_kiv
