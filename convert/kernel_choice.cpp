// The one place where conversion kernel variants are chosen: once per
// process, never per picture or row.
#include "convert_kernels.h"

namespace zdc {

ConvertKernels ChooseConvertKernels(CpuFeatures features) {
  ConvertKernels kernels{ExpandChroma_c, InterleaveChroma_c, PackYuy2_c, ChromaTerms_c, Rgb32Row_c, Rgb24Row_c};
#if ZDC_X86_KERNELS
  if (features & kCpuSse2) {
    kernels = {ExpandChroma_sse2, InterleaveChroma_sse2, PackYuy2_sse2, ChromaTerms_sse2, Rgb32Row_sse2,
               Rgb24Row_sse2};
  }
  if ((features & kCpuSse2) && (features & kCpuAvx2)) {
    kernels = {ExpandChroma_avx2, InterleaveChroma_avx2, PackYuy2_avx2, ChromaTerms_avx2, Rgb32Row_avx2,
               Rgb24Row_avx2};
  }
#else
  (void)features;
#endif
  return kernels;
}

const ConvertKernels& ProcessConvertKernels() {
  static const ConvertKernels kernels = ChooseConvertKernels(EffectiveCpuFeatures());
  return kernels;
}

}  // namespace zdc
