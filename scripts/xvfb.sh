# Sourced: makes sure DISPLAY names a running X server, starting Xvfb when needed
# (its process id then stands in VRK_XVFB_PID).
vrk_ensure_display() {
  if [[ -n "${DISPLAY:-}" ]] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local display=":${VRK_XVFB_DISPLAY:-97}"
  export DISPLAY="$display"
  if xdpyinfo >/dev/null 2>&1; then return 0; fi
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
  export VRK_XVFB_PID=$!
  for _ in $(seq 1 100); do
    xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "Xvfb did not start on $display" >&2
  return 1
}
