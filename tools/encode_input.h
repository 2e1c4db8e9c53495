// Turns YUV4MPEG2 frames into the encoder's 4:1:0 pictures.
#pragma once

#include "picture.h"
#include "y4m_format.h"

namespace zdc {

// Luma is taken as it is. Chroma (4:2:0, 4:2:2 or 4:4:4) is reduced to 4:1:0
// by averaging, for each 4:1:0 sample, the input samples that cover the same
// 4x4 luma pixels (rounded to nearest); a mono input gets neutral chroma (128).
// The first chroma plane of the picture is Cr (V), the second Cb (U).
Picture PictureFromY4m(const Y4mHeader& header, const Y4mFrame& frame, bool withChroma);

}  // namespace zdc
