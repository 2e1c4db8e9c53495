// Conversions between the 4:1:0 chroma of our pictures and the chroma layouts
// of YUV4MPEG2.
#pragma once

#include <cstdint>

#include "y4m_format.h"
#include "yvu9_picture.h"

namespace zdc {

// 4:1:0 to 4:2:0 by pixel replication: each 4:1:0 chroma sample becomes a 2x2
// group of 4:2:0 samples. Replication keeps the chroma centred on its 4x4 luma
// block, which is the C420jpeg siting, and adds no colours the decoder did not
// produce. Where the luma size is not a multiple of 4, the last chroma column
// and row are repeated over the rest; a picture narrower or shorter than 4 has
// no chroma and gets neutral grey (128). `cb` and `cr` receive
// ((width + 1) / 2) x ((height + 1) / 2) samples each, rows packed.
void UpsampleYvu9To420(const Yvu9Picture& picture, uint8_t* cb, uint8_t* cr);

// Any y4m layout to 4:1:0: each output sample is the rounded mean of the
// source chroma samples over its 4x4 luma block; mono gives 128. `v` and `u`
// receive (width / 4) x (height / 4) samples each, rows packed (V is Cr, U is
// Cb).
void DownsampleY4mTo410(const Y4mHeader& header, const Y4mFrame& frame, uint8_t* v, uint8_t* u);

}  // namespace zdc
