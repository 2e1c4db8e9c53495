#!/usr/bin/env bash
# Remakes the shipped sample clip, samples/testsrc2.avi, from FFmpeg's
# generated "testsrc2" pattern (moving colour bars, a counter and a gradient;
# free to ship): four seconds of 320x240 at 25 frames per second, QZV2, key
# frames every second, the Huffman and the arithmetic coding alternating frame
# by frame so that both appear in key and delta frames.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v ffmpeg >/dev/null || ZDC_WITH_FFMPEG=1 scripts/install-deps.sh
[ -x build/zdc ] || { cmake -S . -B build -DCMAKE_BUILD_TYPE=Release && cmake --build build -j"$(nproc)"; }
ffmpeg -v error -f lavfi -i testsrc2=size=320x240:rate=25 -t 4 -pix_fmt yuv420p -f yuv4mpegpipe - |
  build/zdc encode - -o samples/testsrc2.avi --fourcc QZV2 --quality 60 --keyint 25 --coder huffman,arith
