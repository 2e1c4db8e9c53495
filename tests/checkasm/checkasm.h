// The kernel variant checker: every processor-specific variant of a block
// kernel or a picture conversion runs beside the portable one on the same
// inputs (random, picture-like and edge values) and must give the same
// outputs and touch nothing outside its buffers: inputs lie against
// inaccessible pages, outputs inside guard bands (fuzz/guarded_memory.h). One table of kernels, one of processor
// levels, one runner (checkasm_main.cpp); each kernel's inputs live in its
// own check_*.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "block_kernels.h"
#include "convert_kernels.h"
#include "guarded_memory.h"

namespace zdc::checkasm {

using guarded::Random;

// The kernel tables of one processor level: the decoder's block kernels and
// the conversions' row kernels.
struct Kernels {
  BlockKernels block;
  ConvertKernels convert;
};
inline Kernels ChooseKernels(CpuFeatures features) {
  return {ChooseBlockKernels(features), ChooseConvertKernels(features)};
}

// What one variant did with one trial's inputs: its outputs, and what it
// touched that it must not (empty when nothing).
struct Outcome {
  std::vector<uint8_t> output;
  std::string problem;
};

struct KernelCheck {
  const char* name;
  const void* (*variant)(const Kernels& kernels);  // CHECKASM_VARIANT below
  int trialShare;  // runs trials / trialShare trials (for the slower checks)
  // Runs the variant in `kernels` on the inputs that `seed` makes for `trial`.
  Outcome (*run)(const Kernels& kernels, uint64_t seed, int trial);
};

// The variant of one kernel, named by its place in the tables, e.g.
// CHECKASM_VARIANT(block.copyBlock).
#define CHECKASM_VARIANT(member) \
  [](const Kernels& k) { return reinterpret_cast<const void*>(k.member); }

extern const KernelCheck kReconstructKeyCheck, kReconstructDeltaCheck, kCopyBlockCheck,
    kDenoisePlaneCheck;
// One per output format (picture_convert.h), in the order of PixelFormat.
extern const KernelCheck kConvertChecks[8];

// A pitch for rows of `rowBytes`: mostly with up to `maxPadding` bytes more
// (none 40 % of the time), negative (upwards) `upwardsPercent` % of the time.
inline int32_t Pitch(Random& random, int32_t rowBytes, int32_t maxPadding, int upwardsPercent) {
  const int32_t pitch = rowBytes + (random.Chance(40) ? 0 : random.Range(1, maxPadding));
  return random.Chance(upwardsPercent) ? -pitch : pitch;
}

// An output plane of `rows` rows of `rowBytes` at `pitch` (negative: upwards)
// at a random column inside guard bands; `origin` receives row 0.
guarded::Area OutputPlane(int32_t rowBytes, int32_t rows, int32_t pitch, Random& random,
                          uint8_t** origin);

// A read-only copy of `values` against an inaccessible page, after or before
// them as `random` picks: a read outside them or any write faults.
template <class T>
guarded::Input ReadOnly(const std::vector<T>& values, Random& random) {
  const auto flush = random.Chance(50) ? guarded::Input::kFlushEnd : guarded::Input::kFlushStart;
  return guarded::Input(reinterpret_cast<const uint8_t*>(values.data()), values.size() * sizeof(T),
                        flush);
}

}  // namespace zdc::checkasm
