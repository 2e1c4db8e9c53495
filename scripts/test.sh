#!/usr/bin/env bash
# The whole test suite from a fresh machine: installs what it needs, builds
# the native project in build/ and runs every test through CTest (the Wine
# tests of the DirectShow filter included when their tools are present).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --with-windows

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" "$@"
