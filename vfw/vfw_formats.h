// What the codec reads and writes in BITMAPINFOHEADER terms: the compressed
// FourCCs it decodes and the decoded formats it fills.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

#include "picture_convert.h"

namespace vfw {

inline constexpr DWORD kCompressedFourCCs[] = {
    mmioFOURCC('Q', 'Z', 'V', '2'), mmioFOURCC('Q', 'Z', 'V', '3'), mmioFOURCC('Q', 'Z', 'V', '4')};

// Whether `in` is a compressed stream the decoder takes (FourCC and size).
bool IsCompressedInput(const BITMAPINFOHEADER& in);
// Whether the stream carries chroma (everything but QZV3).
bool HasChroma(const BITMAPINFOHEADER& in);
// The decoder's own layout for the stream: YVU9, VbT9 or VbT8.
DWORD OwnFourCC(const BITMAPINFOHEADER& in);
// Bytes of a decoded picture in `format` for `in`'s size, rows `pitch` apart.
DWORD ImageBytes(const BITMAPINFOHEADER& in, zdc::PixelFormat format, ptrdiff_t pitch);

}  // namespace vfw
