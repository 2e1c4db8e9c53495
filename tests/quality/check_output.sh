#!/bin/sh
# Runs a program of one build and compares what it prints with a file checked
# into the repository (line endings of Windows programs ignored):
#   check_output.sh EXPECTED native PROGRAM [ARGUMENTS...]
#   check_output.sh EXPECTED win64|win32 PREFIX PROGRAM [ARGUMENTS...]
# The Windows forms run under Wine (see tests/wine/wine_run.sh) and exit 77
# when that Wine is missing.
set -u
expected=$1 build=$2
shift 2
out=$(mktemp)
trap 'rm -f "$out"' EXIT
case $build in
  native) "$@" >"$out" ;;
  win64 | win32)
    [ -f "$2" ] || { echo "skipped: $2 is not built"; exit 77; }
    sh "$(dirname "$0")/../wine/wine_run.sh" "$build" "$@" >"$out" ;;
  *) echo "unknown build '$build'"; exit 2 ;;
esac
status=$?
[ $status -eq 0 ] || { cat "$out"; exit $status; }
tr -d '\r' <"$out" | diff -u "$expected" - >&2 || { echo "$build output differs from $expected"; exit 1; }
echo "$build output equals $(basename "$expected")"
