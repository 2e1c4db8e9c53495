// Block reconstruction kernels and the small block operations of the mask
// display. Every variant of a kernel gives the portable definition's result
// bit for bit; the variants are chosen once per decoder from the processor's
// features and called through the table below, never chosen per block.
#pragma once

#include <cstdint>

#include "cpu_features.h"

namespace zdc {

// (coefficient block (in, clobbered), destination, destination pitch,
//  coefficient store slot, dequantization table)
using ReconstructBlockFn = void (*)(int16_t* block, uint8_t* destination, int32_t pitch,
                                    int16_t* slot, const uint16_t* dequant);
// (destination, source, source pitch, destination pitch)
using CopyBlockFn = void (*)(uint8_t* destination, const uint8_t* source, int32_t sourcePitch,
                             int32_t destinationPitch);
// (source, source pitch, destination, width, height, destination pitch, thresholds)
using DenoisePlaneFn = void (*)(const uint8_t* source, int32_t sourcePitch, uint8_t* destination,
                                int32_t width, int32_t height, int32_t destinationPitch,
                                const uint16_t* thresholds);

struct BlockKernels {
  ReconstructBlockFn reconstructKey;
  ReconstructBlockFn reconstructDelta;
  CopyBlockFn copyBlock;
  DenoisePlaneFn denoisePlane;
};

// Portable definitions.
void ReconstructKeyBlock_c(int16_t* block, uint8_t* destination, int32_t pitch, int16_t* slot,
                           const uint16_t* dequant);
void ReconstructDeltaBlock_c(int16_t* block, uint8_t* destination, int32_t pitch, int16_t* slot,
                             const uint16_t* dequant);
void CopyBlock8x8_c(uint8_t* destination, const uint8_t* source, int32_t sourcePitch,
                    int32_t destinationPitch);
void DenoisePlane_c(const uint8_t* source, int32_t sourcePitch, uint8_t* destination,
                    int32_t width, int32_t height, int32_t destinationPitch,
                    const uint16_t* thresholds);

// SSE2 variants (decoder/x86/), present in x86 builds. They may only be
// called on processors with SSE2; ChooseBlockKernels sees to that.
void ReconstructKeyBlock_sse2(int16_t* block, uint8_t* destination, int32_t pitch, int16_t* slot,
                              const uint16_t* dequant);
void ReconstructDeltaBlock_sse2(int16_t* block, uint8_t* destination, int32_t pitch,
                                int16_t* slot, const uint16_t* dequant);
void CopyBlock8x8_sse2(uint8_t* destination, const uint8_t* source, int32_t sourcePitch,
                       int32_t destinationPitch);
void DenoisePlane_sse2(const uint8_t* source, int32_t sourcePitch, uint8_t* destination,
                       int32_t width, int32_t height, int32_t destinationPitch,
                       const uint16_t* thresholds);

// AVX2 variants (decoder/x86/): the SSE2 kernels with two block rows per
// register in the row pass. Only for processors (and systems) with AVX2.
void ReconstructKeyBlock_avx2(int16_t* block, uint8_t* destination, int32_t pitch, int16_t* slot,
                              const uint16_t* dequant);
void ReconstructDeltaBlock_avx2(int16_t* block, uint8_t* destination, int32_t pitch,
                                int16_t* slot, const uint16_t* dequant);

// Draws a black X over both diagonals of the 8x8 block.
void MarkBlock(uint8_t* block, int32_t pitch);

// The portable variants first, then whatever the features allow.
BlockKernels ChooseBlockKernels(CpuFeatures features);

}  // namespace zdc
