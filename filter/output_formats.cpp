#include "output_formats.h"

#include <uuids.h>

#include <cstdlib>

#include "video_format.h"
#include "zdc_guids.h"

const OutputFormat kConvertedFormats[kConvertedFormatCount] = {
    {&MEDIASUBTYPE_NV12, MakeFourCC('N', 'V', '1', '2'), 12, zdc::PixelFormat::kNv12, true},
    {&MEDIASUBTYPE_YV12, MakeFourCC('Y', 'V', '1', '2'), 12, zdc::PixelFormat::kYv12, true},
    {&MEDIASUBTYPE_IYUV, MakeFourCC('I', 'Y', 'U', 'V'), 12, zdc::PixelFormat::kI420, true},
    {&MEDIASUBTYPE_YUY2, MakeFourCC('Y', 'U', 'Y', '2'), 16, zdc::PixelFormat::kYuy2, true},
    {&MEDIASUBTYPE_RGB32, BI_RGB, 32, zdc::PixelFormat::kRgb32, false},
    {&MEDIASUBTYPE_RGB24, BI_RGB, 24, zdc::PixelFormat::kRgb24, false},
};

namespace {

// The decoder's own layouts: the picture as Decode writes it.
const OutputFormat kOwnFormats[] = {
    {&MEDIASUBTYPE_YVU9, kFourCC_YVU9, 9, zdc::PixelFormat::kYvu9, false},
    {&MEDIASUBTYPE_VbT9, kFourCC_VbT9, 9, zdc::PixelFormat::kYvu9, false},
    {&MEDIASUBTYPE_VbT8, kFourCC_VbT8, 8, zdc::PixelFormat::kYvu9, false},
};

bool IsRgb(const OutputFormat& format) { return format.compression == BI_RGB; }

}  // namespace

const OutputFormat* FindOutputFormat(const GUID& subtype) {
  for (const OutputFormat& format : kOwnFormats) {
    if (IsEqualGUID(subtype, *format.subtype)) return &format;
  }
  for (const OutputFormat& format : kConvertedFormats) {
    if (IsEqualGUID(subtype, *format.subtype)) return &format;
  }
  return nullptr;
}

ptrdiff_t SurfacePitch(const OutputFormat& format, LONG surfaceWidth) {
  const ptrdiff_t width = surfaceWidth;
  switch (format.pixels) {
    case zdc::PixelFormat::kYuy2: return width * 2;
    case zdc::PixelFormat::kRgb32: return width * 4;
    case zdc::PixelFormat::kRgb24: return (width * 3 + 3) & ~ptrdiff_t{3};
    default: return width;
  }
}

int64_t OutputLayout::Bytes(bool withChroma) const {
  if (format->pixels == zdc::PixelFormat::kYvu9) {
    // The decoder's layout at the surface pitch, as many rows as the picture.
    return PictureBytes(static_cast<int32_t>(pitch), pictureHeight, withChroma);
  }
  return static_cast<int64_t>(zdc::SurfaceBytes(format->pixels, surfaceHeight, pitch, true));
}

zdc::Surface OutputLayout::SurfaceIn(uint8_t* buffer, bool withChroma) const {
  // The decoder's layout spans the picture's rows; other surfaces have their
  // planes behind all of their own rows.
  const int32_t rows = format->pixels == zdc::PixelFormat::kYvu9 ? pictureHeight : surfaceHeight;
  return zdc::SurfaceInBuffer(format->pixels, buffer, rows, pitch, withChroma, bottomUp);
}

bool LayoutOfType(const AM_MEDIA_TYPE& type, OutputLayout* layout) {
  const BITMAPINFOHEADER* header = BitmapHeaderOf(type);
  const VIDEOINFOHEADER* info = VideoInfoOf(type);
  const OutputFormat* format = FindOutputFormat(type.subtype);
  if (!header || !info || !format) return false;
  const int32_t surfaceHeight = static_cast<int32_t>(std::llabs(int64_t{header->biHeight}));
  const RECT& target = info->rcTarget;
  layout->format = format;
  if (target.left == 0 && target.right == 0 && target.top == 0 && target.bottom == 0) {
    layout->pictureWidth = header->biWidth;
    layout->pictureHeight = surfaceHeight;
  } else {
    // The picture sits at the surface's top left corner; left and top are 0
    // for every accepted type.
    layout->pictureWidth = target.right;
    layout->pictureHeight = target.bottom;
  }
  layout->surfaceHeight = surfaceHeight;
  layout->pitch = SurfacePitch(*format, header->biWidth);
  // DIBs with a positive height are bottom-up; YUV surfaces are top-down
  // whatever the sign.
  layout->bottomUp = IsRgb(*format) && header->biHeight > 0;
  return true;
}
