// The variable-length codes of the Huffman coefficient coding, as code data
// shared by the decoder (which builds lookup tables from them) and the encoder.
#pragma once

#include <cstdint>

namespace zdc {

struct DctCoeffCode {
  uint16_t code;   // the code bits, right-aligned, first-sent bit highest
  uint8_t length;  // 2..16, without the sign bit that follows
  uint8_t run;     // 0..31
  uint8_t level;   // magnitude 1..40
};

constexpr int kDctCoeffNextCount = 111;
extern const DctCoeffCode kDctCoeffNext[kDctCoeffNextCount];

// End of block and escape take no sign bit.
constexpr uint16_t kEndOfBlockCode = 0x2;  // 10
constexpr int kEndOfBlockLength = 2;
constexpr uint16_t kEscapeCode = 0x1;      // 000001
constexpr int kEscapeLength = 6;

struct DcSizeCode {
  uint8_t code;
  uint8_t length;
};
extern const DcSizeCode kDcSizeLuminance[9];
extern const DcSizeCode kDcSizeChrominance[9];

}  // namespace zdc
