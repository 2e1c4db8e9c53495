#!/usr/bin/env bash
# The first thing to run on a fresh machine: installs the build tools when
# missing, builds ZDC in build/ and decodes the shipped sample clip into out/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target zdc >/dev/null
exec build/zdc demo "$@"
