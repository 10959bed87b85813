# Sourced by the scripts that need a display: starts a private Xvfb on a free display number and
# exports DISPLAY; stop_xvfb ends it.
start_xvfb() {
  local fdfile
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  TVX_XVFB_PID=$!
  for _ in $(seq 1 100); do
    [ -s "$fdfile" ] && break
    sleep 0.1
  done
  export DISPLAY=":$(head -n1 "$fdfile")"
  rm -f "$fdfile"
}
stop_xvfb() {
  if [ -n "${TVX_XVFB_PID:-}" ]; then kill "$TVX_XVFB_PID" 2>/dev/null || true; wait "$TVX_XVFB_PID" 2>/dev/null || true; fi
}
