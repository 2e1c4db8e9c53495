#!/bin/sh
# Configures and builds ZDC.dll for 64-bit and 32-bit Windows with mingw-w64.
# The modules end up at build-win64/ZDC.dll and build-win32/ZDC.dll.
#   scripts/build-windows.sh            both targets
#   scripts/build-windows.sh win64      only the one named (win64 or win32)
# BUILD_TYPE (default Release) and JOBS (default 2) can be set in the environment.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
targets=${*:-win64 win32}
build_type=${BUILD_TYPE:-Release}
jobs=${JOBS:-2}

for target in $targets; do
  case $target in
    win64) toolchain=mingw-w64-x86_64.cmake ;;
    win32) toolchain=mingw-w64-i686.cmake ;;
    *) echo "unknown target '$target' (win64 or win32)" >&2; exit 2 ;;
  esac
  build="$root/build-$target"
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" \
      -DCMAKE_BUILD_TYPE="$build_type"
  fi
  cmake --build "$build" -j "$jobs"
  echo "built $build/ZDC.dll"
done
