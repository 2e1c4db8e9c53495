// What a FrameEncoder is asked to produce: the stream's FourCC, the quality,
// the key-frame interval, the coefficient coding and the change-mask storage.
#pragma once

#include <cstdint>

namespace zdc {

constexpr uint32_t MakeFourcc(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
         static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

// QZV2 and QZV4 carry the luma plane and two chroma planes (the decoder
// outputs them as YVU9 and VbT9); QZV3 carries luma only (VbT8).
constexpr uint32_t kFourccQzv2 = MakeFourcc('Q', 'Z', 'V', '2');
constexpr uint32_t kFourccQzv3 = MakeFourcc('Q', 'Z', 'V', '3');
constexpr uint32_t kFourccQzv4 = MakeFourcc('Q', 'Z', 'V', '4');

inline bool IsKnownFourcc(uint32_t fourcc) {
  return fourcc == kFourccQzv2 || fourcc == kFourccQzv3 || fourcc == kFourccQzv4;
}
inline bool FourccHasChroma(uint32_t fourcc) { return fourcc != kFourccQzv3; }

// The values are the `coder` byte of plane and section headers.
enum class CoefficientCoding : uint8_t { kHuffman = 0, kArithmetic = 1 };

// How a delta section stores its change mask. kAuto takes the smallest of the
// four storages, section by section.
enum class MaskStorage : uint8_t { kAuto, kRaw, kLzw, kRunLength, kFd };

struct EncoderOptions {
  uint32_t fourcc = kFourccQzv2;
  // 0..100, written into every frame header in hundredths.
  int quality = 50;
  // A key frame every keyInterval frames; 1 makes every frame a key frame and
  // 0 only the first one (and those asked for with RequestKeyFrame).
  uint32_t keyInterval = 30;
  CoefficientCoding coder = CoefficientCoding::kHuffman;
  MaskStorage mask = MaskStorage::kAuto;
  // A delta frame codes a block only when coding it lowers the block's sum of
  // squared errors against the source by more than this (over 64 pixels).
  uint32_t deltaThreshold = 256;
};

}  // namespace zdc
