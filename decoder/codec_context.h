// Codec state proper: the lock, the processor features, the picture size, the
// quality with its dequantization table, the per-block coefficient stores and
// the change-mask buffers and code tables.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "block_kernels.h"
#include "cpu_features.h"
#include "mask_codings.h"

namespace zdc {

// Windows status numbers used inside the decoder.
constexpr uint32_t kStatusSuccess = 0;
constexpr uint32_t kStatusInvalidParameter = 87;
constexpr uint32_t kStatusNotEnoughMemory = 8;

// The default intra quantizer matrix of ISO/IEC 11172-2, row-major.
extern const int16_t kBaseQuantMatrix[64];

// Fills `table` for `quality` in [0, 1]; returns QualityToHundredths(quality).
uint16_t BuildDequantTable(double quality, uint16_t table[64]);

// trunc(quality x 100.0) in double arithmetic, kept in 16 bits: what the
// decoder stores and what the property page shows (0.29 gives 28).
uint16_t QualityToHundredths(double quality);
// hundredths x 0.01 as a double: a frame header's quality, and the value the
// settings interface reports.
double HundredthsToQuality(uint16_t hundredths);

class CodecContext {
 public:
  CodecContext();
  virtual ~CodecContext();
  CodecContext(const CodecContext&) = delete;
  CodecContext& operator=(const CodecContext&) = delete;

  // Returns 0, or 87 when quality is outside [0, 1] or not a number (nothing
  // changes then). Takes the lock when it accepts the value.
  uint32_t SetQuality(double quality);
  // Read without the lock (the settings page does so while frames decode).
  uint16_t QualityHundredths() const { return qualityHundredths.load(std::memory_order_relaxed); }

  int32_t Width() const { return width; }
  int32_t Height() const { return height; }
  CpuFeatures Features() const { return features; }
  const uint16_t* DequantTable() const { return dequantTable; }

 protected:
  virtual bool AllocateBuffers(bool withChroma);
  virtual void FreeBuffers();

  uint32_t MaskBytes() const;  // size of blockMask

  std::recursive_mutex lock;
  CpuFeatures features;
  int32_t width = 0, height = 0;
  int32_t alignedWidth = 0, alignedHeight = 0;
  std::atomic<uint16_t> qualityHundredths{0};
  uint16_t deltaCounter = 0;
  uint8_t chainBroken = 0;
  uint16_t* dequantTable = nullptr;
  int16_t* lumaCoefficients = nullptr;
  int16_t* chromaCoefficients[2] = {nullptr, nullptr};
  int16_t* blockScratch = nullptr;  // two coefficient blocks, decoded into in turn
  uint8_t* blockMask = nullptr;
  uint8_t* maskWork = nullptr;
  FdCodeTables maskCodeTables;
  CopyBlockFn copyBlock;
};

}  // namespace zdc
