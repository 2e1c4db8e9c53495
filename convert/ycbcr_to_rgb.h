// Colour conversion of decoded 4:1:0 pictures for viewing (the PNG output):
// the BT.601 mapping of bt601_fixed_point.h, in R, G, B byte order.
#pragma once

#include <cstddef>
#include <cstdint>

#include "yvu9_picture.h"

namespace zdc {

// One pixel; the result is clamped to 0..255.
void YCbCrToRgb(int y, int cb, int cr, uint8_t rgb[3]);

// Interleaved RGB, 3 * width bytes per row at `stride`: the RGB24 conversion
// of picture_convert.h (chroma replicated over its 4x4 block, the last chroma
// column and row repeated, neutral chroma without chroma samples) with red
// and blue swapped.
void Yvu9ToRgb(const Yvu9Picture& picture, uint8_t* rgb, size_t stride);

// Grey levels for a luma-only picture: the same mapping as YCbCrToRgb with
// neutral chroma, so that grey pictures match the luma of colour ones.
void LumaToGray(const Yvu9Picture& picture, uint8_t* gray, size_t stride);

}  // namespace zdc
