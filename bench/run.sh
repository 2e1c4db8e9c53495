#!/usr/bin/env bash
# Builds and runs the decoding benchmark: ZDC against libjpeg-turbo on the
# same pictures at the same bits per pixel. Installs what it needs when it is
# missing (TurboJPEG and the libjpeg API of libjpeg-turbo, libyuv as the
# peer of the output conversions, and the Debian
# package with the photo the benchmark codes), builds zdc-bench in build/
# (or $ZDC_BUILD_DIR) and runs it with the arguments given, e.g.
#   bench/run.sh            # the full run, under two minutes
#   bench/run.sh --quick    # a few seconds on a small synthetic picture
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${ZDC_BUILD_DIR:-build}
photo=/usr/share/backgrounds/aitzgorri_by_Aitzol_Berasategi.jpg

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
[ -f /usr/include/turbojpeg.h ] || need+=(libturbojpeg0-dev)
[ -f /usr/include/jpeglib.h ] || need+=(libjpeg62-turbo-dev)
[ -f /usr/include/libyuv.h ] || need+=(libyuv-dev)
if [ ${#need[@]} -gt 0 ]; then
  as_root apt-get update
  as_root apt-get install -y --no-install-recommends "${need[@]}"
fi
# The photo is welcome but not required: without it the benchmark codes its
# synthetic landscape and says so.
if [ ! -f "$photo" ]; then
  as_root apt-get install -y --no-install-recommends lomiri-wallpapers-16.04 ||
    echo "bench/run.sh: no photo package; the synthetic scene will be used" >&2
fi

cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build_dir" -j2 --target zdc-bench
exec "$build_dir/zdc-bench" "$@"
