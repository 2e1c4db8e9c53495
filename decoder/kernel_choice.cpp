#include "block_kernels.h"

namespace zdc {

BlockKernels ChooseBlockKernels(CpuFeatures features) {
  BlockKernels kernels{ReconstructKeyBlock_c, ReconstructDeltaBlock_c, CopyBlock8x8_c,
                       DenoisePlane_c};
  // Processor-specific variants overwrite the portable entries here, from
  // the weakest instruction set to the strongest.
  (void)features;
  return kernels;
}

}  // namespace zdc
