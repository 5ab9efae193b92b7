#!/usr/bin/env bash
# Runs a command with an X display: the caller's, or a private Xvfb for the command's life.
set -euo pipefail
if [ -n "${DISPLAY:-}" ]; then
  exec "$@"
fi
. "$(dirname "$0")/../../scripts/xvfb.sh"
kiv_xvfb || { echo "with-xvfb: $KIV_XVFB_ERROR" >&2; exit 1; }
trap 'kill $KIV_XVFB_PID 2>/dev/null || true' EXIT
"$@"
