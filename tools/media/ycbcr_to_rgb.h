// Colour conversion of decoded 4:1:0 pictures for viewing: ITU-R BT.601 with
// limited-range input (luma 16..235, chroma 16..240 around 128) and full-range
// 8-bit output.
#pragma once

#include <cstddef>
#include <cstdint>

#include "yvu9_picture.h"

namespace zdc {

// One pixel; the result is clamped to 0..255.
void YCbCrToRgb(int y, int cb, int cr, uint8_t rgb[3]);

// Interleaved RGB, 3 * width bytes per row at `stride`. Each chroma sample
// covers its 4x4 luma block (pixel replication); columns and rows past the
// last whole block use the last chroma column or row, and a picture without
// chroma samples converts as if chroma were neutral (128).
void Yvu9ToRgb(const Yvu9Picture& picture, uint8_t* rgb, size_t stride);

// Grey levels for a luma-only picture: the same mapping as YCbCrToRgb with
// neutral chroma, so that grey pictures match the luma of colour ones.
void LumaToGray(const Yvu9Picture& picture, uint8_t* gray, size_t stride);

}  // namespace zdc
