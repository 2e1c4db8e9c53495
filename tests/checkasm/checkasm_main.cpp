// zdc_checkasm: checks every kernel variant that this processor can run
// against the portable one, level by level.
//
//   zdc_checkasm [--seed N] [--test NAME]
//
// For each processor level up to the features the decoder would use (the
// probe, lowered by ZDC_CPU_MASK), the kernel choice of that level is taken,
// and each variant not seen at a lower level is run on the same inputs as the
// portable one (which is itself checked for stray accesses). The run stops at
// the first difference and prints the kernel, level, seed and trial;
// the last line counts the checks that passed and failed. A read outside an
// input or a write into one ends the run with a memory fault right after the
// kernel's name and level (the seed is on the first line). The kernels' speed
// is measured in bench/.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "checkasm.h"

namespace zdc::checkasm {
namespace {

const KernelCheck* const kKernels[] = {
    &kReconstructKeyCheck, &kReconstructDeltaCheck, &kCopyBlockCheck, &kDenoisePlaneCheck,
    &kConvertChecks[0],    &kConvertChecks[1],      &kConvertChecks[2], &kConvertChecks[3],
    &kConvertChecks[4],    &kConvertChecks[5],      &kConvertChecks[6], &kConvertChecks[7]};

// The processor levels, weakest first, each with the feature it adds.
const struct Level {
  const char* name;
  CpuFeatures adds;
} kLevels[] = {{"c", 0},         {"mmx", kCpuMmx},   {"mmxext", kCpuIntegerSse},
               {"sse", kCpuSse}, {"sse2", kCpuSse2}, {"avx2", kCpuAvx2}};

// Runs `trials` trials of one variant beside the portable one; false after
// printing the first difference (rerun with its seed and --test to see more).
bool Check(const KernelCheck& kernel, const Kernels& candidate, uint64_t seed, int trials,
           const char* level) {
  Random random(seed);  // the same inputs whatever runs before
  for (int trial = 0; trial < trials; ++trial) {
    const uint64_t inputs = random.Next64();
    const Outcome want = kernel.run(ChooseKernels(0), inputs, trial);
    const Outcome got = kernel.run(candidate, inputs, trial);
    std::string problem =
        want.problem.empty() ? got.problem : "the portable kernel " + want.problem;
    if (problem.empty() && want.output != got.output) problem = "the outputs differ";
    if (problem.empty()) continue;
    std::printf("\nFAILED %s (%s), trial %d: %s; rerun with --seed %" PRIu64 " --test %s\n",
                kernel.name, level, trial, problem.c_str(), seed, kernel.name);
    return false;
  }
  return true;
}

}  // namespace

guarded::Area OutputPlane(int32_t rowBytes, int32_t rows, int32_t pitch, Random& random,
                          uint8_t** origin) {
  const int32_t step = std::abs(pitch);
  guarded::Area area(static_cast<size_t>(step) * rows, random.Next64());
  *origin =
      area.Allow(static_cast<size_t>(random.Range(0, step - rowBytes)), rowBytes, rows, pitch);
  return area;
}

int Main(int argc, char** argv) {
  constexpr int kTrials = 40000;
  uint64_t seed = std::random_device()();
  std::string only;
  for (int i = 1; i < argc; i += 2) {
    const std::string option = argv[i];
    if (i + 1 == argc || (option != "--seed" && option != "--test")) {
      std::fprintf(stderr, "usage: %s [--seed N] [--test NAME]\n", argv[0]);
      return 2;
    }
    if (option == "--seed") {
      seed = std::strtoull(argv[i + 1], nullptr, 0);
    } else {
      only = argv[i + 1];
    }
  }
  const CpuFeatures available = EffectiveCpuFeatures();
  std::printf("checkasm: seed %" PRIu64 ", processor features 0x%02x (probed 0x%02x)\n", seed,
              available, ProbeCpuFeatures());

  int passed = 0;
  for (const KernelCheck* kernel : kKernels) {
    if (!only.empty() && only != kernel->name) continue;
    std::vector<const void*> seen;
    CpuFeatures features = 0;
    for (const Level& level : kLevels) {
      if ((available & level.adds) != level.adds) break;  // the ladder ends here
      features = static_cast<CpuFeatures>(features | level.adds);
      const Kernels kernels = ChooseKernels(features);
      if (std::find(seen.begin(), seen.end(), kernel->variant(kernels)) != seen.end()) continue;
      seen.push_back(kernel->variant(kernels));
      std::printf("  %-6s %-24s ", level.name, kernel->name);
      std::fflush(stdout);
      if (!Check(*kernel, kernels, seed, kTrials / kernel->trialShare + 1, level.name)) {
        std::printf("%d passed, 1 failed\n", passed);
        return 1;
      }
      ++passed;
      std::printf("ok\n");
    }
  }
  std::printf("%d passed, 0 failed\n", passed);
  return 0;
}

}  // namespace zdc::checkasm

int main(int argc, char** argv) { return zdc::checkasm::Main(argc, argv); }
