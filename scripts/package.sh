#!/usr/bin/env bash
# Builds both platforms as releases and writes their archives to dist/:
# vrk-VERSION-windows-x86.zip and vrk-VERSION-linux-x86_64.tar.gz.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh all

mkdir -p dist
jobs=$(nproc)
for preset in release windows-release; do
  echo "== $preset =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  (cd "build/$preset" && cpack -B "$PWD/../../dist" >/dev/null)
done
# CPack leaves its staging folder beside the archives.
rm -rf dist/_CPack_Packages
ls -l dist
