// Checks of the 8x8 block copy of the change-mask display: the destination
// pixels must equal the portable copy's, nothing else in the destination may
// change, and the source is read only inside its eight rows of eight bytes
// (it lies against an inaccessible page).
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "checkasm.h"

namespace zdc {
namespace checkasm {
namespace {

struct Geometry {
  int32_t sourcePitch;
  int32_t destinationPitch;
  bool flushEnd;  // the source's last byte sits against the page after it
};

int32_t RandomPitch(Random& random) {
  const int32_t pitch = random.Chance(20) ? 8 : random.Range(8, 64);
  return random.Chance(15) ? -pitch : pitch;
}

// Copies with `kernel` from a source made of `sourceSeed`; returns what it
// touched outside its destination block, or an empty string.
std::string Run(CopyBlockFn kernel, const Geometry& g, uint64_t sourceSeed, uint64_t layoutSeed,
                std::optional<GuardedPlane>* plane) {
  Random sourceBytes(sourceSeed), layout(layoutSeed);
  const int32_t absPitch = g.sourcePitch < 0 ? -g.sourcePitch : g.sourcePitch;
  GuardedBuffer source(static_cast<size_t>(7 * absPitch + 8),
                       g.flushEnd ? GuardedBuffer::FlushAgainst::kEnd
                                  : GuardedBuffer::FlushAgainst::kStart,
                       sourceBytes);
  const uint8_t* origin = source.data() + (g.sourcePitch < 0 ? 7 * absPitch : 0);
  plane->emplace(8, 8, g.destinationPitch, layout);
  kernel((*plane)->Origin(), origin, g.sourcePitch, g.destinationPitch);
  const ptrdiff_t stray = (*plane)->FirstStrayWrite();
  if (stray >= 0) return "wrote outside the 8x8 block (plane byte " + std::to_string(stray) + ")";
  return "";
}

bool CheckCopyBlock(const BlockKernels& reference, const BlockKernels& candidate,
                    const CheckRun& run) {
  Random random = run.Inputs();
  std::optional<GuardedPlane> want, got;
  // Page mappings per trial make this check slower per trial than the others.
  const int trials = run.trials / 4 + 1;
  for (int trial = 0; trial < trials; ++trial) {
    SetCurrentTrial(trial);
    const Geometry g{RandomPitch(random), RandomPitch(random), random.Chance(50)};
    const uint64_t sourceSeed = random.Next64(), layoutSeed = random.Next64();
    std::string problem = Run(reference.copyBlock, g, sourceSeed, layoutSeed, &want);
    if (!problem.empty()) problem = "the portable copy " + problem;
    if (problem.empty()) problem = Run(candidate.copyBlock, g, sourceSeed, layoutSeed, &got);
    if (problem.empty() && want->Bytes() != got->Bytes()) problem = "the copied pixels differ";
    if (problem.empty()) continue;

    ReportFailure(run, trial, problem);
    std::printf("  source pitch %d, destination pitch %d, source flush against the %s page\n",
                g.sourcePitch, g.destinationPitch, g.flushEnd ? "following" : "preceding");
    return false;
  }
  return true;
}

double BenchCopyBlock(const BlockKernels& kernels, Random& random) {
  constexpr int kPitch = 256, kBlocks = 32 * 8;
  std::vector<uint8_t> source(kPitch * 8 * 8), destination(kPitch * 8 * 8);
  random.Fill(source.data(), source.size());
  uint64_t elapsed = 0, calls = 0;
  const uint64_t start = NowNanoseconds();
  while (NowNanoseconds() - start < 200000000 || calls < 100000) {
    const uint64_t t0 = NowNanoseconds();
    for (int b = 0; b < kBlocks; ++b) {
      const size_t offset = static_cast<size_t>((b / 32) * 8 * kPitch + (b % 32) * 8);
      kernels.copyBlock(destination.data() + offset, source.data() + offset, kPitch, kPitch);
    }
    elapsed += NowNanoseconds() - t0;
    calls += kBlocks;
  }
  return static_cast<double>(elapsed) / static_cast<double>(calls);
}

}  // namespace

const KernelCheck kCopyBlockCheck = {
    "copy_block_8x8",
    [](const BlockKernels& k) { return reinterpret_cast<const void*>(k.copyBlock); },
    CheckCopyBlock,
    BenchCopyBlock,
    "block",
};

}  // namespace checkasm
}  // namespace zdc
