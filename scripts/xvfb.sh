# shellcheck shell=bash
# Sourced by the scripts that need an X server of their own.
# kiv_xvfb [SCREEN]: starts a private Xvfb (SCREEN as Xvfb takes it, default 1024x768x24),
# exports DISPLAY for it and sets KIV_XVFB_PID; the caller ends that process. Returns 1 with the
# reason in KIV_XVFB_ERROR when the server did not come up within a minute.
# shellcheck disable=SC2034  # KIV_XVFB_ERROR: read by the caller
kiv_xvfb() {
  local fd_file i=0
  fd_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "${1:-1024x768x24}" -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
  KIV_XVFB_PID=$!
  # Xvfb writes its display number once it accepts clients.
  until [ -s "$fd_file" ]; do
    if ! kill -0 "$KIV_XVFB_PID" 2>/dev/null; then
      KIV_XVFB_ERROR="Xvfb ended at start"
      rm -f "$fd_file"
      return 1
    fi
    if [ $i -ge 600 ]; then
      KIV_XVFB_ERROR="Xvfb gave no display number within a minute"
      rm -f "$fd_file"
      return 1
    fi
    sleep 0.1
    i=$((i + 1))
  done
  DISPLAY=":$(head -n1 "$fd_file")"
  export DISPLAY
  rm -f "$fd_file"
}
