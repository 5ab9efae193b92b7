#!/usr/bin/env bash
# Builds the fuzz targets (tests/fuzz: the KestrelMesh receive path, the remote control
# dialogue, the settings file, the web console's requests) with clang, libFuzzer, ASan and
# UBSan, and runs them for SECONDS (default 60) on every core, one target at a time on each,
# sharing that time. Each starts from its corpus in the tree (tests/fuzz/corpus/<target>/) and
# adds what it finds under build/fuzz/corpus/<target>/.
# Inputs that crash a target are kept in tests/fuzz/regressions/<target>/ and replayed first
# on every run. Each target's line gives its executions and their rate; the last line reads
# "fuzz: N executions, M crashes"; the exit status is 1 when M is not 0.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
out="$top/build/fuzz"
fuzz="$top/tests/fuzz"

CXX=clang++ cmake -S "$fuzz" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIV_WERROR=ON >/dev/null
# The targets, their shares of the time and their longest inputs, as tests/fuzz/CMakeLists.txt
# lists them.
targets=()
weights=()
lengths=()
while read -r name share max_len; do
  targets+=("$name")
  weights+=("$share")
  lengths+=("$max_len")
done <"$out/fuzz-targets.txt"
[ "${#targets[@]}" -gt 0 ] || { echo "fuzz: no targets in $out/fuzz-targets.txt"; exit 1; }
ninja -C "$out" -j2 "${targets[@]}" >"$out/build.log" 2>&1 || { tail -40 "$out/build.log"; exit 1; }

# The settings target writes a file per input: keep it in memory where there is room.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

# The targets share SECONDS on every core: one target at a time on each, the ones of most time
# first, each to the core with the least given so far. A target's time is its share of it all.
cores=$(nproc)
[ "$cores" -le "${#targets[@]}" ] || cores=${#targets[@]}
total_weight=0
for w in "${weights[@]}"; do total_weight=$((total_weight + w)); done
mapfile -t order < <(for i in "${!targets[@]}"; do echo "${weights[$i]} $i"; done | sort -rn | cut -d' ' -f2)
declare -a load lane
for ((c = 0; c < cores; c++)); do load[c]=0; lane[c]=""; done
for i in "${order[@]}"; do
  least=0
  for ((c = 1; c < cores; c++)); do [ "${load[c]}" -ge "${load[least]}" ] || least=$c; done
  load[least]=$((load[least] + weights[i]))
  lane[least]="${lane[least]} $i"
done

# fuzz_one INDEX: replays the target's kept regressions, fuzzes it for its time, keeps what
# crashed in tests/fuzz/regressions/<target>/; leaves "executions rate crashes" in $out/<target>.result.
fuzz_one() {
  local i=$1 t share regressions dict status runs rate found f
  t=${targets[$i]}
  share=$((seconds * cores * weights[i] / total_weight))
  [ "$share" -ge 1 ] || share=1
  mkdir -p "$out/corpus/$t" "$fuzz/corpus/$t" "$out/artifacts/$t"
  found=0
  regressions=("$fuzz/regressions/$t"/*)
  if [ -e "${regressions[0]}" ]; then
    if ! "$out/$t" -runs=1 "${regressions[@]}" >"$out/$t.replay.log" 2>&1; then
      tail -20 "$out/$t.replay.log"
      found=1
    fi
  fi
  dict=()
  [ -f "$fuzz/$t.dict" ] && dict=(-dict="$fuzz/$t.dict")
  status=0
  "$out/$t" -max_total_time="$share" -max_len="${lengths[$i]}" -rss_limit_mb=1024 -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$out/artifacts/$t/" "${dict[@]}" \
    "$out/corpus/$t" "$fuzz/corpus/$t" >"$out/$t.log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/$t.log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$out/$t.log" | tail -1)
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
  echo "$t: ${share}s, ${runs:-0} executions, ${rate:-0} a second"
  echo "${runs:-0} ${rate:-0} $found" >"$out/$t.result"
}

pids=()
for ((c = 0; c < cores; c++)); do
  ( for i in ${lane[c]}; do fuzz_one "$i"; done ) &
  pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid" || true; done

executions=0
crashes=0
for t in "${targets[@]}"; do
  read -r runs _ found <"$out/$t.result" || { runs=0; found=1; echo "$t: no result"; }
  executions=$((executions + runs))
  crashes=$((crashes + found))
done
echo "fuzz: $executions executions, $crashes crashes"
[ "$crashes" -eq 0 ]
