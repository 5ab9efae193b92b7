#!/usr/bin/env bash
# Every test tier from a fresh clone: installs what is missing, builds the native tree and both
# Windows trees, packages the shipped build, runs the native tests, and the Windows tests and the
# end-to-end tests under Wine: on the shipped i686 build where this machine runs 32-bit code, and
# on the x86_64 build everywhere.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

step() { printf '\n== %s ==\n' "$*"; }
finished=
trap 'rc=$?; [ $rc = 0 ] || [ -n "$finished" ] || echo "test.sh: stopped by a failure (exit $rc) in: $BASH_COMMAND" >&2' EXIT

step "packages"
bash scripts/bootstrap.sh
. scripts/wine-env.sh
jobs=$(nproc)

step "native build"
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j"$jobs"

step "Windows build (i686, as shipped: program, simulator, consoles, tests, package)"
cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-i686.cmake" >/dev/null
cmake --build build/win32 -j"$jobs"
echo "kiv.exe (i686, as shipped): $(stat -c %s build/win32/src/win32/kiv.exe) bytes; package: $(ls build/win32/kiv-*-win32.zip)"

step "Windows build (x86_64)"
cmake -S . -B build/win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build build/win64 -j"$jobs"

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
    echo "FAILED: no CTest summary in $dir"
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

# run_script NAME COMMAND...: one end-to-end script, counted as one test.
run_script() {
  local name=$1
  shift
  echo "-- $name"
  if "$@"; then
    passed=$((passed + 1))
  else
    echo "FAILED: $name"
    failed=$((failed + 1))
    status=1
  fi
}

# wine_tiers BUILD_DIR LABEL: tier 2 (CTest under Wine) and tier 3 (tests/e2e) on one Windows tree.
wine_tiers() {
  local build=$top/$1 label=$2 script
  step "tier 2: Windows tests under Wine ($label, $1)"
  # No persistent wineserver: the service processes it would keep alive inherit a test's output
  # pipe and CTest would wait on them forever.
  kiv_wine_prefix "$build"
  run_ctest "$1"
  "$KIV_WINESERVER" -k 2>/dev/null || true
  step "tier 3: end to end under Wine ($label, $1)"
  for script in tests/e2e/*.sh; do
    case $(basename "$script") in lib.sh | controls.sh) continue ;; esac  # sourced by the tests
    run_script "$script ($label)" bash "$script" "$build"
  done
}

step "tier 1: native tests"
run_ctest build/native -j"$jobs"

step "fuzzing (short run)"
run_script "fuzz" bash scripts/fuzz.sh "${KIV_FUZZ_SECONDS:-60}"

if bash scripts/runs-32bit.sh; then
  wine_tiers build/win32 "i686, as shipped"
  i686_note="i686 tiers ran on build/win32"
else
  i686_note="i686 tiers skipped: this machine cannot execute 32-bit code (a 32-bit test program did not run), so only the x86_64 build ran under Wine"
fi
wine_tiers build/win64 "x86_64"

echo
echo "$i686_note"
echo "all tiers: $passed passed, $failed failed"
finished=1
exit $status
