#include "frame_stream_input.h"

#include <cstdint>
#include <limits>

#include "fuzz_bytes.h"

namespace zdc::fuzz {

FrameStreamInput ParseFrameStream(const uint8_t* data, size_t size) {
  FuzzBytes bytes(data, size);
  FrameStreamInput input;
  StreamSetup& setup = input.setup;
  setup.width = 1 + bytes.Le16() % kMaxWidth;
  setup.height = 1 + bytes.Le16() % kMaxHeight;
  const uint8_t flags = bytes.Byte();
  setup.withChroma = (flags & 0x01) != 0;
  setup.portableKernels = (flags & 0x02) != 0;
  setup.checkRecovery = (flags & 0x04) != 0;
  setup.strideExtra = bytes.Byte() % 64;
  while (bytes.Remaining() > 0) {
    FrameRecord record;
    record.control = bytes.Byte();
    record.quality = bytes.Byte();
    const uint32_t length = bytes.Le24();
    record.data = bytes.Take(length, &record.size);
    input.frames.push_back(record);
  }
  return input;
}

double RecordQuality(uint8_t quality) {
  if (quality == 255) return std::numeric_limits<double>::quiet_NaN();
  if (quality == 254) return -0.01;
  return quality / 100.0;
}

StreamSetup ResizedSetup(const StreamSetup& setup, uint8_t choice) {
  StreamSetup resized = setup;
  resized.width = 1 + (choice * 37) % kMaxWidth;
  resized.height = 1 + (choice * 53) % kMaxHeight;
  resized.withChroma = (choice & 1) != 0;
  return resized;
}

void UnusableSize(uint8_t choice, int32_t* width, int32_t* height) {
  static const int32_t kSides[] = {0, -1, -64, INT32_MIN, INT32_MAX, (1 << 28) + 1, 1 << 15};
  *width = kSides[choice % 7];
  *height = kSides[(choice / 7) % 7];
  // Two sides that are each acceptable but together beyond the decoder's
  // limit of 2^28 pixels.
  if (*width > 0 && *width <= (1 << 15) && *height > 0 && *height <= (1 << 15)) {
    *width = *height = 1 << 15;
  }
}

void AppendSetup(const StreamSetup& setup, std::vector<uint8_t>* out) {
  const uint32_t width = static_cast<uint32_t>(setup.width - 1);
  const uint32_t height = static_cast<uint32_t>(setup.height - 1);
  out->push_back(static_cast<uint8_t>(width));
  out->push_back(static_cast<uint8_t>(width >> 8));
  out->push_back(static_cast<uint8_t>(height));
  out->push_back(static_cast<uint8_t>(height >> 8));
  out->push_back(static_cast<uint8_t>((setup.withChroma ? 0x01 : 0) |
                                      (setup.portableKernels ? 0x02 : 0) |
                                      (setup.checkRecovery ? 0x04 : 0)));
  out->push_back(static_cast<uint8_t>(setup.strideExtra));
}

void AppendFrame(uint8_t control, uint8_t quality, const std::vector<uint8_t>& frame,
                 std::vector<uint8_t>* out) {
  const uint32_t length = static_cast<uint32_t>(frame.size());
  out->push_back(control);
  out->push_back(quality);
  out->push_back(static_cast<uint8_t>(length));
  out->push_back(static_cast<uint8_t>(length >> 8));
  out->push_back(static_cast<uint8_t>(length >> 16));
  out->insert(out->end(), frame.begin(), frame.end());
}

}  // namespace zdc::fuzz
