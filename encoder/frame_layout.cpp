#include "frame_layout.h"

#include <cstring>

namespace zdc {
namespace {

void PutLe16(uint8_t* out, uint16_t value) {
  out[0] = static_cast<uint8_t>(value);
  out[1] = static_cast<uint8_t>(value >> 8);
}

void PutLe32(uint8_t* out, uint32_t value) {
  PutLe16(out, static_cast<uint16_t>(value));
  PutLe16(out + 2, static_cast<uint16_t>(value >> 16));
}

}  // namespace

void WriteFrameHeader(const FrameHeaderFields& fields, uint8_t* out) {
  PutLe32(out, fields.tag);
  PutLe16(out + 4, fields.quality);
  PutLe16(out + 6, fields.frameIndex);
  for (int i = 0; i < 3; ++i) PutLe32(out + 8 + 4 * i, fields.sectionSize[i]);
}

void WritePlaneHeader(uint8_t coder, uint8_t* out) {
  out[0] = coder;
  std::memset(out + 1, 0, 3);  // reserved
}

void WriteSectionHeader(const SectionHeaderFields& fields, uint8_t* out) {
  PutLe32(out, fields.maskOffset);
  PutLe16(out + 4, fields.maskSize);
  PutLe16(out + 6, fields.maskTag);
  PutLe32(out + 8, fields.coded);
  out[12] = fields.coder;
  out[13] = fields.maskStorage;
  PutLe16(out + 14, 0);  // reserved
}

}  // namespace zdc
