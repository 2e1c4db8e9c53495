// The common shape of the two coefficient codings, so that the plane encoder
// writes key planes and delta sections the same way with either of them.
#pragma once

#include <cstdint>
#include <vector>

namespace zdc {

// What a coefficient code can carry; the plane encoder keeps every block
// inside these bounds before it hands the block over.
struct CoefficientLimits {
  int32_t maxLevel;          // |AC value| of a key block, |AC change| of a delta block
  int32_t maxDcStep;         // |DC difference| of a key block, |DC change| of a delta block
  int32_t dcPredictorStart;  // the DC a key plane's first block is predicted from
};

class CoefficientEncoder {
 public:
  virtual ~CoefficientEncoder() = default;

  virtual CoefficientLimits Limits() const = 0;

  // Starts the stream of one key plane (delta false) or delta section.
  virtual void BeginSection(bool luminance, bool delta) = 0;

  // Appends one block, given exactly as the matching decoder's DecodeBlock is
  // to return it: 64 values in natural (row-major) order; in a key plane
  // value 0 is the block's DC, in a delta section every value, DC included,
  // is the change of the stored coefficient. Throws std::out_of_range for a
  // value outside Limits().
  virtual void EncodeBlock(const int16_t block[64]) = 0;

  // The section's complete coefficient stream, ready to follow its header.
  virtual std::vector<uint8_t> Finish() = 0;
};

}  // namespace zdc
