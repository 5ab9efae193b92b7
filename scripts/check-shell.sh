#!/usr/bin/env bash
# Runs shellcheck over every shell script of the tree (scripts/, tests/, .ci/run, the tools' scripts),
# following the files they source.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
mapfile -t files < <({ git ls-files '*.sh' .ci/run 2>/dev/null || find . -name '*.sh' -not -path './build/*'; } | sort -u)
# A few scripts to a shellcheck process, one process per core: each follows what its scripts source.
printf '%s\0' "${files[@]}" | xargs -0 -n 6 -P "$(nproc)" shellcheck
echo "check-shell: ${#files[@]} scripts clean"
