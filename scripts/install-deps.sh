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

sudo=""
[ "$(id -u)" -ne 0 ] && command -v sudo >/dev/null && sudo=sudo
apt_install() {
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$@"
}

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq || true
  # Mixed suites can leave apt's candidates clashing; the release's own wins.
  apt_install "${missing[@]}" || apt_install -t bookworm "${missing[@]}"
fi

# 32-bit Wine runs the i686 build's tests. When the security archive's i386
# index lags behind the amd64 one, apt holds back the 32-bit half of a
# library that both architectures need at one version: each package it names
# is then pinned, for both architectures, to the newest version the i386 index
# has. Failing that, the i686 tests skip with a message; the rest goes on.
install_wine32() {
  dpkg -s wine32:i386 >/dev/null 2>&1 && return 0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -qq || true
  apt_install wine32:i386 2>/dev/null && return 0
  local pins=() held name version
  for _ in 1 2 3 4 5 6; do
    apt_install --allow-downgrades -t bookworm wine32:i386 "${pins[@]}" 2>/dev/null && return 0
    # apt names the held packages only when it is not quiet; a simulation asks.
    held=$($sudo apt-get install -s --no-install-recommends --allow-downgrades -t bookworm \
      wine32:i386 "${pins[@]}" 2>&1 | grep -oE 'Depends: [^ ]+:i386' |
      sed 's/^Depends: //; s/:i386$//' | sort -u || true)
    [ -n "$held" ] || break
    for name in $held; do
      version=$(apt-cache madison "$name:i386" | awk -F'|' 'NR == 1 { gsub(/ /, "", $2); print $2 }')
      [ -n "$version" ] && pins+=("$name:amd64=$version" "$name:i386=$version")
    done
  done
  echo "32-bit Wine could not be installed; the i686 build's tests will be skipped"
}
if [ "${1:-}" = "--with-windows" ]; then
  install_wine32
fi
