#!/usr/bin/env bash
# Runs a Windows program under Wine for the tests: a prefix of our own inside the
# build tree, a virtual display, and a Czech locale so that code page 1250 is the
# programs' ANSI code page, as on the Windows our users run.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
program="$1"
shift

build_dir="${VRK_WINE_BUILD_DIR:-}"
if [[ -z "$build_dir" ]]; then
  # The program lies somewhere below the build folder that holds CMakeCache.txt.
  build_dir="$(cd "$(dirname "$program")" && pwd)"
  while [[ "$build_dir" != / && ! -f "$build_dir/CMakeCache.txt" ]]; do build_dir="$(dirname "$build_dir")"; done
fi
export WINEPREFIX="${WINEPREFIX:-$build_dir/wineprefix}"
export WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# Wine converts Czech file names and arguments with the Czech UTF-8 locale, which a fresh
# machine has not generated: it is made once into the build folder and read from there.
locales="$build_dir/locale"
if [[ ! -f "$locales/cs_CZ.UTF-8/LC_CTYPE" ]]; then
  (
    flock 9
    if [[ ! -f "$locales/cs_CZ.UTF-8/LC_CTYPE" ]]; then
      mkdir -p "$locales"
      localedef -i cs_CZ -f UTF-8 "$locales/cs_CZ.UTF-8" >/dev/null 2>&1 || true
    fi
  ) 9>"$build_dir/.locale.lock"
fi
# Set for Wine only (through env): the shell would warn that the locale is not installed.
czech=(env LOCPATH="$locales" LANG=cs_CZ.UTF-8 LC_ALL=cs_CZ.UTF-8)

source "$here/xvfb.sh"
vrk_ensure_display

# The prefix is made once; programs started meanwhile wait for it to be complete.
if [[ ! -f "$WINEPREFIX/.vrk-ready" ]]; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [[ ! -f "$WINEPREFIX/.vrk-ready" ]]; then
      "${czech[@]}" wineboot -i >/dev/null 2>&1 || true
      # Without a window manager, Wine waits for one each time a shown window closes.
      "${czech[@]}" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
      wineserver -w || true
      touch "$WINEPREFIX/.vrk-ready"
    fi
  ) 9>"$build_dir/.wineprefix.lock"
fi
exec "${czech[@]}" wine "$program" "$@"
