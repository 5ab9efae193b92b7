#!/usr/bin/env bash
# Builds the web console's request fuzzer with clang (libFuzzer, ASan, UBSan) and runs it for
# a bounded time (KIV_FUZZ_SECONDS, default 30). Inputs that break it are kept in
# tests/mesh/fuzz/web-regressions/ and replayed first on every run. The argument (a Windows
# build tree, as the test command gives every end-to-end script) is not used.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${KIV_FUZZ_SECONDS:-30}
out="$top/build/fuzz-web"
mkdir -p "$out/corpus"
fuzz="$top/tests/mesh/fuzz"
k="$top/tools/kmconsole"
# No -fexec-charset: clang has none, so the console's Shift-JIS literals are UTF-8 here; that
# changes which texts match, not the memory safety being tested.
clang++ -std=c++20 -g -O1 -Wall -Wextra -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$top/src/core" -I"$top/src/mesh" -I"$k" \
  "$fuzz/WebRequestFuzz.cpp" "$k/WebConsole.cpp" "$k/WebJson.cpp" "$k/Console.cpp" \
  "$top/src/mesh/MeshWire.cpp" "$top/src/mesh/MeshFile.cpp" "$top/src/core/TextHelpers.cpp" \
  -o "$out/web_request_fuzz"
regressions=("$fuzz"/web-regressions/*)
if [ -e "${regressions[0]}" ]; then
  "$out/web_request_fuzz" "${regressions[@]}"
fi
cd "$out"
if ! ./web_request_fuzz -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=1024 -timeout=10 \
     -print_final_stats=1 corpus >fuzz.log 2>&1; then
  tail -40 fuzz.log
  mkdir -p "$fuzz/web-regressions"
  for f in crash-* leak-* timeout-* oom-*; do
    [ -e "$f" ] && cp "$f" "$fuzz/web-regressions/" && echo "kept $f in tests/mesh/fuzz/web-regressions/"
  done
  exit 1
fi
grep -E "stat::number_of_executed_units|stat::peak_rss_mb" fuzz.log || true
