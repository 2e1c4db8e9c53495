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

# Hardening, after the suite itself: the suite again under AddressSanitizer
# and UndefinedBehaviorSanitizer (build-san/), the concurrency test under
# ThreadSanitizer (build-tsan/), then every fuzz target for a bounded time
# (build-fuzz/). Each stage installs what it needs and fails the run on any
# finding. ZDC_SANITIZE=0 skips the sanitizer builds; ZDC_FUZZ_SECONDS sets
# the time per fuzz target (0 skips fuzzing).
if [ "${ZDC_SANITIZE:-1}" != 0 ]; then
  scripts/sanitize.sh
fi
fuzz_seconds=${ZDC_FUZZ_SECONDS:-20}
if [ "$fuzz_seconds" != 0 ]; then
  scripts/fuzz.sh "$fuzz_seconds"
fi
