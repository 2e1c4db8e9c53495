// The decompressor's media types: which inputs it takes, which outputs it
// offers for them, and which proposed outputs it accepts.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "decompressor_filter.h"
#include "decompressor_pins.h"
#include "output_formats.h"
#include "video_format.h"

namespace {

// Largest accepted width and height.
constexpr LONG kMaxDimension = 65535;

bool IsCompressedSubtype(const GUID& subtype) {
  return IsEqualGUID(subtype, MEDIASUBTYPE_QZV2) || IsEqualGUID(subtype, MEDIASUBTYPE_QZV3) ||
         IsEqualGUID(subtype, MEDIASUBTYPE_QZV4);
}

uint32_t OutputFourCC(const GUID& inputSubtype) {
  if (IsEqualGUID(inputSubtype, MEDIASUBTYPE_QZV2)) return kFourCC_YVU9;
  if (IsEqualGUID(inputSubtype, MEDIASUBTYPE_QZV4)) return kFourCC_VbT9;
  return kFourCC_VbT8;
}

// The input's bitmap header when the format block is a full VIDEOINFOHEADER
// or VIDEOINFOHEADER2, else null.
const BITMAPINFOHEADER* InputBitmapHeader(const AM_MEDIA_TYPE& type) {
  if (!type.pbFormat) return nullptr;
  if (IsEqualGUID(type.formattype, FORMAT_VideoInfo) && type.cbFormat >= sizeof(VIDEOINFOHEADER))
    return &reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat)->bmiHeader;
  if (IsEqualGUID(type.formattype, FORMAT_VideoInfo2) &&
      type.cbFormat >= sizeof(VIDEOINFOHEADER2))
    return &reinterpret_cast<const VIDEOINFOHEADER2*>(type.pbFormat)->bmiHeader;
  return nullptr;
}

bool IsZero(const RECT& r) { return r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0; }

bool IsPicture(const RECT& r, LONG width, LONG height) {
  return r.left == 0 && r.top == 0 && r.right == width && r.bottom == height;
}

// Tests 2 to 6 of a proposed output against one candidate built by
// BuildOutputType (test 1, the three GUIDs, is done by the caller), for a
// picture of width x height.
bool MatchesCandidate(const CMediaType& candidate, const AM_MEDIA_TYPE& proposed, LONG width,
                      LONG height) {
  if (candidate.cbFormat > proposed.cbFormat || !proposed.pbFormat) return false;
  const BITMAPINFOHEADER* want = BitmapHeaderOf(candidate);
  const BITMAPINFOHEADER* got = BitmapHeaderOf(proposed);
  const OutputFormat* format = FindOutputFormat(candidate.subtype);
  if (!want || !got || !format) return false;
  if (got->biPlanes != want->biPlanes || got->biBitCount != want->biBitCount ||
      got->biCompression != want->biCompression)
    return false;
  // Chroma rows of a 4:2:0 or 4:2:2 surface take half its pitch.
  if (format->evenSurface && (got->biWidth & 1)) return false;

  const VIDEOINFOHEADER* info = VideoInfoOf(proposed);
  if (!IsZero(info->rcSource) && !IsPicture(info->rcSource, width, height)) return false;
  // |biHeight| in 64 bits: -LONG_MIN does not fit a LONG.
  const int64_t proposedHeight = std::llabs(static_cast<int64_t>(got->biHeight));
  if (got->biWidth == width && proposedHeight == height)
    return IsZero(info->rcTarget) || IsPicture(info->rcTarget, width, height);
  // A surface of another size (a renderer's wider pitch): the picture goes to
  // its top left corner, which the surface must be able to hold at its pitch.
  return IsPicture(info->rcTarget, width, height) && got->biWidth >= width &&
         proposedHeight >= height;
}

}  // namespace

HRESULT DecompressorFilter::CheckInputType(const CMediaType* type) {
  if (!IsEqualGUID(type->majortype, MEDIATYPE_Video)) return VFW_E_TYPE_NOT_ACCEPTED;
  if (!IsCompressedSubtype(type->subtype)) return VFW_E_TYPE_NOT_ACCEPTED;
  const BITMAPINFOHEADER* header = InputBitmapHeader(*type);
  if (!header) return VFW_E_TYPE_NOT_ACCEPTED;
  if (header->biWidth < 1 || header->biWidth > kMaxDimension || header->biHeight < 1 ||
      header->biHeight > kMaxDimension)
    return VFW_E_TYPE_NOT_ACCEPTED;
  // The output image size (biSizeImage, and the allocator's signed 32-bit
  // buffer size) must not wrap: refuse pictures whose decoded size exceeds it.
  // RGB32 is the largest output: its surfaces must fit as well.
  int64_t imageSize = int64_t{4} * (header->biWidth + 1) * (header->biHeight + 1);
  if (imageSize > INT32_MAX) return VFW_E_TYPE_NOT_ACCEPTED;
  if (!zdc::FrameDecoder::AcceptsSize(header->biWidth, header->biHeight))
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT DecompressorFilter::BuildOutputType(int index, const CMediaType& in, CMediaType* out) {
  const bool inputIs2 = IsEqualGUID(in.formattype, FORMAT_VideoInfo2);
  const int count = inputIs2 ? 2 : 1;
  const BITMAPINFOHEADER* inHeader = InputBitmapHeader(in);
  if (index < 0 || !inHeader) return VFW_S_NO_MORE_ITEMS;
  if (index >= count) {
    const int converted = index - count;
    if (converted >= 2 * kConvertedFormatCount) return VFW_S_NO_MORE_ITEMS;
    return BuildConvertedType(kConvertedFormats[converted / 2], converted % 2 == 0, in, out);
  }

  const bool outputIs2 = index == 0 && inputIs2;
  const ULONG size = outputIs2 ? sizeof(VIDEOINFOHEADER2) : sizeof(VIDEOINFOHEADER);
  BYTE* format = out->AllocFormatBuffer(size);
  if (!format) return E_OUTOFMEMORY;
  std::memset(format, 0, size);

  out->majortype = MEDIATYPE_Video;
  out->bFixedSizeSamples = TRUE;
  out->bTemporalCompression = FALSE;
  out->formattype = outputIs2 ? FORMAT_VideoInfo2 : FORMAT_VideoInfo;
  const uint32_t fourcc = OutputFourCC(in.subtype);
  out->subtype = FourCCSubtype(fourcc);

  BITMAPINFOHEADER* header = reinterpret_cast<BITMAPINFOHEADER*>(format + BitmapHeaderOffset(*out));
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = inHeader->biWidth;
  header->biHeight = inHeader->biHeight;
  header->biPlanes = 1;
  header->biBitCount = fourcc == kFourCC_VbT8 ? 8 : 9;
  header->biCompression = fourcc;
  // CheckInputType keeps this product within 32 bits for accepted inputs.
  header->biSizeImage = static_cast<DWORD>(static_cast<int64_t>(header->biBitCount) *
                                           header->biWidth * header->biHeight / 8);
  header->biXPelsPerMeter = inHeader->biXPelsPerMeter;
  header->biYPelsPerMeter = inHeader->biYPelsPerMeter;

  // rcSource, rcTarget and dwBitErrorRate stay zero.
  const VIDEOINFOHEADER* inInfo = reinterpret_cast<const VIDEOINFOHEADER*>(in.pbFormat);
  VIDEOINFOHEADER* info = reinterpret_cast<VIDEOINFOHEADER*>(format);
  info->AvgTimePerFrame = inInfo->AvgTimePerFrame;
  if (inInfo->AvgTimePerFrame != 0) {
    // The frame rate truncated first, then times the image size in 32 bits.
    uint32_t rate = static_cast<uint32_t>(INT64_C(80000000) / inInfo->AvgTimePerFrame);
    info->dwBitRate = rate * header->biSizeImage;
  }
  if (outputIs2) {
    const VIDEOINFOHEADER2* in2 = reinterpret_cast<const VIDEOINFOHEADER2*>(in.pbFormat);
    VIDEOINFOHEADER2* info2 = reinterpret_cast<VIDEOINFOHEADER2*>(format);
    info2->dwInterlaceFlags = in2->dwInterlaceFlags;
    info2->dwPictAspectRatioX = in2->dwPictAspectRatioX;
    info2->dwPictAspectRatioY = in2->dwPictAspectRatioY;
  }
  out->lSampleSize = header->biSizeImage;
  return S_OK;
}

HRESULT DecompressorFilter::BuildConvertedType(const OutputFormat& format, bool withInfo2,
                                               const CMediaType& in, CMediaType* out) {
  const BITMAPINFOHEADER* inHeader = InputBitmapHeader(in);
  const ULONG size = withInfo2 ? sizeof(VIDEOINFOHEADER2) : sizeof(VIDEOINFOHEADER);
  BYTE* block = out->AllocFormatBuffer(size);
  if (!block) return E_OUTOFMEMORY;
  std::memset(block, 0, size);
  out->majortype = MEDIATYPE_Video;
  out->subtype = *format.subtype;
  out->formattype = withInfo2 ? FORMAT_VideoInfo2 : FORMAT_VideoInfo;
  out->bFixedSizeSamples = TRUE;
  out->bTemporalCompression = FALSE;

  // An odd picture gets the next even surface for 4:2:0 and 4:2:2, with the
  // picture itself named by rcSource and rcTarget.
  const LONG width = inHeader->biWidth;
  const LONG height = inHeader->biHeight;
  const LONG surfaceWidth = format.evenSurface ? (width + 1) & ~1L : width;
  const LONG surfaceHeight = format.evenSurface ? (height + 1) & ~1L : height;
  VIDEOINFOHEADER* info = reinterpret_cast<VIDEOINFOHEADER*>(block);
  if (surfaceWidth != width || surfaceHeight != height) {
    info->rcSource = RECT{0, 0, width, height};
    info->rcTarget = info->rcSource;
  }
  BITMAPINFOHEADER* header = reinterpret_cast<BITMAPINFOHEADER*>(block + BitmapHeaderOffset(*out));
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = surfaceWidth;
  header->biHeight = surfaceHeight;  // positive: RGB bottom-up, as DIBs are
  header->biPlanes = 1;
  header->biBitCount = format.bitCount;
  header->biCompression = format.compression;
  header->biSizeImage = static_cast<DWORD>(
      zdc::SurfaceBytes(format.pixels, surfaceHeight, SurfacePitch(format, surfaceWidth), true));
  header->biXPelsPerMeter = inHeader->biXPelsPerMeter;
  header->biYPelsPerMeter = inHeader->biYPelsPerMeter;

  const VIDEOINFOHEADER* inInfo = reinterpret_cast<const VIDEOINFOHEADER*>(in.pbFormat);
  info->AvgTimePerFrame = inInfo->AvgTimePerFrame;
  if (inInfo->AvgTimePerFrame != 0) {
    info->dwBitRate = static_cast<DWORD>(
        std::min<int64_t>(INT64_C(80000000) * header->biSizeImage / inInfo->AvgTimePerFrame,
                          UINT32_MAX));
  }
  if (withInfo2) {
    VIDEOINFOHEADER2* info2 = reinterpret_cast<VIDEOINFOHEADER2*>(block);
    if (IsEqualGUID(in.formattype, FORMAT_VideoInfo2)) {
      const VIDEOINFOHEADER2* in2 = reinterpret_cast<const VIDEOINFOHEADER2*>(in.pbFormat);
      info2->dwPictAspectRatioX = in2->dwPictAspectRatioX;
      info2->dwPictAspectRatioY = in2->dwPictAspectRatioY;
    } else {
      info2->dwPictAspectRatioX = static_cast<DWORD>(width);
      info2->dwPictAspectRatioY = static_cast<DWORD>(height);
    }
  }
  out->lSampleSize = header->biSizeImage;
  return S_OK;
}

HRESULT DecompressorFilter::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (!m_pInput->IsConnected()) return VFW_E_NOT_CONNECTED;
  return BuildOutputType(position, m_pInput->CurrentMediaType(), type);
}

HRESULT DecompressorFilter::CheckTransform(const CMediaType* in, const CMediaType* out) {
  const BITMAPINFOHEADER* inHeader = InputBitmapHeader(*in);
  if (!inHeader) return VFW_E_TYPE_NOT_ACCEPTED;
  CMediaType candidate;
  for (int index = 0; BuildOutputType(index, *in, &candidate) == S_OK; ++index) {
    if (IsEqualGUID(out->majortype, candidate.majortype) &&
        IsEqualGUID(out->subtype, candidate.subtype) &&
        IsEqualGUID(out->formattype, candidate.formattype) &&
        MatchesCandidate(candidate, *out, inHeader->biWidth, inHeader->biHeight))
      return S_OK;
  }
  return VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT DecompressorFilter::CheckPinMediaType(PIN_DIRECTION direction, const CMediaType* type) {
  if (direction == PINDIR_OUTPUT) {
    if (!m_pInput->IsConnected()) return E_INVALIDARG;
    return CheckTransform(&m_pInput->CurrentMediaType(), type);
  }
  HRESULT hr = CheckInputType(type);
  if (FAILED(hr) || !m_pOutput->IsConnected()) return hr;
  // A type arriving on a sample while streaming: the picture, its size and
  // the output type were set up for the current input, so only a type of the
  // same geometry is taken; another would be decoded into the old one.
  if (IsActive() && m_pInput->IsConnected()) {
    const BITMAPINFOHEADER* now = InputBitmapHeader(m_pInput->CurrentMediaType());
    const BITMAPINFOHEADER* next = InputBitmapHeader(*type);
    const bool lumaOnlyNow = IsEqualGUID(m_pInput->CurrentMediaType().subtype, MEDIASUBTYPE_QZV3);
    const bool lumaOnlyNext = IsEqualGUID(type->subtype, MEDIASUBTYPE_QZV3);
    if (!now || now->biWidth != next->biWidth || now->biHeight != next->biHeight ||
        lumaOnlyNow != lumaOnlyNext)
      return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
  }
  // A new input while the output stays connected: some output type for it
  // must suit the pin downstream.
  IPin* downstream = m_pOutput->GetConnected();
  CMediaType candidate;
  for (int index = 0; BuildOutputType(index, *type, &candidate) == S_OK; ++index) {
    if (downstream->QueryAccept(&candidate) == S_OK) return S_OK;
  }
  return VFW_E_INVALIDMEDIATYPE;
}
