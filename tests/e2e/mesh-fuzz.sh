#!/usr/bin/env bash
# A short run of every fuzz target (scripts/fuzz.sh) for KIV_FUZZ_SECONDS in total (default
# 60). It needs no Windows build: the build directory passed as $1 is not used.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
exec bash "$top/scripts/fuzz.sh" "${KIV_FUZZ_SECONDS:-60}"
