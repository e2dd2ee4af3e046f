# Sourced: starts a private Xvfb when no display is set (BRINDLE_XVFB_SCREEN: its size), and stops
# it on exit.
if [ -z "${DISPLAY:-}" ]; then
  _xvfb_fd_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "${BRINDLE_XVFB_SCREEN:-1280x1024x24}" -nolisten tcp 3>"$_xvfb_fd_file" >/dev/null 2>&1 &
  BRINDLE_XVFB_PID=$!
  for _ in $(seq 100); do [ -s "$_xvfb_fd_file" ] && break; sleep 0.05; done
  export DISPLAY=":$(head -1 "$_xvfb_fd_file")"
  rm -f "$_xvfb_fd_file"
  trap 'kill $BRINDLE_XVFB_PID 2>/dev/null || true' EXIT
fi
