// The luma denoise post-filter: each pixel becomes the rounded mean of an
// 8-sample window (its own row and the row above, one column left to two
// columns right), where samples further than the threshold from the centre
// count as the centre. Row 0 is copied unfiltered.
#include <cstddef>
#include <cstring>

#include "block_kernels.h"

namespace zdc {

// The decoder's own luma plane has a pitch of the width rounded up to 8, which
// equals the width whenever the width is a multiple of 8; for other widths we
// read the source at its real pitch, so every row sees its own pixels. Any
// width and height of at least 1 is filtered in full: there is no tail of
// unfiltered columns. Columns left of 0 repeat column 0 and the two columns
// right of the last one count as zero samples.
void DenoisePlane_c(const uint8_t* source, int32_t sourcePitch, uint8_t* destination,
                    int32_t width, int32_t height, int32_t destinationPitch,
                    const uint16_t* thresholds) {
  if (width <= 0 || height <= 0) return;
  const int threshold = thresholds[0];
  std::memcpy(destination, source, static_cast<size_t>(width));
  for (int32_t r = 1; r < height; ++r) {
    const uint8_t* above = source + static_cast<ptrdiff_t>(r - 1) * sourcePitch;
    const uint8_t* here = source + static_cast<ptrdiff_t>(r) * sourcePitch;
    uint8_t* out = destination + static_cast<ptrdiff_t>(r) * destinationPitch;
    for (int32_t c = 0; c < width; ++c) {
      const int centre = here[c];
      unsigned sum = 0;
      for (int32_t dc = -1; dc <= 2; ++dc) {
        int32_t column = c + dc;
        if (column < 0) column = 0;
        const int a = column < width ? above[column] : 0;
        const int b = column < width ? here[column] : 0;
        sum += (a - centre > threshold || centre - a > threshold) ? centre : a;
        sum += (b - centre > threshold || centre - b > threshold) ? centre : b;
      }
      out[c] = static_cast<uint8_t>((sum + 3) >> 3);
    }
  }
}

}  // namespace zdc
