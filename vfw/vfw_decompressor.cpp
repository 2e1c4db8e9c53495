#include "vfw_decompressor.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "vfw_formats.h"
#include "yvu9_picture.h"

bool VfwDecompressor::OutputOf(const BITMAPINFOHEADER& in, const BITMAPINFOHEADER& out,
                               Output* output) {
  // The whole picture, unscaled: Video for Windows bitmaps have no pitch of
  // their own, their rows are as wide as the picture (DIB rows padded to 4
  // bytes).
  if (out.biWidth != in.biWidth || std::labs(out.biHeight) != in.biHeight) return false;
  const ptrdiff_t width = in.biWidth;
  const DWORD c = out.biCompression;
  const WORD bits = out.biBitCount;
  if (c == vfw::OwnFourCC(in) && bits == (vfw::HasChroma(in) ? 9 : 8)) {
    *output = {zdc::PixelFormat::kYvu9, width, false};
  } else if (c == mmioFOURCC('N', 'V', '1', '2') && bits == 12) {
    *output = {zdc::PixelFormat::kNv12, width, false};
  } else if (c == mmioFOURCC('Y', 'V', '1', '2') && bits == 12) {
    *output = {zdc::PixelFormat::kYv12, width, false};
  } else if ((c == mmioFOURCC('I', 'Y', 'U', 'V') || c == mmioFOURCC('I', '4', '2', '0')) && bits == 12) {
    *output = {zdc::PixelFormat::kI420, width, false};
  } else if (c == mmioFOURCC('Y', 'U', 'Y', '2') && bits == 16) {
    *output = {zdc::PixelFormat::kYuy2, zdc::PackedPitch(zdc::PixelFormat::kYuy2, in.biWidth), false};
  } else if (c == BI_RGB && bits == 32) {
    *output = {zdc::PixelFormat::kRgb32, width * 4, out.biHeight > 0};
  } else if (c == BI_RGB && bits == 24) {
    *output = {zdc::PixelFormat::kRgb24, (width * 3 + 3) & ~ptrdiff_t{3}, out.biHeight > 0};
  } else {
    return false;
  }
  // RGB with a positive height is bottom-up, as every DIB; YUV bitmaps are
  // top-down whatever the sign of their height.
  return true;
}

LRESULT VfwDecompressor::Query(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) const {
  if (!in || !vfw::IsCompressedInput(*in)) return ICERR_BADFORMAT;
  Output output;
  if (out && !OutputOf(*in, *out, &output)) return ICERR_BADFORMAT;
  return ICERR_OK;
}

LRESULT VfwDecompressor::GetFormat(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out) const {
  if (!in || !vfw::IsCompressedInput(*in)) return ICERR_BADFORMAT;
  if (!out) return sizeof(BITMAPINFOHEADER);
  std::memset(out, 0, sizeof(BITMAPINFOHEADER));
  out->biSize = sizeof(BITMAPINFOHEADER);
  out->biWidth = in->biWidth;
  out->biHeight = in->biHeight;
  out->biPlanes = 1;
  out->biBitCount = vfw::HasChroma(*in) ? 9 : 8;
  out->biCompression = vfw::OwnFourCC(*in);
  out->biSizeImage = vfw::ImageBytes(*in, zdc::PixelFormat::kYvu9, in->biWidth);
  return ICERR_OK;
}

LRESULT VfwDecompressor::Begin(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) {
  Output output;
  if (!in || !out || !vfw::IsCompressedInput(*in) || !OutputOf(*in, *out, &output))
    return ICERR_BADFORMAT;
  const bool withChroma = vfw::HasChroma(*in);
  if (decoder_.SetSize(in->biWidth, in->biHeight, withChroma) != 0) return ICERR_MEMORY;
  decoder_.SetQuality(0.5);
  try {
    picture_.assign(zdc::DecoderOutputBytes(in->biWidth, in->biHeight, withChroma), 0);
  } catch (const std::bad_alloc&) {
    return ICERR_MEMORY;
  }
  begunIn_ = *in;
  output_ = output;
  begun_ = true;
  return ICERR_OK;
}

LRESULT VfwDecompressor::Decompress(DWORD flags, const BITMAPINFOHEADER* in, const void* data,
                                    const BITMAPINFOHEADER* out, void* bits) {
  if (!in || !out) return ICERR_BADPARAM;
  // Callers such as AVIFile decompress without a Begin: the first frame, or
  // one of another stream, begins; another output format only changes how
  // the picture is filled, the delta chain goes on.
  const bool sameStream = begun_ && in->biCompression == begunIn_.biCompression &&
                          in->biWidth == begunIn_.biWidth && in->biHeight == begunIn_.biHeight;
  if (!sameStream) {
    const LRESULT begun = Begin(in, out);
    if (begun != ICERR_OK) return begun;
  } else if (!OutputOf(*in, *out, &output_)) {
    return ICERR_BADFORMAT;
  }

  // A null frame (a dropped one, or an update request) repeats the picture.
  LRESULT result = ICERR_OK;
  const bool nullFrame = !data || in->biSizeImage == 0 ||
                         (flags & (ICDECOMPRESS_NULLFRAME | ICDECOMPRESS_UPDATE));
  if (!nullFrame) {
    const int32_t n = decoder_.Decode(static_cast<const uint8_t*>(data), in->biSizeImage,
                                      picture_.data(), in->biWidth);
    // A damaged frame still leaves a picture: what the decoder made of it.
    if (n == 0) result = ICERR_ERROR;
  }
  // Hurrying and prerolling callers want the picture up to date, not drawn.
  if ((flags & (ICDECOMPRESS_HURRYUP | ICDECOMPRESS_PREROLL)) || !bits) return result;

  const bool withChroma = vfw::HasChroma(*in);
  const zdc::Yvu9Picture picture =
      zdc::DecoderOutputPicture(picture_.data(), in->biWidth, in->biHeight, withChroma);
  zdc::ConvertPicture(picture, output_.format,
                      zdc::SurfaceInBuffer(output_.format, static_cast<uint8_t*>(bits),
                                           in->biHeight, output_.pitch, withChroma,
                                           output_.bottomUp));
  return result;
}

LRESULT VfwDecompressor::End() {
  begun_ = false;
  return ICERR_OK;
}

VfwDecompressor::State VfwDecompressor::Switches() const {
  return {decoder_.GetDenoise() ? 1u : 0u, decoder_.GetDisplayMask() ? 1u : 0u};
}

void VfwDecompressor::SetSwitches(const State& state) {
  decoder_.SetDenoise(state.denoise != 0);
  decoder_.SetDisplayMask(state.displayMask != 0);
}

LRESULT VfwDecompressor::GetState(void* buffer, DWORD bytes) const {
  if (!buffer) return sizeof(State);
  if (bytes < sizeof(State)) return ICERR_BADSIZE;
  const State state = Switches();
  std::memcpy(buffer, &state, sizeof state);
  return sizeof(State);
}

LRESULT VfwDecompressor::SetState(const void* buffer, DWORD bytes) {
  State state = {0, 0};  // no state: the defaults
  if (buffer) {
    if (bytes < sizeof(State)) return 0;
    std::memcpy(&state, buffer, sizeof state);
  }
  SetSwitches(state);
  return buffer ? sizeof(State) : 0;
}
