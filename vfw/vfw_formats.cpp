#include "vfw_formats.h"

#include "frame_decoder.h"
#include "yvu9_picture.h"

namespace vfw {

bool IsCompressedInput(const BITMAPINFOHEADER& in) {
  bool known = false;
  for (DWORD fourcc : kCompressedFourCCs) known = known || in.biCompression == fourcc;
  // Compressed bitmaps are top-down with a positive height.
  return known && zdc::FrameDecoder::AcceptsSize(in.biWidth, in.biHeight) &&
         int64_t{4} * (in.biWidth + 1) * (in.biHeight + 1) <= INT32_MAX;
}

bool HasChroma(const BITMAPINFOHEADER& in) { return in.biCompression != mmioFOURCC('Q', 'Z', 'V', '3'); }

DWORD OwnFourCC(const BITMAPINFOHEADER& in) {
  if (in.biCompression == mmioFOURCC('Q', 'Z', 'V', '2')) return mmioFOURCC('Y', 'V', 'U', '9');
  if (in.biCompression == mmioFOURCC('Q', 'Z', 'V', '4')) return mmioFOURCC('V', 'b', 'T', '9');
  return mmioFOURCC('V', 'b', 'T', '8');
}

DWORD ImageBytes(const BITMAPINFOHEADER& in, zdc::PixelFormat format, ptrdiff_t pitch) {
  if (format == zdc::PixelFormat::kYvu9)
    return static_cast<DWORD>(zdc::DecoderOutputBytes(in.biWidth, in.biHeight, HasChroma(in)));
  return static_cast<DWORD>(zdc::SurfaceBytes(format, in.biHeight, pitch, HasChroma(in)));
}

}  // namespace vfw
