# Sourced by the scripts that need an X server of their own.
# kiv_xvfb [SCREEN]: starts a private Xvfb (SCREEN as Xvfb takes it, default 1024x768x24),
# exports DISPLAY for it and sets KIV_XVFB_PID; the caller ends that process.
kiv_xvfb() {
  local fd_file
  fd_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "${1:-1024x768x24}" -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
  KIV_XVFB_PID=$!
  for _ in $(seq 50); do
    [ -s "$fd_file" ] && break
    sleep 0.1
  done
  export DISPLAY=":$(head -n1 "$fd_file")"
  rm -f "$fd_file"
}
