#include "plane_encoder.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <stdexcept>

#include "block_quantizer.h"
#include "forward_dct.h"
#include "imgprim.h"

namespace zdc {
namespace {

// Squared error of the 8x8 block at `a` (pitch aPitch) against `b` (pitch bPitch).
uint32_t BlockSquaredError(const uint8_t* a, int32_t aPitch, const uint8_t* b, int32_t bPitch) {
  uint32_t sum = 0;
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const int32_t d = int32_t{a[y * aPitch + x]} - b[y * bPitch + x];
      sum += static_cast<uint32_t>(d * d);
    }
  }
  return sum;
}

// `value` limited to [low, high] and to the 16 bits of a coefficient.
int16_t Clamp16(int32_t value, int32_t low, int32_t high) {
  return static_cast<int16_t>(
      std::clamp(value, std::max(low, int32_t{-32768}), std::min(high, int32_t{32767})));
}

// The source block's coefficients quantized against the frame's table.
void QuantizedSourceBlock(const uint8_t* source, int32_t pitch, const uint16_t* dequant,
                          int16_t quantized[64]) {
  double coefficients[64];
  ForwardDct(source, pitch, coefficients);
  QuantizeBlock(coefficients, dequant, quantized);
}

}  // namespace

void PlaneEncoder::AlignedFree::operator()(int16_t* p) const { ippsFree(p); }

PlaneEncoder::PlaneEncoder(int32_t width, int32_t height, bool luminance,
                           const BlockKernels& kernels)
    : width_(width), height_(height), luminance_(luminance), kernels_(kernels) {
  if (width <= 0 || height <= 0 || width % 8 || height % 8) {
    throw std::invalid_argument("plane size is not a whole number of blocks");
  }
  const int32_t blocks = BlocksPerRow() * BlockRows();
  // The store comes from the aligned allocator: the SIMD kernels load slots
  // with aligned 128-bit accesses, as in the decoder. Cleared like the
  // decoder's stores.
  store_.reset(ippsMalloc_16s(blocks * 64));
  if (!store_) throw std::bad_alloc();
  std::memset(store_.get(), 0, static_cast<size_t>(blocks) * 128);
  reconstruction_.assign(static_cast<size_t>(width) * height, 0);
}

void PlaneEncoder::EncodeKey(const uint8_t* source, const uint16_t* dequant,
                             CoefficientEncoder& coder) {
  const CoefficientLimits limits = coder.Limits();
  int32_t previousDc = limits.dcPredictorStart;
  for (int32_t r = 0; r < BlockRows(); ++r) {
    for (int32_t c = 0; c < BlocksPerRow(); ++c) {
      alignas(16) int16_t block[64];
      QuantizedSourceBlock(source + static_cast<ptrdiff_t>(8 * r) * width_ + 8 * c, width_,
                           dequant, block);
      for (int i = 1; i < 64; ++i) block[i] = Clamp16(block[i], -limits.maxLevel, limits.maxLevel);
      block[0] = Clamp16(block[0], previousDc - limits.maxDcStep, previousDc + limits.maxDcStep);
      previousDc = block[0];
      coder.EncodeBlock(block);
      kernels_.reconstructKey(block, BlockPixels(r, c), width_, Slot(r, c), dequant);
    }
  }
}

PlaneEncoder::DeltaResult PlaneEncoder::EncodeDelta(const uint8_t* source,
                                                    const uint16_t* dequant, uint32_t threshold,
                                                    CoefficientEncoder& coder) {
  const CoefficientLimits limits = coder.Limits();
  DeltaResult result;
  result.wordsPerRow = static_cast<uint32_t>((BlocksPerRow() + 31) / 32);
  result.mask.assign(static_cast<size_t>(result.wordsPerRow) * BlockRows() * 4, 0);
  for (int32_t r = 0; r < BlockRows(); ++r) {
    for (int32_t c = 0; c < BlocksPerRow(); ++c) {
      const uint8_t* sourceBlock = source + static_cast<ptrdiff_t>(8 * r) * width_ + 8 * c;
      alignas(16) int16_t target[64];
      QuantizedSourceBlock(sourceBlock, width_, dequant, target);

      // The change that moves the stored coefficients towards the target as
      // far as the code carries it.
      int16_t* slot = Slot(r, c);
      alignas(16) int16_t change[64];
      change[0] = Clamp16(target[0] - slot[0], -limits.maxDcStep, limits.maxDcStep);
      for (int i = 1; i < 64; ++i) {
        change[i] = Clamp16(target[i] - slot[i], -limits.maxLevel, limits.maxLevel);
      }

      // What the decoder would show after this change, rebuilt by its kernel
      // on copies of the slot and the change.
      alignas(16) int16_t trialSlot[64];
      alignas(16) int16_t trialBlock[64];
      std::memcpy(trialSlot, slot, sizeof trialSlot);
      std::memcpy(trialBlock, change, sizeof trialBlock);
      uint8_t trialPixels[64];
      kernels_.reconstructDelta(trialBlock, trialPixels, 8, trialSlot, dequant);

      const uint32_t currentError = BlockSquaredError(BlockPixels(r, c), width_, sourceBlock, width_);
      const uint32_t trialError = BlockSquaredError(trialPixels, 8, sourceBlock, width_);
      if (trialError >= currentError || currentError - trialError <= threshold) continue;

      coder.EncodeBlock(change);
      std::memcpy(slot, trialSlot, sizeof trialSlot);
      for (int y = 0; y < 8; ++y) std::memcpy(BlockPixels(r, c) + y * width_, trialPixels + 8 * y, 8);
      const size_t bit = static_cast<size_t>(r) * result.wordsPerRow * 32 + static_cast<size_t>(c);
      // Bit k of a little-endian word is bit k % 8 of its byte k / 8.
      const size_t byte = (bit / 32) * 4 + (bit % 32) / 8;
      result.mask[byte] = static_cast<uint8_t>(result.mask[byte] | 1u << (bit % 8));
      ++result.codedBlocks;
    }
  }
  return result;
}

}  // namespace zdc
