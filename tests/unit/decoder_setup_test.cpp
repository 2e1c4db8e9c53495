// The processor probe, the kernel choice it drives, and the sizes a decoder
// refuses.
#include <gtest/gtest.h>

#include "frame_decoder.h"

namespace zdc {
namespace {

TEST(CpuFeatures, TheMaskLimitsWhatDecodersSee) {
  const CpuFeatures before = EffectiveCpuFeatures();
  SetCpuFeatureMask(0);
  EXPECT_EQ(EffectiveCpuFeatures(), 0);
  {
    FrameDecoder decoder;
    EXPECT_EQ(decoder.Features(), 0);
  }
  SetCpuFeatureMask(0xFF);
  EXPECT_EQ(EffectiveCpuFeatures(), ProbeCpuFeatures());
  SetCpuFeatureMask(before);  // the rest of the run keeps its processor level
}

TEST(CpuFeatures, KernelChoice) {
  struct Case {
    CpuFeatures features;
    ReconstructBlockFn key, delta;
    CopyBlockFn copy;
    DenoisePlaneFn denoise;
  };
  const Case cases[] = {
      {0, ReconstructKeyBlock_c, ReconstructDeltaBlock_c, CopyBlock8x8_c, DenoisePlane_c},
      {kCpuMmx | kCpuIntegerSse | kCpuSse, ReconstructKeyBlock_c, ReconstructDeltaBlock_c,
       CopyBlock8x8_c, DenoisePlane_c},
#if defined(__x86_64__) || defined(__i386__)
      {0x1F, ReconstructKeyBlock_sse2, ReconstructDeltaBlock_sse2, CopyBlock8x8_sse2,
       DenoisePlane_sse2},
      {0x3F, ReconstructKeyBlock_avx2, ReconstructDeltaBlock_avx2, CopyBlock8x8_sse2,
       DenoisePlane_sse2},
      // A mask that keeps AVX2 but drops SSE2 leaves the portable kernels.
      {kCpuAvx2, ReconstructKeyBlock_c, ReconstructDeltaBlock_c, CopyBlock8x8_c, DenoisePlane_c},
#endif
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "features 0x" << std::hex << int{c.features});
    const BlockKernels kernels = ChooseBlockKernels(c.features);
    EXPECT_EQ(kernels.reconstructKey, c.key);
    EXPECT_EQ(kernels.reconstructDelta, c.delta);
    EXPECT_EQ(kernels.copyBlock, c.copy);
    EXPECT_EQ(kernels.denoisePlane, c.denoise);
  }
}

TEST(DecoderSetup, RefusesSizesItCannotHold) {
  FrameDecoder decoder;
  for (auto [w, h] : {std::pair{0, 10}, {10, 0}, {-8, 8}, {8, -8}, {1 << 20, 1 << 20},
                      {0x7FFFFFFF, 1}}) {
    ASSERT_EQ(decoder.SetSize(8, 8, false), 0u) << "usable again";
    EXPECT_EQ(decoder.SetSize(w, h, true), kStatusInvalidParameter) << w << "x" << h;
    EXPECT_EQ(decoder.Width(), 0) << "the earlier size is gone";
  }
}

}  // namespace
}  // namespace zdc
