#!/bin/sh
# zdc-graph.exe under Wine against the native command line: every golden clip
# in every output format, through a sink whose allocator has 3 buffers and
# which holds one sample (as a renderer's flipping chain), must give the
# bytes of `zdc decode --format`; so must the switches and a seek; bad input
# must fail with a message.
#   check_graph.sh SOURCE_DIR win64|win32 ZDC
set -u
root=$1 arch=$2 zdc=$3
tree="$root/build-$arch"
[ -f "$tree/zdc-graph.exe" ] || { echo "skipped: $tree/zdc-graph.exe is not built"; exit 77; }
clips="$root/tests/golden/clips"
work=$(mktemp -d "$tree/graph-check.XXXXXX")
trap 'rm -rf "$work"' EXIT
graph() { (cd "$work" && sh "$root/tests/wine/wine_run.sh" "$arch" "$tree/graph-prefix" \
  "$tree/zdc-graph.exe" "$@"); }

failed=0 passed=0
count() {  # ok-status message-if-not
  if [ "$1" -eq 0 ]; then passed=$((passed + 1)); else echo "$2"; failed=$((failed + 1)); fi
}
compare() {  # name clip graph-switches zdc-switches
  # shellcheck disable=SC2086
  graph "$clips/$2.avi" -o "$1.out" --buffers 3 --hold 1 $3 >/dev/null 2>&1
  # shellcheck disable=SC2086
  "$zdc" decode "$clips/$2.avi" -o "$work/$1.ref" $4 >/dev/null 2>&1
  cmp -s "$work/$1.out" "$work/$1.ref" && [ -s "$work/$1.out" ]
  count $? "$1: zdc-graph differs from zdc decode"
}

for clip in huffman_raw arith_lzw huffman_rle luma_only damaged; do
  for format in yvu9 nv12 yv12 i420 yuy2 rgb32 rgb24; do
    compare "$clip.$format" $clip "--format $format" "--format $format"
  done
done
# The switches, and a seek into the middle of a chain.
compare switches arith_fd "--denoise --display-mask" "--denoise --display-mask"
compare seek arith_fd "--format rgb32 --seek 3" "--format rgb32 --start 3"

# Input it cannot use: a clear message and a non-zero exit.
printf 'not an AVI file' >"$work/bad.avi"
for bad in "bad.avi -o x" "$clips/huffman_raw.avi -o x --format abcd" "missing.avi -o x"; do
  # shellcheck disable=SC2086
  ! message=$(graph $bad 2>&1) && echo "$message" | grep -q 'zdc-graph:'
  count $? "zdc-graph $bad: no error ($message)"
done
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
