// The decoded formats the decompressor delivers. The first output type is
// always the decoder's own layout (YVU9, VbT9 or VbT8, following the input);
// the others are the formats today's renderers take, filled from the
// decoder's picture by the conversion library.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <amvideo.h>

#include <cstddef>
#include <cstdint>

#include "picture_convert.h"

struct OutputFormat {
  const GUID* subtype;
  DWORD compression;  // biCompression: a FourCC, or BI_RGB
  WORD bitCount;
  zdc::PixelFormat pixels;
  // 4:2:0 and 4:2:2 surfaces hold whole chroma samples: their width (the
  // pitch in pixels) is even, and so is the height of the surfaces offered.
  bool evenSurface;
};

// The converted formats in the order they are offered after the decoder's
// own type, each as a VIDEOINFOHEADER2 and then a VIDEOINFOHEADER type.
extern const OutputFormat kConvertedFormats[6];
constexpr int kConvertedFormatCount = 6;

// The format of an output subtype (the decoder's own subtypes included), or
// null for one the decompressor does not deliver.
const OutputFormat* FindOutputFormat(const GUID& subtype);

// Bytes per row of the first plane of a surface `surfaceWidth` pixels wide
// (biWidth): RGB24 rows are padded to 4 bytes, as in every DIB.
ptrdiff_t SurfacePitch(const OutputFormat& format, LONG surfaceWidth);

// Where and how one output sample is filled: the picture's size, the
// surface's format, rows and pitch, and whether RGB rows run bottom-up.
struct OutputLayout {
  const OutputFormat* format = nullptr;
  int32_t pictureWidth = 0;
  int32_t pictureHeight = 0;
  int32_t surfaceHeight = 0;
  ptrdiff_t pitch = 0;
  bool bottomUp = false;

  // Bytes an output buffer needs for this surface.
  int64_t Bytes(bool withChroma) const;
  // The planes of the surface in `buffer`.
  zdc::Surface SurfaceIn(uint8_t* buffer, bool withChroma) const;
};

// The layout of an accepted output media type; false when `type` has no
// video format block or is not a delivered format.
bool LayoutOfType(const AM_MEDIA_TYPE& type, OutputLayout* layout);
