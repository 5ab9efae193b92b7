#!/usr/bin/env bash
# Every test tier from a fresh clone: installs what is missing, builds the native tree and the
# Windows trees, runs the native tests, the Windows tests under Wine, and the end-to-end tests.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
. scripts/wine-env.sh

bash scripts/bootstrap.sh
jobs=$(nproc)

step() { printf '\n== %s ==\n' "$*"; }

step "native build"
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j"$jobs"

step "Windows build (x86_64, run under Wine)"
cmake -S . -B build/win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build build/win64 -j"$jobs"

step "Windows build (i686, as shipped)"
cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-i686.cmake" >/dev/null
if [ -f src/win32/CMakeLists.txt ]; then
  cmake --build build/win32 -j"$jobs" --target kiv
  echo "kiv.exe (i686, as shipped): $(stat -c %s build/win32/src/win32/kiv.exe) bytes"
fi

status=0
passed=0
failed=0
# run_ctest DIR [ARGS]: runs CTest and adds its counts to the totals.
run_ctest() {
  local dir=$1 log
  shift
  log=$(mktemp)
  (cd "$dir" && ctest --output-on-failure "$@") 2>&1 | tee "$log" || true
  local line total bad
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n1 || true)
  if [ -z "$line" ]; then
    status=1
    failed=$((failed + 1))
  else
    total=$(echo "$line" | sed -E 's/.* out of ([0-9]+).*/\1/')
    bad=$(echo "$line" | sed -E 's/.*tests passed, ([0-9]+) tests? failed.*/\1/')
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    [ "$bad" = 0 ] || status=1
  fi
  rm -f "$log"
}

step "tier 1: native tests"
run_ctest build/native -j"$jobs"

step "tier 2: Windows tests under Wine"
# No persistent wineserver: the service processes it would keep alive inherit a test's output
# pipe and CTest would wait on them forever.
kiv_wine_prefix "$top/build/win64"
run_ctest build/win64
"$KIV_WINESERVER" -k 2>/dev/null || true

step "tier 3: end to end under Wine"
for script in tests/e2e/*.sh; do
  [ -e "$script" ] || continue
  [ "$(basename "$script")" = lib.sh ] && continue  # helpers the tests source
  echo "-- $script"
  if bash "$script" "$top/build/win64"; then
    passed=$((passed + 1))
  else
    echo "FAILED: $script"
    failed=$((failed + 1))
    status=1
  fi
done

echo
echo "all tiers: $passed passed, $failed failed"
exit $status
