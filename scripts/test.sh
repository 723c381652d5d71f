#!/usr/bin/env bash
# Installs what is missing, builds the release archives and every configuration (Linux, Linux
# with sanitizers, 32-bit Windows) and runs every test suite, the Windows one under Wine, the
# archives' own tests among them; then the fuzz targets.
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

# The release archives, unpacked where the suites of each build find them.
bash scripts/package.sh
unpacked="$root/build/release-unpacked"
rm -rf "$unpacked"
mkdir -p "$unpacked/linux" "$unpacked/windows"
(cd "$unpacked/linux" && cmake -E tar xf "$root"/dist/vrk-*-linux-x86_64.tar.gz)
(cd "$unpacked/windows" && cmake -E tar xf "$root"/dist/vrk-*-windows-x86.zip)

jobs=$(nproc)
for preset in default asan windows; do
  echo "== $preset =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  if [[ "$preset" == windows ]]; then
    # The suites share one Wine prefix, and the proxy tests change its registry. The HTTPS
    # tests start the Linux build's TLS peer under Wine.
    VRK_TLS_PEER="$root/build/default/tools/tls_peer/vrk_tls_peer" \
      VRK_RELEASE_FOLDER=$(echo "$unpacked"/windows/vrk-*) ctest --preset "$preset" -j 1
  else
    VRK_RELEASE_FOLDER=$(echo "$unpacked"/linux/vrk-*) ctest --preset "$preset" -j "$jobs"
  fi
done

# Every fuzz target for a while from its seed corpus; a crash, sanitizer report or leak
# fails the run (longer runs: scripts/fuzz.sh SECONDS).
echo "== fuzz =="
bash scripts/fuzz.sh 20
