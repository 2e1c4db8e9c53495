#!/bin/sh
# Writes the golden clips, one per decoding path (run once; the clips are
# checked in, so that a change of the encoder does not move them):
#   make_clips.sh ZDC OUTDIR
# The source is a small moving picture (100x52: neither size a multiple of 8
# or 32) with texture, so delta frames code some blocks and skip others.
set -eu
zdc=$1 out=$2
mkdir -p "$out"
python3 - "$out/source.y4m" <<'PY'
import sys
w, h, frames = 100, 52, 8
with open(sys.argv[1], "wb") as f:
    f.write(b"YUV4MPEG2 W%d H%d F25:1 Ip A1:1 C420jpeg\n" % (w, h))
    for t in range(frames):
        y = bytes((x * 2 + r + ((x * 7 + r * 13) % 23) * 3 + (60 if abs(x - 20 - 9 * t) < 12 and r > 20 else 0)) & 0xFF
                  for r in range(h) for x in range(w))
        u = bytes((128 + x - r + 4 * t) & 0xFF for r in range(h // 2) for x in range(w // 2))
        v = bytes((100 + 2 * r + x // 3) & 0xFF for r in range(h // 2) for x in range(w // 2))
        f.write(b"FRAME\n" + y + u + v)
PY
encode() { name=$1; shift; "$zdc" encode "$out/source.y4m" -o "$out/$name.avi" --keyint 5 "$@" >/dev/null; }
encode huffman_raw --fourcc QZV2 --coder huffman --mask raw --quality 40
encode arith_lzw --fourcc QZV4 --coder arith --mask lzw --quality 29
encode huffman_rle --fourcc QZV2 --coder huffman --mask rle --quality 4
encode arith_fd --fourcc QZV4 --coder arith --mask fd --quality 58
encode luma_only --fourcc QZV3 --coder huffman,arith --mask auto --quality 75
rm "$out/source.y4m"

# Damage: garbage inside the coefficients of the first delta frame, and a luma
# length far past the end of the sample in the third.
python3 - "$out/arith_fd.avi" "$out/damaged.avi" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
chunks, at = [], data.find(b"movi")
while (at := data.find(b"00dc", at + 4)) >= 0:
    chunks.append(at + 8)
data[chunks[1] + 60:chunks[1] + 90] = b"\xA5" * 30
data[chunks[3] + 8:chunks[3] + 12] = (0x7FFFFFF0).to_bytes(4, "little")
open(sys.argv[2], "wb").write(data)
PY
