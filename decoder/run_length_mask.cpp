// The run-length mask coding: literal bytes, and runs introduced by an escape
// byte chosen per mask.
#include "mask_codings.h"

namespace zdc {

namespace {

class RunLengthReader {
 public:
  RunLengthReader(const SampleView& sample, uint32_t maskOffset)
      : sample_(sample), maskOffset_(maskOffset) {}

  uint32_t position() const { return position_; }

  uint8_t Next() {
    // maskOffset + position must not wrap around to the start of the sample.
    if (position_ > UINT32_MAX - maskOffset_) throw SampleOverrun{};
    return sample_.Byte(maskOffset_ + position_++);
  }

 private:
  const SampleView& sample_;
  uint32_t maskOffset_;
  uint32_t position_ = 0;
};

}  // namespace

uint32_t DecodeRunLengthMask(const SampleView& sample, uint32_t maskOffset, uint32_t maskSize,
                             uint8_t* blockMask, uint32_t maskCapacity) {
  if (maskSize == 0) return 0;
  RunLengthReader reader(sample, maskOffset);
  const uint8_t escape = reader.Next();
  uint32_t written = 0;

  auto fill = [&](uint8_t value, uint32_t count) {
    while (count-- > 0 && written < maskCapacity) blockMask[written++] = value;
  };

  // Only the start of an item is held to maskSize: an item that begins inside
  // the mask takes its count and value bytes even when they lie beyond it.
  // Decoding stops once the buffer is full, since later items have nowhere to
  // go.
  while (reader.position() < maskSize && written < maskCapacity) {
    const uint8_t first = reader.Next();
    if (first != escape) {
      blockMask[written++] = first;
      continue;
    }
    const uint32_t n = reader.Next();
    if (n <= 2) {
      fill(escape, n + 1);
    } else if (n <= 127) {
      fill(reader.Next(), n + 1);
    } else {
      const uint32_t count = (n - 128) * 256 + reader.Next();
      fill(reader.Next(), count + 1);
    }
  }
  return written;
}

}  // namespace zdc
