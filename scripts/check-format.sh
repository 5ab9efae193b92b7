#!/usr/bin/env bash
# The C++ lines a change touches, held to .clang-format: the lines that differ from the base (the
# merge base of HEAD with KIV_FORMAT_BASE, else with origin/main, else with main), committed or
# not. Lines the change does not touch are not checked. Without git or a base (a tarball, a clone
# of main itself) there is nothing to compare, and it says so.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
if ! git rev-parse --verify -q HEAD >/dev/null 2>&1; then
  echo "check-format: not a git checkout, nothing to compare"
  exit 0
fi
base=
for ref in ${KIV_FORMAT_BASE:-} origin/main main; do
  if git rev-parse --verify -q "$ref^{commit}" >/dev/null; then
    base=$(git merge-base HEAD "$ref") && break
  fi
done
if [ -z "$base" ]; then
  echo "check-format: no base branch (origin/main or main), nothing to compare"
  exit 0
fi
diff=$(git clang-format --binary "$(command -v clang-format)" --style file --diff --extensions cpp,h "$base" -- src tests tools)
case $diff in
*"diff --git"*)
  printf '%s\n' "$diff"
  echo "check-format: the lines above, changed since $(git rev-parse --short "$base"), differ from .clang-format; git clang-format $base fixes them"
  exit 1
  ;;
esac
echo "check-format: the C++ lines changed since $(git rev-parse --short "$base") follow .clang-format"
