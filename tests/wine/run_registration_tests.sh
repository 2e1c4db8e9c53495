#!/bin/sh
# Registers build-win64/ZDC.dll with regsvr32 in a Wine prefix made fresh for
# this run (build-win64/registration-prefix), checks the registry, the filter
# mapper and creation through the registry, unregisters it twice, and stops
# the prefix's wineserver. Runs itself under xvfb-run when there is no
# display (the page's class measures its dialog). Exits 77 (skipped) without
# wine64 or the mingw-w64 compilers.
#   run_registration_tests.sh SOURCE_DIR
set -u

root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
if [ -z "${DISPLAY:-}" ] && [ -z "${ZDC_NO_XVFB:-}" ] && command -v xvfb-run >/dev/null 2>&1; then
  ZDC_NO_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" sh "$0" "$root"
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

export WINEPREFIX="$build/registration-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winealsa.drv="
# Stop a server left from an interrupted run before its prefix goes.
[ -d "$WINEPREFIX" ] && "$wineserver" -k 2>/dev/null
rm -rf "$WINEPREFIX"
"$wine" wineboot -i >/dev/null 2>&1 || { echo "wineboot failed"; exit 1; }

cd "$build"
"$wine" ./zdc_registration_tests.exe 'ZDC.dll'
status=$?
"$wineserver" -k 2>/dev/null
"$wineserver" -w 2>/dev/null
exit $status
