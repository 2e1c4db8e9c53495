#include "dequant_tracker.h"

#include "codec_context.h"

namespace zdc {

DequantTracker::DequantTracker() {
  storedHundredths_ = BuildDequantTable(0.5, table_);
  // 50 x 0.01 is exactly 0.5, so a frame of 50 would have built this table too.
  builtFrom_ = 50;
}

uint16_t DequantTracker::NextFrame(uint16_t requested) {
  uint16_t header = requested;
  if (header == storedHundredths_ && builtFrom_ != header) header = builtFrom_;
  if (header != storedHundredths_) {
    storedHundredths_ = BuildDequantTable(HundredthsToQuality(header), table_);
    builtFrom_ = header;
  }
  return header;
}

}  // namespace zdc
