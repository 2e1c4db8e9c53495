#include "huffman_encoder.h"

#include <cstdlib>
#include <stdexcept>

#include "coefficient_block.h"
#include "huffman_tables.h"

namespace zdc {
namespace {

// Index into kDctCoeffNext for each run (0..31) and level (1..40), -1 where
// the pair has no code of its own and needs the escape.
struct RunLevelIndex {
  int8_t index[32][41];
  RunLevelIndex() {
    for (auto& row : index) {
      for (auto& entry : row) entry = -1;
    }
    for (int i = 0; i < kDctCoeffNextCount; ++i) {
      index[kDctCoeffNext[i].run][kDctCoeffNext[i].level] = static_cast<int8_t>(i);
    }
  }
};

const RunLevelIndex& RunLevels() {
  static const RunLevelIndex table;
  return table;
}

int BitLength(uint32_t value) {
  int length = 0;
  while (value) {
    ++length;
    value >>= 1;
  }
  return length;
}

}  // namespace

constexpr CoefficientLimits HuffmanEncoder::kLimits;

void HuffmanEncoder::BeginSection(bool luminance, bool delta) {
  writer_.Clear();
  dcSizes_ = luminance ? kDcSizeLuminance : kDcSizeChrominance;
  delta_ = delta;
  dcPredictor_ = kLimits.dcPredictorStart;
  consumed_ = 0;
  refills_ = 0;
}

void HuffmanEncoder::CheckPoint() {
  if (consumed_ >= 32) {
    consumed_ -= 32;
    ++refills_;
  }
}

void HuffmanEncoder::Put(uint32_t bits, int count) {
  writer_.Put(bits, count);
  consumed_ += static_cast<uint32_t>(count);
}

void HuffmanEncoder::PutDcDifference(int32_t difference) {
  if (std::abs(difference) > kLimits.maxDcStep) {
    throw std::out_of_range("DC difference beyond DC size 8");
  }
  const int size = BitLength(static_cast<uint32_t>(std::abs(difference)));
  Put(dcSizes_[size].code, dcSizes_[size].length);
  if (size == 0) return;
  // Positive differences are sent as they are (first bit 1); negative ones
  // offset by 2^size - 1 so that their first bit is 0.
  const int32_t bits = difference > 0 ? difference : difference + (1 << size) - 1;
  Put(static_cast<uint32_t>(bits), size);
}

void HuffmanEncoder::PutAcCoefficient(int run, int32_t level) {
  const int32_t magnitude = std::abs(level);
  if (magnitude == 0 || magnitude > kLimits.maxLevel) {
    throw std::out_of_range("AC level outside the escape's range");
  }
  const uint32_t sign = level < 0 ? 1 : 0;
  if (run < 32 && magnitude <= 40) {
    const int index = RunLevels().index[run][magnitude];
    if (index >= 0) {
      const DctCoeffCode& code = kDctCoeffNext[index];
      Put(static_cast<uint32_t>(code.code) << 1 | sign, code.length + 1);
      return;
    }
  }
  Put(kEscapeCode, kEscapeLength);
  Put(static_cast<uint32_t>(run), 6);
  if (magnitude <= 127) {
    Put(static_cast<uint32_t>(level) & 0xFF, 8);  // one signed byte, never 0x00 or 0x80
  } else if (level > 0) {
    Put(0x00, 8);  // 128..255 as an unsigned byte
    Put(static_cast<uint32_t>(level), 8);
  } else {
    Put(0x80, 8);  // -255..-128 as the byte level + 256 (1..128)
    Put(static_cast<uint32_t>(level + 256), 8);
  }
}

void HuffmanEncoder::EncodeBlock(const int16_t block[64]) {
  CheckPoint();
  if (delta_) {
    // A delta block's DC change is the negated difference.
    PutDcDifference(-int32_t{block[0]});
  } else {
    // The decoder subtracts the difference from its predictor.
    PutDcDifference(dcPredictor_ - block[0]);
    dcPredictor_ = block[0];
  }
  int next = 1;  // the scan position the next code's run counts from
  for (int position = 1; position < 64; ++position) {
    const int16_t level = block[kZigzag[position]];
    if (level == 0) continue;
    CheckPoint();
    PutAcCoefficient(position - next, level);
    next = position + 1;
  }
  // End of block. After position 63 the decoder skips these two bits
  // without a refill check.
  if (next != 64) CheckPoint();
  Put(kEndOfBlockCode, kEndOfBlockLength);
}

std::vector<uint8_t> HuffmanEncoder::Finish() {
  std::vector<uint8_t> stream = writer_.Take(LoadedBytes());
  stream.push_back(0xED);
  consumed_ = 0;
  refills_ = 0;
  return stream;
}

}  // namespace zdc
