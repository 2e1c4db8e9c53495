// The one place where block kernel variants are chosen: once per decoder (and
// per encoder), never per block.
#include "block_kernels.h"

namespace zdc {

BlockKernels ChooseBlockKernels(CpuFeatures features) {
  BlockKernels kernels{ReconstructKeyBlock_c, ReconstructDeltaBlock_c, CopyBlock8x8_c,
                       DenoisePlane_c};
  // Processor-specific variants overwrite the portable entries from the
  // weakest instruction set to the strongest. There are deliberately no MMX
  // variants: processors with MMX or integer SSE but without SSE2 are rare
  // enough that the portable kernels serve them.
#if ZDC_X86_KERNELS
  if (features & kCpuSse2) {
    kernels.reconstructKey = ReconstructKeyBlock_sse2;
    kernels.reconstructDelta = ReconstructDeltaBlock_sse2;
    kernels.copyBlock = CopyBlock8x8_sse2;
    kernels.denoisePlane = DenoisePlane_sse2;
  }
  if ((features & kCpuSse2) && (features & kCpuAvx2)) {
    kernels.reconstructKey = ReconstructKeyBlock_avx2;
    kernels.reconstructDelta = ReconstructDeltaBlock_avx2;
  }
#else
  (void)features;
#endif
  return kernels;
}

}  // namespace zdc
