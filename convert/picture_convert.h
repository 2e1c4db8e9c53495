// Conversion of decoded pictures (4:1:0 with chroma, or luma only) into the
// pixel formats that players and renderers take. The command line, the
// DirectShow filter and the player modules all fill their output through
// these functions, so their outputs can be compared byte for byte.
//
// Chroma upsampling is sample replication everywhere: each 4:1:0 chroma
// sample covers its 4x4 luma block, in every output format alike; where the
// luma size is not a multiple of 4 the last chroma column and row repeat, and
// a picture without chroma (luma only, or narrower or shorter than 4)
// converts with neutral chroma (128), i.e. grey. RGB is ITU-R BT.601 from
// limited-range YCbCr in integer steps (bt601_fixed_point.h), as the PNG
// output; every processor-specific kernel gives the portable kernels' bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cpu_features.h"
#include "yvu9_picture.h"

namespace zdc {

enum class PixelFormat : uint8_t {
  kYvu9,     // Y, V, U planes at 4:1:0, the decoder's own layout (luma alone without chroma)
  kYuv410p,  // Y, U, V planes at 4:1:0, chroma ceil(w/4) x ceil(h/4) (FFmpeg's yuv410p)
  kNv12,     // Y plane, then one plane of interleaved U, V pairs at 4:2:0
  kYv12,     // Y, V, U planes at 4:2:0
  kI420,     // Y, U, V planes at 4:2:0 (IYUV)
  kYuy2,     // packed 4:2:2: Y0 U Y1 V
  kRgb32,    // B, G, R, X bytes (X = 255)
  kRgb24,    // B, G, R bytes
};

// A destination: up to three planes, each with its pitch in bytes. A pitch
// may be negative: bottom-up RGB points plane[0] at the top picture row, which
// is the last row in memory.
struct Surface {
  uint8_t* plane[3] = {nullptr, nullptr, nullptr};
  ptrdiff_t pitch[3] = {0, 0, 0};
};

// The planes of a buffer holding a picture of `height` rows whose first plane
// has `pitch` bytes per row (>= the picture's row bytes). The other planes
// follow the first one back to back and take their pitch from it: 4:2:0
// planar (pitch + 1) / 2 with (height + 1) / 2 rows; NV12 the pitch rounded
// up to even (an odd width still has whole U, V pairs) with (height + 1) / 2
// rows; yuv410p (pitch + 3) / 4 with (height + 3) / 4 rows; YVU9 the
// decoder's layout (pitch / 4, height / 4 rows, the second chroma plane
// pitch x height / 16 bytes behind the first). `bottomUp` (packed RGB only)
// stores the rows in reverse order.
//
// plane[] follows the format's memory order: YVU9 and YV12 Y, V, U; yuv410p
// and I420 Y, U, V; NV12 Y, UV; the packed formats plane[0] alone. YVU9
// without chroma (`withChroma` false) is the luma plane alone; every other
// format always has its chroma planes (neutral for a luma-only picture).
Surface SurfaceInBuffer(PixelFormat format, uint8_t* buffer, int height, ptrdiff_t pitch,
                        bool withChroma, bool bottomUp = false);
// Bytes of such a buffer.
size_t SurfaceBytes(PixelFormat format, int height, ptrdiff_t pitch, bool withChroma);
// Bytes per row of the first plane when rows are tightly packed, as
// `zdc decode --format` writes them: width, or width x bytes per pixel
// (YUY2: the width rounded up to even, x 2).
ptrdiff_t PackedPitch(PixelFormat format, int width);

// Fills `destination` with `picture` converted to `format`, through the
// kernel variants chosen once per process from the processor's features (as
// ZDC_CPU_MASK limits them). Writes the picture's rows and columns (and the
// chroma samples that cover them) and nothing else.
void ConvertPicture(const Yvu9Picture& picture, PixelFormat format, const Surface& destination);

}  // namespace zdc
