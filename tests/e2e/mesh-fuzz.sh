#!/usr/bin/env bash
# Builds the KestrelMesh receive-path fuzzer with clang (libFuzzer, ASan, UBSan) and runs it
# for a bounded time (KIV_FUZZ_SECONDS, default 60). Inputs that crash it are kept in
# tests/mesh/fuzz/regressions/ and replayed first on every run.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${KIV_FUZZ_SECONDS:-60}
out="$top/build/fuzz"
mkdir -p "$out/corpus"
fuzz="$top/tests/mesh/fuzz"
# No -fexec-charset here: clang has none, and the sources fed to it hold ASCII literals only.
clang++ -std=c++20 -g -O1 -Wall -Wextra -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$top/src/core" -I"$top/src/mesh" -I"$top/tests/mesh" \
  "$fuzz/MeshReceiveFuzz.cpp" "$top/src/mesh/MeshWire.cpp" "$top/src/mesh/KestrelMesh.cpp" \
  "$top/src/mesh/KestrelMeshTransfer.cpp" "$top/src/mesh/MeshFile.cpp" \
  "$top/src/core/TextHelpers.cpp" -o "$out/mesh_receive_fuzz"
regressions=("$fuzz"/regressions/*)
if [ -e "${regressions[0]}" ]; then
  "$out/mesh_receive_fuzz" "${regressions[@]}"
fi
cd "$out"
if ! ./mesh_receive_fuzz -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=1024 -timeout=10 \
     -dict="$fuzz/mesh.dict" -print_final_stats=1 corpus >fuzz.log 2>&1; then
  tail -40 fuzz.log
  mkdir -p "$fuzz/regressions"
  for f in crash-* leak-* timeout-* oom-*; do
    [ -e "$f" ] && cp "$f" "$fuzz/regressions/" && echo "kept $f in tests/mesh/fuzz/regressions/"
  done
  exit 1
fi
grep -E "stat::number_of_executed_units|stat::peak_rss_mb" fuzz.log || true
