#!/usr/bin/env bash
# The native test suite under the sanitizers, each build in its own folder:
#
#   build-san   AddressSanitizer and UndefinedBehaviorSanitizer (g++), every
#               report fatal, and the standard library's own bounds checks;
#               the whole unit and end-to-end suite via CTest (the Wine tests
#               of the DLL are left to the normal build)
#   build-tsan  ThreadSanitizer; the concurrency tests, where the settings
#               change on one thread while another decodes, and the batch
#               decode's threads
#
# Exits non-zero on any failed test or sanitizer report.
#
# Usage: scripts/sanitize.sh [asan|tsan]...   (default: both)
set -euo pipefail
cd "$(dirname "$0")/.."

stages=("$@")
[ ${#stages[@]} -eq 0 ] && stages=(asan tsan)

scripts/install-deps.sh

configure() {
  local dir=$1 flags=$2
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" >/dev/null
}

for stage in "${stages[@]}"; do
  case "$stage" in
    asan)
      echo "== AddressSanitizer + UndefinedBehaviorSanitizer (build-san)"
      configure build-san "-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -D_GLIBCXX_ASSERTIONS"
      cmake --build build-san -j2
      ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1 \
      UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir build-san --output-on-failure -j2 -LE 'wine|windows'
      ;;
    tsan)
      echo "== ThreadSanitizer (build-tsan)"
      configure build-tsan "-fsanitize=thread -fno-omit-frame-pointer"
      cmake --build build-tsan -j2 --target zdc_concurrency_tests zdc_cli_tests
      # halt_on_error: the first report fails the run, whatever the test says.
      export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:exitcode=66
      build-tsan/tests/concurrency/zdc_concurrency_tests
      # The batch decode's threads, through the tool itself.
      build-tsan/tests/cli/zdc_cli_tests --gtest_filter='*Batch*'
      ;;
    *)
      echo "unknown stage $stage (asan or tsan)" >&2
      exit 2
      ;;
  esac
done
