// The decoder's quality state, mirrored so that every block is quantized and
// rebuilt with exactly the DequantTable the decoder will use.
//
// The decoder rebuilds its table only when a frame's quality differs from the
// hundredths it stored at its last SetQuality, and it stores trunc(quality x
// 100) of the double quality x 0.01, which for 29 and 58 is one less. After a
// frame of 29 it therefore keeps the table of 0.29 for a following frame of
// 28. The tracker writes 29 again in that case: the table is the same, and a
// decoder that starts at this frame (after a seek, say) agrees with one that
// decoded the whole stream, so the table of a frame always follows from its
// header alone. (The stream then stays at 29 for as long as 28 is asked for:
// no frame of 28 could give the decoder the table of 0.28 at that point.)
#pragma once

#include <cstdint>

namespace zdc {

class DequantTracker {
 public:
  // The state of a decoder set up by its filter: SetQuality(0.5).
  DequantTracker();

  // The quality (0..100) to write into the next frame's header when
  // `requested` is asked for; the table becomes the one the decoder uses for
  // that frame.
  uint16_t NextFrame(uint16_t requested);

  // The current table, 16-byte aligned as the block kernels need it.
  const uint16_t* Table() const { return table_; }

 private:
  uint16_t storedHundredths_;
  uint16_t builtFrom_;  // the header quality whose SetQuality built the table
  alignas(16) uint16_t table_[64];
};

}  // namespace zdc
