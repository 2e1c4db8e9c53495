// The byte layout of a compressed frame as the encoder writes it: the
// FrameHeader, the PlaneHeader of a key plane and the SectionHeader of a
// delta section. All numbers are little-endian.
#pragma once

#include <cstdint>
#include <vector>

namespace zdc {

constexpr uint32_t kFrameHeaderSize = 20;
constexpr uint32_t kPlaneHeaderSize = 4;
constexpr uint32_t kSectionHeaderSize = 16;
constexpr uint16_t kFdMaskTag = 0x4446;  // the bytes "FD"

// `maskStorage` byte values of a SectionHeader (the FD coding is marked by
// the tag instead).
constexpr uint8_t kMaskStorageRaw = 0;
constexpr uint8_t kMaskStorageLzw = 1;
constexpr uint8_t kMaskStorageRunLength = 2;

struct FrameHeaderFields {
  uint32_t tag = 0;  // bytes 0..3, which the decoder does not read
  uint16_t quality = 0;
  uint16_t frameIndex = 0;
  uint32_t sectionSize[3] = {0, 0, 0};
};

struct SectionHeaderFields {
  uint32_t maskOffset = 0;  // from the first byte of the frame
  uint16_t maskSize = 0;
  uint16_t maskTag = 0;
  uint32_t coded = 1;
  uint8_t coder = 0;
  uint8_t maskStorage = kMaskStorageRaw;
};

// Each writes its header at `out` (which has room for it).
void WriteFrameHeader(const FrameHeaderFields& fields, uint8_t* out);
void WritePlaneHeader(uint8_t coder, uint8_t* out);
void WriteSectionHeader(const SectionHeaderFields& fields, uint8_t* out);

}  // namespace zdc
