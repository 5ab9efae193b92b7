#!/usr/bin/env bash
# Builds the fuzz targets (tests/fuzz: the KestrelMesh receive path, the remote control
# dialogue, the settings file, the web console's requests) with clang, libFuzzer, ASan and UBSan, and runs them for
# SECONDS in total (default 60), shared among them. Each starts from its corpus in the tree
# (tests/fuzz/corpus/<target>/) and adds what it finds under build/fuzz/corpus/<target>/.
# Inputs that crash a target are kept in tests/fuzz/regressions/<target>/ and replayed first
# on every run. The last line reads "fuzz: N executions, M crashes"; the exit status is 1
# when M is not 0.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
out="$top/build/fuzz"
fuzz="$top/tests/fuzz"

CXX=clang++ cmake -S "$fuzz" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# The targets and their shares of the time, as tests/fuzz/CMakeLists.txt lists them.
targets=()
weights=()
while read -r name share; do
  targets+=("$name")
  weights+=("$share")
done <"$out/fuzz-targets.txt"
[ "${#targets[@]}" -gt 0 ] || { echo "fuzz: no targets in $out/fuzz-targets.txt"; exit 1; }
ninja -C "$out" -j2 "${targets[@]}" >"$out/build.log" 2>&1 || { tail -40 "$out/build.log"; exit 1; }

# The settings target writes a file per input: keep it in memory where there is room.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

total_weight=0
for w in "${weights[@]}"; do total_weight=$((total_weight + w)); done
executions=0
crashes=0
for i in "${!targets[@]}"; do
  t=${targets[$i]}
  share=$(( seconds * weights[i] / total_weight ))
  [ "$share" -ge 1 ] || share=1
  mkdir -p "$out/corpus/$t" "$fuzz/corpus/$t" "$out/artifacts/$t"
  regressions=("$fuzz/regressions/$t"/*)
  if [ -e "${regressions[0]}" ]; then
    if ! "$out/$t" -runs=1 "${regressions[@]}" >"$out/$t.replay.log" 2>&1; then
      tail -20 "$out/$t.replay.log"
      crashes=$((crashes + 1))
    fi
  fi
  dict=()
  [ -f "$fuzz/$t.dict" ] && dict=(-dict="$fuzz/$t.dict")
  set +e
  "$out/$t" -max_total_time="$share" -max_len=4096 -rss_limit_mb=1024 -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$out/artifacts/$t/" "${dict[@]}" \
    "$out/corpus/$t" "$fuzz/corpus/$t" >"$out/$t.log" 2>&1
  status=$?
  set -e
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/$t.log" | tail -1)
  executions=$((executions + ${runs:-0}))
  found=0
  for f in "$out/artifacts/$t"/crash-* "$out/artifacts/$t"/leak-* "$out/artifacts/$t"/timeout-* \
           "$out/artifacts/$t"/oom-*; do
    [ -e "$f" ] || continue
    mkdir -p "$fuzz/regressions/$t"
    mv "$f" "$fuzz/regressions/$t/"
    echo "$t: kept $(basename "$f") in tests/fuzz/regressions/$t/"
    found=$((found + 1))
  done
  if [ "$status" -ne 0 ] && [ "$found" -eq 0 ]; then found=1; fi
  if [ "$found" -ne 0 ]; then
    grep -E "ERROR|SUMMARY|#0 |#1 |#2 " "$out/$t.log" | head -20 || true
  fi
  crashes=$((crashes + found))
  echo "$t: ${share}s, ${runs:-0} executions"
done
echo "fuzz: $executions executions, $crashes crashes"
[ "$crashes" -eq 0 ]
