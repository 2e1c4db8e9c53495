#!/bin/sh
# Golden decodes: every frame of the shipped sample and of the golden clips
# (in the decoder's layout and in every converted format),
# decoded by one build of zdc with the portable kernels forced and with the
# best the processor has, must hash to the values checked in (hashes.txt).
# The table is the decoder's own record: a change of decoded output needs a
# deliberate update of it (--update, native build only).
#   check_golden.sh SOURCE_DIR native ZDC [--update]
#   check_golden.sh SOURCE_DIR win64|win32 PREFIX ZDC.EXE   (under Wine)
set -u
root=$1 build=$2
shift 2
case $build in
  native) run() { "$zdc" "$@"; }; zdc=$(cd "$(dirname "$1")" && pwd)/$(basename "$1"); update=${2:-} ;;
  win64 | win32)
    prefix=$1 zdc=$2 update=""
    [ -f "$zdc" ] || { echo "skipped: $zdc is not built"; exit 77; }
    run() { sh "$root/tests/wine/wine_run.sh" "$build" "$prefix" "$zdc" "$@"; } ;;
  *) echo "unknown build '$build'"; exit 2 ;;
esac
table="$root/tests/golden/hashes.txt"
clips="$root/tests/golden/clips"
work=$(mktemp -d "${TMPDIR:-/tmp}/zdc-golden.XXXXXX")
trap 'rm -rf "$work"' EXIT

# name, clip, decode switches; each case names the paths it covers.
cases="sample $root/samples/testsrc2.avi -
huffman_raw $clips/huffman_raw.avi -
huffman_raw_denoise $clips/huffman_raw.avi --denoise
arith_lzw $clips/arith_lzw.avi -
huffman_rle_low_quality $clips/huffman_rle.avi -
arith_fd $clips/arith_fd.avi -
arith_fd_display_mask $clips/arith_fd.avi --display-mask
luma_only_mixed_coders $clips/luma_only.avi -
luma_only_denoise_mask $clips/luma_only.avi --denoise --display-mask
damaged $clips/damaged.avi -
$(for f in nv12 yv12 i420 yuy2 rgb32; do echo "odd_size_$f $clips/huffman_raw.avi --format $f"; done)
yuv410p $clips/arith_lzw.avi --format yuv410p
luma_only_rgb24_grey $clips/luma_only.avi --format rgb24"

hash_frames() {  # name output frames -> "name frame md5" lines
  size=$(wc -c <"$2")
  [ $((size % $3)) -eq 0 ] || { echo "$1 output of $size bytes is not $3 frames"; return; }
  split -n "$3" -a 3 -d "$2" "$2.frame-"
  md5sum "$2".frame-* | awk -v name="$1" '{ print name, NR - 1, $1 }'
}

echo "$cases" | while read -r name clip switches; do
  [ "$switches" = - ] && switches=""
  frames=$(grep -c "^$name " "$table")
  [ "$update" = --update ] && frames=$("$zdc" info "$clip" | sed -n 's/^frames: *//p')
  for mask in 0 best; do
    out="$work/$name-$mask.yuv"
    # Relative output path: the Windows program sees the same folder.
    (cd "$work" && if [ $mask = best ]; then unset ZDC_CPU_MASK; else export ZDC_CPU_MASK=0; fi &&
      run decode "$clip" -o "$(basename "$out")" $switches >/dev/null 2>&1) ||
      echo "$name: decode failed (ZDC_CPU_MASK=$mask)" >&2
    hash_frames "$name" "$out" "$frames" >"$out.md5"
  done
  cmp -s "$out.md5" "$work/$name-0.yuv.md5" || echo "$name: portable and best kernels differ" >&2
  cat "$out.md5"
done >"$work/actual.txt" 2>"$work/errors.txt"

if [ "$update" = --update ]; then
  cp "$work/actual.txt" "$table"
  echo "wrote $(wc -l <"$table") frame hashes to $table"
  exit 0
fi
cat "$work/errors.txt"
if [ -s "$work/errors.txt" ] || ! diff -u "$table" "$work/actual.txt"; then
  echo "$build: golden decodes differ"
  exit 1
fi
echo "$build: $(wc -l <"$table") frames equal their golden hashes, portable and best kernels"
