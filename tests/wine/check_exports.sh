#!/bin/sh
# Builds build-win32 when needed and checks that the 32-bit ZDC.dll exports
# DllCanUnloadNow, DllGetClassObject, DllRegisterServer and DllUnregisterServer
# by name at ordinals 1 to 4, and the codec's DriverProc at 5, undecorated.
# Exits 77 (skipped) without the i686 tools.
#   check_exports.sh SOURCE_DIR
set -u

root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
for tool in i686-w64-mingw32-g++-posix i686-w64-mingw32-objdump; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is not installed"
    exit 77
  fi
done
if [ -z "${ZDC_WINDOWS_BUILT:-}" ]; then
  "$root/scripts/build-windows.sh" win32 || exit 1
fi

dll="$root/build-win32/ZDC.dll"
i686-w64-mingw32-objdump -p "$dll" | awk '
  /^Ordinal Base/ { base = $3 }
  /\[Ordinal\/Name Pointer\] Table/ { table = 1; next }
  table && /^\t\[ *[0-9]+\]/ {
    line = $0; sub(/^\t\[ */, "", line)
    index_ = line; sub(/\].*/, "", index_)
    name = line; sub(/^[0-9]+\] /, "", name)
    found[name] = index_ + base; count++
    next
  }
  table && !/^\t/ { table = 0 }
  END {
    split("DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer DriverProc", want, " ")
    failed = 0
    for (i = 1; i <= 5; i++) {
      if (found[want[i]] == i) { print "ok: " want[i] " at ordinal " i }
      else { print "wrong: " want[i] " at ordinal \"" found[want[i]] "\", expected " i; failed++ }
    }
    if (count != 5) { print "wrong: " count " exports, expected 5"; failed++ }
    print (5 - (failed > 5 ? 5 : failed)) " passed, " failed " failed"
    exit failed != 0
  }'
