#!/bin/sh
# Instructions per received datagram of the kiv_mesh_bench cases, counted by callgrind: the
# repeatable figure where timings are noisy. Counts everything the timed datagrams cost (the
# receive path and the dispatch, not the setting up), divided by their number.
# Usage: receive-instructions.sh [BENCH_BUILD_DIR] [BENCHMARK_REGEX]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../../build/bench}
filter=${2:-'BM_ReceiveOneDatagram$|BM_FloodFrom200Peers'}
cmake --build "$build" --target kiv_mesh_bench >/dev/null
bench=$build/tests/mesh/kiv_mesh_bench
out=$(mktemp "${TMPDIR:-/tmp}/kmcallgrind.XXXXXX")
trap 'rm -f "$out"' EXIT
for name in $("$bench" --benchmark_list_tests --benchmark_filter="$filter"); do
  valgrind --tool=callgrind --callgrind-out-file="$out" --compress-strings=no \
    --toggle-collect='*TimedReceive*' "$bench" --benchmark_filter="^$name\$" --benchmark_min_time=0.05 \
    >/dev/null 2>&1
  awk -v name="$name" '
    /^cfn=.*TimedReceive/ { want = 1; next }
    want && /^calls=/ { split($1, c, "="); calls += c[2]; want = 0; next }
    /^summary:/ { total = $2 }
    END {
      if (calls == 0) { printf "%s: no timed datagrams\n", name; exit 1 }
      printf "%-28s %8.0f instructions per datagram (%d datagrams)\n", name, total / calls, calls
    }
  ' "$out"
done
