#!/usr/bin/env bash
# The test command. From a fresh clone: installs what is missing, builds the native tree and both
# Windows trees (warnings are errors), packages the shipped build, runs tier 1 natively (with the
# checks of the scripts and of the C++ format, and a short fuzzing run), then tiers 2 and 3 under
# Wine in one CTest run, side by side: on the shipped i686 build all of them where this machine
# runs 32-bit code, and on the x86_64 build its own tier 2 and the end-to-end scripts marked
# "# e2e-x86_64:" (all of them where 32-bit code does not run).
#   scripts/test.sh           every tier
#   scripts/test.sh --quick   tier 1 and the checks, natively under AddressSanitizer and
#                             UndefinedBehaviorSanitizer (build/asan)
# KIV_TEST_JOBS sets how many tests run at a time (default: the cores natively, twice that
# under Wine, where the tests mostly wait); KIV_FUZZ_SECONDS the fuzzing time (default 60).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

quick=
case ${1:-} in
--quick) quick=1 ;;
"") ;;
*) echo "usage: scripts/test.sh [--quick]" >&2; exit 2 ;;
esac

started=$SECONDS
phase=
phase_started=$SECONDS
timings=()
mmss() { printf '%d:%02d' $(($1 / 60)) $(($1 % 60)); }
phase_done() {
  [ -z "$phase" ] || timings+=("$(printf '%7s  %s' "$(mmss $((SECONDS - phase_started)))" "$phase")")
  phase=
}
step() {
  phase_done
  phase=$*
  phase_started=$SECONDS
  printf '\n== %s (at %s) ==\n' "$*" "$(mmss $((SECONDS - started)))"
}
finished=
# shellcheck disable=SC2317  # run by the trap
on_exit() {
  local rc=$?
  [ "$rc" = 0 ] || [ -n "$finished" ] || echo "test.sh: stopped by a failure (exit $rc) in: $BASH_COMMAND" >&2
}
trap on_exit EXIT

load_at_start=$(uptime)
step "packages"
bash scripts/bootstrap.sh
. scripts/wine-env.sh
jobs=${KIV_TEST_JOBS:-$(nproc)}
wine_jobs=${KIV_TEST_JOBS:-$((2 * $(nproc)))}

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

# run_script NAME COMMAND...: one command, counted as one test.
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

# configure DIR [ARGS]: a build tree of ours, with warnings as errors.
configure() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DKIV_WERROR=ON "$@" >/dev/null
}

summary() {
  phase_done
  echo
  echo "time by phase (load at the start: ${load_at_start#*load average: }; at the end: $(uptime | sed 's/.*load average: //')):"
  printf '%s\n' "${timings[@]}"
  printf '%7s  in all\n' "$(mmss $((SECONDS - started)))"
}

if [ -n "$quick" ]; then
  step "native build with AddressSanitizer and UndefinedBehaviorSanitizer (build/asan)"
  configure build/asan -DCMAKE_BUILD_TYPE=Debug -DKIV_SANITIZE=ON
  cmake --build build/asan -j"$jobs"
  step "tier 1 and the checks, under the sanitizers"
  run_ctest build/asan -j"$jobs" -L 'unit|lint'
  summary
  echo "quick: $passed passed, $failed failed"
  finished=1
  exit $status
fi

step "native build"
configure build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/native -j"$jobs"

step "Windows build (i686, as shipped: program, simulator, consoles, tests, package)"
configure build/win32 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-i686.cmake"
cmake --build build/win32 -j"$jobs"
echo "kiv.exe (i686, as shipped): $(stat -c %s build/win32/src/win32/kiv.exe) bytes; packages: $(ls build/win32/kiv-*-win32.zip build/win32/kiv-*-win32.msi)"

step "Windows build (x86_64)"
configure build/win64 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake"
cmake --build build/win64 -j"$jobs"

step "tier 1: native tests and the checks"
run_ctest build/native -j"$jobs"

step "fuzzing (short run)"
run_script "fuzz" bash scripts/fuzz.sh "${KIV_FUZZ_SECONDS:-60}"

# Tiers 2 and 3 of both Windows trees in one CTest run, so that its parallel slots stay full.
wine_trees=()
if bash scripts/runs-32bit.sh; then
  wine_trees+=(build/win32)
  selection=(-L 'wine|e2e' -LE covered-by-i686)
  i686_note="i686 tiers ran on build/win32; on build/win64 its tier 2 and the end-to-end scripts marked e2e-x86_64"
else
  selection=(-L 'wine|e2e')
  i686_note="i686 tiers skipped: this machine cannot execute 32-bit code (a 32-bit test program did not run), so only the x86_64 build ran under Wine, every tier"
fi
wine_trees+=(build/win64)
step "tiers 2 and 3: Windows tests and end-to-end scripts under Wine (${wine_trees[*]})"
mkdir -p build/wine-tiers
for tree in "${wine_trees[@]}"; do printf 'subdirs("%s")\n' "$top/$tree"; done >build/wine-tiers/CTestTestfile.cmake
# One Wine session per tree's prefix for the test programs that run in it, its services started
# here with their output going nowhere, so that none holds a test's output open.
wine_sessions() {  # wine_sessions start|stop
  local tree
  for tree in "${wine_trees[@]}"; do
    (
      kiv_wine_prefix "$top/$tree"
      if [ "$1" = start ]; then kiv_wine_session; else "$KIV_WINESERVER" -k 2>/dev/null || true; fi
    )
  done
}
wine_sessions start
run_ctest build/wine-tiers -j"$wine_jobs" "${selection[@]}"
wine_sessions stop

summary
echo
echo "$i686_note"
echo "all tiers: $passed passed, $failed failed"
finished=1
exit $status
