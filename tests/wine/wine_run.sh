#!/bin/sh
# Runs one Windows program under Wine in a prefix of its own and stops the
# prefix's wineserver afterwards; exits with the program's status.
#   wine_run.sh win64|win32 PREFIX PROGRAM [ARGUMENTS...]
# win64 programs run under wine64; win32 programs under the 32-bit loader of
# Debian's wine32:i386, in a 32-bit prefix. Exits 77 (skipped) with one line
# when that Wine is not installed or PROGRAM is not built. The prefix is made
# on first use and kept. ZDC_XVFB=1 runs the program on a virtual display when
# there is none (the filter's tests open windows).
set -u
if [ "${ZDC_XVFB:-}" = 1 ] && [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null 2>&1; then
  ZDC_XVFB=0 exec xvfb-run -a -s "-screen 0 1024x768x24" sh "$0" "$@"
fi
arch=$1 prefix=$2
shift 2

case $arch in
  win64) loader=$(command -v wine64 || echo /usr/lib/wine/wine64) ;;
  win32)
    loader=/usr/lib/wine/wine
    [ -d /usr/lib/i386-linux-gnu/wine ] || loader=""  # the 32-bit half of wine32:i386
    export WINEARCH=win32
    ;;
  *) echo "unknown Windows target '$arch' (win64 or win32)"; exit 2 ;;
esac
[ -x "$loader" ] || { echo "skipped: Wine for $arch (wine64, or wine32:i386) is not installed"; exit 77; }
[ -f "$1" ] || { echo "skipped: $1 is not built"; exit 77; }
wineserver="$(dirname "$loader")/wineserver"
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || echo wineserver)

# ZDC_FRESH_PREFIX=1 starts from a new prefix (stopping a server left by an
# interrupted run first).
if [ "${ZDC_FRESH_PREFIX:-0}" = 1 ] && [ -d "$prefix" ]; then
  WINEPREFIX="$prefix" "$wineserver" -k 2>/dev/null
  rm -rf "$prefix"
fi
# No debugger on a crash: the program ends and its status says so.
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winealsa.drv,winedbg.exe="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$loader" wineboot -i >/dev/null 2>&1 || { echo "wineboot failed in $WINEPREFIX"; exit 1; }
fi
"$loader" "$@"
status=$?
"$wineserver" -k 2>/dev/null
"$wineserver" -w 2>/dev/null
exit $status
