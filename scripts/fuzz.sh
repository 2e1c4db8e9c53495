#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz/ (clang, with AddressSanitizer
# and UndefinedBehaviorSanitizer), writes their seed corpora with the encoder
# and runs each target for SECONDS seconds (default 20) with its seeds and
# dictionary. Prints the executions and the coverage of every target.
#
# Exits non-zero when any target finds anything: a crash, a sanitizer report,
# a failed check, a leak, an input that runs too long or takes too much
# memory. The inputs are kept in build-fuzz/findings/; replay one with
#   build-fuzz/<target>_fuzzer build-fuzz/findings/<file>
#
# Then every corpus is replayed in a MemorySanitizer build (build-fuzz/msan/),
# which finds reads of memory never written; ZDC_FUZZ_MSAN=0 skips this. The
# AVI and y4m readers are left out there: they read through the standard
# streams library, which MemorySanitizer cannot follow.
#
# With ZDC_FUZZ_COVERAGE=1 the corpora are then replayed in a build with
# clang's source coverage (build-fuzz/coverage/) and the line and branch
# coverage of the decoder and the AVI and y4m readers is printed.
#
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
# Targets: frame_decoder coefficient_coders mask_codings avi_reader y4m_reader
# (the native build replays the same targets over their seeds in CTest:
# tests/corpus).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
[ $# -gt 0 ] && shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(frame_decoder coefficient_coders mask_codings avi_reader y4m_reader)
fi
build=build-fuzz

apt_install() {
  local sudo=""
  [ "$(id -u)" -ne 0 ] && command -v sudo >/dev/null && sudo=sudo
  echo "Installing: $*"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$@"
}

# cmake, make and the rest of the native build's tools.
scripts/install-deps.sh
command -v clang++ >/dev/null || apt_install clang

# libFuzzer and the sanitizer runtimes come with compiler-rt, which Debian
# packages apart from clang itself.
links_fuzzer() {
  local probe
  probe=$(mktemp -d)
  printf '%s\n' '#include <cstddef>' '#include <cstdint>' \
    'extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }' >"$probe/probe.cpp"
  local status=0
  clang++ -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" -o "$probe/probe" 2>/dev/null ||
    status=1
  rm -rf "$probe"
  return $status
}
if ! links_fuzzer; then
  major=$(clang++ --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n1)
  apt_install "libclang-rt-${major}-dev" || apt_install "libclang-common-${major}-dev"
  links_fuzzer || { echo "clang cannot link libFuzzer targets" >&2; exit 1; }
fi

cmake -S fuzz -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j2

rm -rf "$build/seeds"
"$build/zdc_fuzz_seeds" "$build/seeds"
mkdir -p "$build/corpus" "$build/findings" "$build/logs"

dictionary_for() {
  case "$1" in
    mask_codings) echo fuzz/dictionaries/mask.dict ;;
    avi_reader) echo fuzz/dictionaries/avi.dict ;;
    y4m_reader) echo fuzz/dictionaries/y4m.dict ;;
    *) echo fuzz/dictionaries/frame.dict ;;
  esac
}

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0

failed=()
summary=()
for target in "${targets[@]}"; do
  binary="$build/${target}_fuzzer"
  [ -x "$binary" ] || { echo "no fuzz target $target" >&2; exit 2; }
  mkdir -p "$build/corpus/$target"
  log="$build/logs/$target.log"
  echo "== $target: ${seconds}s"
  status=0
  # The first directory receives the new inputs; the seeds are only read.
  "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -dict="$(dictionary_for "$target")" -artifact_prefix="$build/findings/$target-" \
    "$build/corpus/$target" "$build/seeds/$target" >"$log" 2>&1 || status=$?

  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
  edges=$(sed -n 's/.*Loaded [0-9]* modules *(\([0-9]*\) inline 8-bit counters).*/\1/p' "$log" | head -n1)
  last=$(grep -E '^#[0-9]+' "$log" | grep 'cov:' | tail -n1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  corp=$(sed -n 's/.* corp: \([0-9]*\)\/.*/\1/p' <<<"$last")
  rate=$(sed -n 's/.* exec\/s: \([0-9]*\).*/\1/p' <<<"$last")
  line=$(printf '%-20s %10s execs %7s/s  cov %5s of %6s edges  ft %6s  corpus %5s' \
    "$target" "${execs:-?}" "${rate:-?}" "${cov:-?}" "${edges:-?}" "${ft:-?}" "${corp:-?}")
  if [ "$status" -ne 0 ]; then
    failed+=("$target")
    line="$line  FOUND SOMETHING (exit $status)"
    echo "---- $target: last lines of $log"
    tail -n 60 "$log"
    ls -1 "$build/findings/$target-"* 2>/dev/null || true
  fi
  echo "$line"
  summary+=("$line")
done

if [ "${ZDC_FUZZ_MSAN:-1}" != 0 ]; then
  msan="$build/msan"
  msan_targets=()
  for target in "${targets[@]}"; do
    case $target in
      avi_reader | y4m_reader) ;;
      *) msan_targets+=("$target") ;;
    esac
  done
  if [ ${#msan_targets[@]} -ne 0 ]; then
    echo "== MemorySanitizer: replaying the corpora"
    cmake -S fuzz -B "$msan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZDC_FUZZ_SANITIZERS=memory \
      -DCMAKE_CXX_FLAGS=-fsanitize-memory-track-origins \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
    cmake --build "$msan" -j2 --target "${msan_targets[@]/%/_fuzzer}" >/dev/null
    for target in "${msan_targets[@]}"; do
      log="$build/logs/$target.msan.log"
      status=0
      "$msan/${target}_fuzzer" -runs=0 -timeout=30 -artifact_prefix="$build/findings/$target-msan-" \
        "$build/corpus/$target" "$build/seeds/$target" >"$log" 2>&1 || status=$?
      inputs=$(sed -n 's/^#\([0-9]*\).*INITED.*/\1/p' "$log" | tail -n1)
      line=$(printf '%-20s %10s inputs replayed under MemorySanitizer' "$target" "${inputs:-?}")
      if [ "$status" -ne 0 ]; then
        failed+=("$target (MemorySanitizer)")
        line="$line  FOUND SOMETHING (exit $status)"
        echo "---- $target: last lines of $log"
        tail -n 60 "$log"
      fi
      echo "$line"
      summary+=("$line")
    done
  fi
fi

echo
echo "Fuzzing summary (${seconds}s per target):"
printf '  %s\n' "${summary[@]}"

if [ "${ZDC_FUZZ_COVERAGE:-0}" = 1 ]; then
  coverage="$build/coverage"
  major=$(clang++ --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n1)
  profdata=$(command -v llvm-profdata || command -v "llvm-profdata-$major")
  llvmcov=$(command -v llvm-cov || command -v "llvm-cov-$major")
  cmake -S fuzz -B "$coverage" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZDC_FUZZ_COVERAGE=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
  cmake --build "$coverage" -j2 --target "${targets[@]/%/_fuzzer}" >/dev/null
  rm -f "$coverage"/*.profraw
  objects=()
  for target in "${targets[@]}"; do
    LLVM_PROFILE_FILE="$coverage/$target.profraw" "$coverage/${target}_fuzzer" -runs=0 \
      "$build/corpus/$target" "$build/seeds/$target" >/dev/null 2>&1 || true
    objects+=(-object "$coverage/${target}_fuzzer")
  done
  "$profdata" merge -sparse "$coverage"/*.profraw -o "$coverage/corpora.profdata"
  echo
  echo "Source coverage of the corpora:"
  "$llvmcov" report "${objects[@]:1}" -instr-profile="$coverage/corpora.profdata" \
    "$PWD/decoder" "$PWD/tools/media/avi_reader.cpp" "$PWD/tools/media/y4m_reader.cpp"
fi
if [ ${#failed[@]} -ne 0 ]; then
  echo "Findings in: ${failed[*]} (inputs in $build/findings/)" >&2
  exit 1
fi
