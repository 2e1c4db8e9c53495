#!/bin/sh
# Runs one of the Windows test programs under Wine with the DLL of one build:
#   run_wine_tests.sh SOURCE_DIR filter [win64|win32]        the filter, graph and
#       page tests, in build-winNN/wineprefix (kept)
#   run_wine_tests.sh SOURCE_DIR registration [win64|win32]  regsvr32 and the
#       registry, in build-winNN/registration-prefix, made fresh for every run
# win64 (the default) runs the x86_64 DLL under wine64, win32 the i686 DLL
# under 32-bit Wine. Builds the tree first unless ZDC_WINDOWS_BUILT is set. Without a display it runs
# itself again under xvfb-run, so that the property page has a desktop to open
# on. Exits 77 (skipped) without that Wine or the mingw-w64 compilers.
set -u

root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
mode=${2:-filter}
arch=${3:-win64}
if [ -z "${DISPLAY:-}" ] && [ -z "${ZDC_NO_XVFB:-}" ] && command -v xvfb-run >/dev/null 2>&1; then
  ZDC_NO_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" sh "$0" "$root" "$mode" "$arch"
fi
case $arch in
  win64) compiler=x86_64-w64-mingw32-g++-posix ;;
  win32) compiler=i686-w64-mingw32-g++-posix ;;
  *) echo "unknown Windows target '$arch' (win64 or win32)"; exit 2 ;;
esac
if ! command -v "$compiler" >/dev/null 2>&1; then
  echo "skipped: the mingw-w64 compiler $compiler is not installed"
  exit 77
fi

build="$root/build-$arch"
if [ -z "${ZDC_WINDOWS_BUILT:-}" ]; then
  "$root/scripts/build-windows.sh" "$arch" >/dev/null || exit 1
fi
case "$mode" in
  filter)
    prefix="$build/wineprefix"
    program=zdc_filter_tests.exe
    ;;
  registration)
    prefix="$build/registration-prefix"
    program=zdc_registration_tests.exe
    export ZDC_FRESH_PREFIX=1
    ;;
  *)
    echo "unknown test program '$mode'"
    exit 2
    ;;
esac
cd "$build" && exec sh "$root/tests/wine/wine_run.sh" "$arch" "$prefix" "./$program" ZDC.dll
