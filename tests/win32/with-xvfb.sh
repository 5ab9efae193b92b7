#!/usr/bin/env bash
# Runs a command with an X display: the caller's, or a private Xvfb for the command's life.
set -euo pipefail
if [ -n "${DISPLAY:-}" ]; then
  exec "$@"
fi
fd_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -f "$fd_file"' EXIT
for _ in $(seq 50); do
  [ -s "$fd_file" ] && break
  sleep 0.1
done
export DISPLAY=":$(head -n1 "$fd_file")"
"$@"
