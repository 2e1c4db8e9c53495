#!/usr/bin/env bash
# Installs the Debian packages the build and the test suite need, skipping
# those already present. Runs as root (or through sudo when available).
set -euo pipefail

# libturbojpeg: the peer decoder of the benchmark (its smoke run is part of the suite).
packages=(cmake g++ make libgtest-dev python3 libturbojpeg0-dev libjpeg62-turbo-dev)
# The VLC module and its headless tests: plugin headers, libvlc, and the
# AVI demuxer and transcoder of VLC's base plugins.
packages+=(pkg-config libvlccore-dev libvlc-dev vlc-bin vlc-plugin-base)
if [ "${1:-}" = "--with-windows" ]; then
  # The DirectShow filter: mingw-w64 cross compilers, Wine to run the x86_64
  # DLL's tests, and an X server for the property page's window.
  packages+=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine64 xvfb xauth)
fi
if [ "${ZDC_WITH_FFMPEG:-0}" = 1 ]; then
  packages+=(ffmpeg)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && command -v sudo >/dev/null && sudo=sudo
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
if ! DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
  # Mixed suites can leave apt's candidates clashing; the release's own wins.
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends -t bookworm "${missing[@]}"
fi
