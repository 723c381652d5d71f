#!/usr/bin/env bash
# Installs what is missing, builds every configuration (Linux, Linux with sanitizers,
# 32-bit Windows) and runs every test suite, the Windows one under Wine; then the fuzz targets.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"

bash scripts/install-deps.sh all

# One virtual display for every Windows test, and no Wine or X process left behind.
source scripts/xvfb.sh
export VRK_XVFB_DISPLAY="${VRK_XVFB_DISPLAY:-97}"
cleanup() {
  WINEPREFIX="$root/build/windows/wineprefix" wineserver -k 2>/dev/null || true
  if [[ -n "${VRK_XVFB_PID:-}" ]]; then kill "$VRK_XVFB_PID" 2>/dev/null || true; fi
}
trap cleanup EXIT

# The clipboard tests of the Linux build need the display too.
vrk_ensure_display

jobs=$(nproc)
for preset in default asan windows; do
  echo "== $preset =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  if [[ "$preset" == windows ]]; then
    # The suites share one Wine prefix, and the proxy tests change its registry.
    ctest --preset "$preset" -j 1
  else
    ctest --preset "$preset" -j "$jobs"
  fi
done

# Every fuzz target for a while from its seed corpus; a crash, sanitizer report or leak
# fails the run (longer runs: scripts/fuzz.sh SECONDS).
echo "== fuzz =="
bash scripts/fuzz.sh 20
