#!/usr/bin/env bash
# The allocation torture in full: every scenario of tests/alloc run with each allocation N of
# the tool failing alone, and with every allocation from N on failing, for every N. The
# optimised build only: the shim cannot stand in for a sanitizer's allocator. Prints one summary
# per scenario (its allocations, runs and failed runs, the boxes seen) and fails when a run
# failed. The clipboard scenario starts a display of its own (Xvfb) and skips without one.
# Usage: alloc-torture.sh [JOBS]   (default: the processors; VRK_ALLOC_BUILD_DIR: another build
# folder of the default preset's kind, default build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${1:-$(nproc)}"
build="${VRK_ALLOC_BUILD_DIR:-build/default}"

cmake --preset default -B "$build" >/dev/null
cmake --build "$build" --target vrk vrk_alloc_shim vrk_alloc_tests -j "$jobs"

VRK_ALLOC_TORTURE=full VRK_ALLOC_TORTURE_JOBS="$jobs" "$build/tests/vrk_alloc_tests"
