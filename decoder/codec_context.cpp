#include "codec_context.h"

#include <cmath>
#include <cstring>

#include "ieee_double.h"
#include "imgprim.h"

namespace zdc {

const int16_t kBaseQuantMatrix[64] = {
    8,  16, 19, 22, 26, 27, 29, 34,  //
    16, 16, 22, 24, 27, 29, 34, 37,  //
    19, 22, 26, 27, 29, 34, 34, 38,  //
    22, 22, 26, 27, 29, 34, 37, 40,  //
    22, 26, 27, 29, 32, 35, 40, 48,  //
    26, 27, 29, 32, 35, 40, 48, 58,  //
    26, 27, 29, 34, 38, 46, 56, 69,  //
    27, 29, 35, 38, 46, 56, 69, 83,  //
};

uint16_t BuildDequantTable(double quality, uint16_t table[64]) {
  // Every conversion truncates toward zero, on the double itself: 0.29 gives
  // 28 hundredths (0.29 * 100 is 28.999...), and its table is that of 0.29.
  const uint16_t hundredths = QualityToHundredths(quality);
  const double scale = DoubleSub(1.5, quality);
  for (int i = 0; i < 64; ++i) {
    uint16_t step = static_cast<uint16_t>(static_cast<int32_t>(DoubleMul(kBaseQuantMatrix[i], scale)));
    if (hundredths < 5) step = static_cast<uint16_t>(2 * step);
    table[i] = step;
  }
  table[0] = hundredths >= 5 ? 8 : static_cast<uint16_t>(13 - hundredths);
  return hundredths;
}

uint16_t QualityToHundredths(double quality) {
  return static_cast<uint16_t>(static_cast<int32_t>(DoubleMul(quality, 100.0)));
}

double HundredthsToQuality(uint16_t hundredths) { return DoubleMul(hundredths, 0.01); }

CodecContext::CodecContext() : features(EffectiveCpuFeatures()) {
  copyBlock = ChooseBlockKernels(features).copyBlock;
  BuildFdCode(&maskCodeTables);
  dequantTable = ippsMalloc_16u(64);
  // Defined from the first accepted quality on; zero until then so that a
  // frame decoded before any quality is deterministic.
  if (dequantTable) std::memset(dequantTable, 0, 64 * sizeof(uint16_t));
}

CodecContext::~CodecContext() {
  CodecContext::FreeBuffers();
  ippsFree(dequantTable);
}

uint32_t CodecContext::SetQuality(double quality) {
  if (!(quality >= 0.0 && quality <= 1.0)) return kStatusInvalidParameter;  // also NaN
  std::lock_guard<std::recursive_mutex> hold(lock);
  if (!dequantTable) return kStatusNotEnoughMemory;
  qualityHundredths.store(BuildDequantTable(quality, dequantTable), std::memory_order_relaxed);
  return kStatusSuccess;
}

uint32_t CodecContext::MaskBytes() const {
  return 4u * ((static_cast<uint32_t>(alignedWidth) / 8 + 31) / 32) *
             (static_cast<uint32_t>(alignedHeight) / 8) + 16;
}

bool CodecContext::AllocateBuffers(bool withChroma) {
  const int32_t lumaBlocks = ((width + 7) / 8) * ((height + 7) / 8);
  const int32_t chromaBlocks = (alignedWidth / 32) * (alignedHeight / 32);
  (void)withChroma;  // the chroma stores are sized from the aligned size either way
  lumaCoefficients = ippsMalloc_16s(lumaBlocks * 64);
  chromaCoefficients[0] = ippsMalloc_16s(chromaBlocks * 64);
  chromaCoefficients[1] = ippsMalloc_16s(chromaBlocks * 64);
  blockScratch = ippsMalloc_16s(2 * 64);  // two blocks: see deferred_reconstruction.h
  blockMask = ippsMalloc_8u(static_cast<int32_t>(MaskBytes()));
  maskWork = ippsMalloc_8u(static_cast<int32_t>(2 * MaskBytes()));
  // A luma-only picture narrower or shorter than 32 has no chroma block; its
  // stores stay null and are never used.
  const bool chromaOk = chromaBlocks == 0 || (chromaCoefficients[0] && chromaCoefficients[1]);
  if (!(lumaCoefficients && chromaOk && blockScratch && blockMask && maskWork)) return false;
  // The stores start cleared, so that delta frames decoded before the first
  // key frame accumulate onto zeros rather than onto whatever the heap held.
  std::memset(lumaCoefficients, 0, static_cast<size_t>(lumaBlocks) * 128);
  for (int16_t* store : chromaCoefficients) {
    if (store) std::memset(store, 0, static_cast<size_t>(chromaBlocks) * 128);
  }
  std::memset(blockMask, 0, MaskBytes());
  return true;
}

void CodecContext::FreeBuffers() {
  for (int16_t** buffer : {&lumaCoefficients, &chromaCoefficients[0], &chromaCoefficients[1],
                           &blockScratch}) {
    ippsFree(*buffer);
    *buffer = nullptr;
  }
  ippsFree(blockMask);
  ippsFree(maskWork);
  blockMask = nullptr;
  maskWork = nullptr;
}

}  // namespace zdc
