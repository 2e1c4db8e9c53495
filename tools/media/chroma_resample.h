// YUV4MPEG2 chroma layouts to the 4:1:0 chroma of the encoder's input. (The
// other way, 4:1:0 to 4:2:0, is the I420 conversion of convert/.)
#pragma once

#include <cstdint>

#include "y4m_format.h"

namespace zdc {

// Any y4m layout to 4:1:0: each output sample is the rounded mean of the
// source chroma samples over its 4x4 luma block; mono gives 128. `v` and `u`
// receive (width / 4) x (height / 4) samples each, rows packed (V is Cr, U is
// Cb).
void DownsampleY4mTo410(const Y4mHeader& header, const Y4mFrame& frame, uint8_t* v, uint8_t* u);

}  // namespace zdc
