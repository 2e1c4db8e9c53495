#!/bin/sh
# Checks that the 32-bit ZDC.dll exports DllCanUnloadNow, DllGetClassObject,
# DllRegisterServer and DllUnregisterServer by name at ordinals 1 to 4, the
# codec's DriverProc at 5, undecorated, and nothing else. Exits 77 (skipped)
# without the i686 tools or the build.
#   check_exports.sh SOURCE_DIR
set -u
dll="$1/build-win32/ZDC.dll"
if ! command -v i686-w64-mingw32-objdump >/dev/null 2>&1 || [ ! -f "$dll" ]; then
  echo "skipped: no i686-w64-mingw32-objdump or no $dll"
  exit 77
fi
# The name table lists each name with its ordinal less the base.
got=$(i686-w64-mingw32-objdump -p "$dll" | awk '
  /^Ordinal Base/ { base = $3 }
  /\[Ordinal\/Name Pointer\] Table/ { table = 1; next }
  table && /^\t\[/ { gsub(/[][]/, " "); print $1 + base, $2; next }
  table { exit }')
want="1 DllCanUnloadNow
2 DllGetClassObject
3 DllRegisterServer
4 DllUnregisterServer
5 DriverProc"
if [ "$got" != "$want" ]; then
  printf 'exports:\n%s\nexpected:\n%s\n1 failed\n' "$got" "$want"
  exit 1
fi
echo "1 passed, 0 failed"
