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
expect_same() {  # name graph-output reference-output
  if cmp -s "$2" "$3" && [ -s "$2" ]; then
    passed=$((passed + 1))
  else
    echo "$1: zdc-graph differs from zdc decode"
    failed=$((failed + 1))
  fi
}

for clip in huffman_raw arith_lzw huffman_rle luma_only damaged; do
  for format in yvu9 nv12 yv12 i420 yuy2 rgb32 rgb24; do
    graph "$clips/$clip.avi" -o "$clip.$format" --format "$format" --buffers 3 --hold 1 \
      >/dev/null 2>&1
    "$zdc" decode "$clips/$clip.avi" -o "$work/$clip.$format.ref" --format "$format" >/dev/null 2>&1
    expect_same "$clip $format" "$work/$clip.$format" "$work/$clip.$format.ref"
  done
done

# The switches, and a seek into the middle of a chain.
graph "$clips/arith_fd.avi" -o switches.yvu9 --denoise --display-mask --buffers 3 --hold 1 \
  >/dev/null 2>&1
"$zdc" decode "$clips/arith_fd.avi" -o "$work/switches.ref" --denoise --display-mask >/dev/null 2>&1
expect_same "switches" "$work/switches.yvu9" "$work/switches.ref"
graph "$clips/arith_fd.avi" -o seek.rgb32 --format rgb32 --seek 3 >/dev/null 2>&1
"$zdc" decode "$clips/arith_fd.avi" -o "$work/seek.ref" --format rgb32 --start 3 >/dev/null 2>&1
expect_same "seek to frame 3" "$work/seek.rgb32" "$work/seek.ref"

# Input it cannot use: a clear message and a non-zero exit.
printf 'not an AVI file' >"$work/bad.avi"
for bad in "bad.avi -o x" "$clips/huffman_raw.avi -o x --format abcd" "missing.avi -o x"; do
  # shellcheck disable=SC2086
  if message=$(graph $bad 2>&1) || ! echo "$message" | grep -q 'zdc-graph:'; then
    echo "zdc-graph $bad: no error ($message)"
    failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
done
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
