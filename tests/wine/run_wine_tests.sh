#!/bin/sh
# Runs one of the Windows test programs under wine64 with the x86_64 DLL:
#   run_wine_tests.sh SOURCE_DIR filter        the filter, graph and page tests,
#                                              in build-win64/wineprefix (kept)
#   run_wine_tests.sh SOURCE_DIR registration  regsvr32 and the registry, in
#                                              build-win64/registration-prefix,
#                                              made fresh for every run
# Builds build-win64 (ZDC.dll and the test programs) when needed and stops the
# prefix's wineserver afterwards. Without a display it runs itself again under
# xvfb-run, so that the property page has a desktop to open on. Exits 77
# (skipped) without wine64 or the mingw-w64 compilers.
set -u

root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
mode=${2:-filter}
if [ -z "${DISPLAY:-}" ] && [ -z "${ZDC_NO_XVFB:-}" ] && command -v xvfb-run >/dev/null 2>&1; then
  ZDC_NO_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" sh "$0" "$root" "$mode"
fi
wine=""
for candidate in wine64 /usr/lib/wine/wine64; do
  if command -v "$candidate" >/dev/null 2>&1; then wine=$(command -v "$candidate"); break; fi
done
if [ -z "$wine" ]; then
  echo "skipped: wine64 is not installed"
  exit 77
fi
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1; then
  echo "skipped: the mingw-w64 x86_64 compiler (posix threads) is not installed"
  exit 77
fi
wineserver="$(dirname "$wine")/wineserver"
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || echo wineserver)

build="$root/build-win64"
"$root/scripts/build-windows.sh" win64 || exit 1

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winealsa.drv="
case "$mode" in
  filter)
    export WINEPREFIX="$build/wineprefix"
    program=zdc_filter_tests.exe
    ;;
  registration)
    export WINEPREFIX="$build/registration-prefix"
    program=zdc_registration_tests.exe
    # Stop a server left from an interrupted run before its prefix goes.
    [ -d "$WINEPREFIX" ] && "$wineserver" -k 2>/dev/null
    rm -rf "$WINEPREFIX"
    ;;
  *)
    echo "unknown test program '$mode'"
    exit 2
    ;;
esac
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$wine" wineboot -i >/dev/null 2>&1 || { echo "wineboot failed"; exit 1; }
fi

cd "$build"
"$wine" "./$program" 'ZDC.dll'
status=$?
"$wineserver" -k 2>/dev/null
"$wineserver" -w 2>/dev/null
exit $status
