#!/usr/bin/env bash
# Runs a command inside a private session bus with the accessibility bus on it, under a display
# (Xvfb when none), so that GTK programs started by the command publish their widgets there.
# Usage: accessibility-session.sh COMMAND [ARGS...]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/xvfb.sh"
vrk_ensure_display
trap '[[ -n "${VRK_XVFB_PID:-}" ]] && kill "$VRK_XVFB_PID" 2>/dev/null || true' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

inner() {
  # GTK 3 loads its bridge itself unless told not to; it asks the session bus for the
  # accessibility bus's address, which the launcher hands out.
  unset NO_AT_BRIDGE
  export GNOME_ACCESSIBILITY=1
  # Asking for the address starts the launcher (org.a11y.Bus) by bus activation; the registry
  # daemon follows when the first program joins the accessibility bus.
  for _ in $(seq 1 50); do
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
      >/dev/null 2>&1 && break
    sleep 0.1
  done
  "$@"
}
export -f inner
dbus-run-session -- bash -c 'inner "$@"' inner "$@"
