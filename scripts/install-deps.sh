#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and only those missing.
# Usage: install-deps.sh [posix|all]   (default: all, which adds the Windows build and Wine)
set -euo pipefail

scope="${1:-all}"

packages=(g++ cmake make googletest libgtest-dev libcurl4-openssl-dev xclip nginx squid
          curl wget)
# The user guide's check parses it as XML.
packages+=(libxml2-utils)
# HTTPS text fetches: the OpenSSL 3 headers (the tool loads libssl.so.3 itself, never links it;
# the TLS test peer links it).
packages+=(libssl-dev)
# The power-cut test makes xfs and btrfs images (ext4's tools come with the system).
packages+=(xfsprogs btrfs-progs)
# The fuzz preset: clang, its libFuzzer and sanitizer runtimes (only recommended by clang)
# and the symbolizer that puts names and lines into a finding's stack.
packages+=(clang libclang-rt-dev llvm)
# Delivery on Linux goes over the accessibility bus: its daemons and the session bus, the
# libatspi headers (the tool loads libatspi.so.0 itself, never links it), and for the tests a
# GTK and a Qt 5 receiving program in Python under a virtual display.
packages+=(at-spi2-core libatspi2.0-dev dbus dbus-x11 python3-gi gir1.2-gtk-3.0 gir1.2-atspi-2.0
           python3-pyqt5 xvfb x11-utils)
if [[ "$scope" == all ]]; then
  # The Windows build: mingw-w64 for 32-bit Windows, Wine with its 32-bit part, a virtual display.
  packages+=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev
             binutils-mingw-w64-i686 wine wine32:i386)
  # The Czech locale's sources, which the Wine runs generate for their Czech file names.
  packages+=(locales)
fi

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

need_update=false
if [[ "$scope" == all ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=true
fi

missing=()
for package in "${packages[@]}"; do
  installed "$package" || missing+=("$package")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  need_update=true
fi
if $need_update; then
  apt-get update -qq
fi
if ((${#missing[@]})); then
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
