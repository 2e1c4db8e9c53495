// Media types in a platform graph: the input types taken, the output types
// offered (every field) and accepted, and the output's reconnection when the
// input changes. The allocator's negotiation shows in the streaming tests.
#include "test_filters.h"

#include <amvideo.h>
#include <dvdmedia.h>
#include <uuids.h>

#include <algorithm>
#include <cstring>

#include "check.h"

namespace {

// A copy of `type` with `extra` zero bytes after its format block.
CMediaType Longer(const CMediaType& type, ULONG extra) {
  CMediaType longer = type;
  BYTE* block = longer.AllocFormatBuffer(type.cbFormat + extra);
  std::memset(block, 0, type.cbFormat + extra);
  std::memcpy(block, type.pbFormat, type.cbFormat);
  return longer;
}

void TestInputTypes() {
  enum Change { kNone, kAudio, kFormatNone, kNoFormat, kShort, kLong, kVih2InVihSize };
  const GUID &qzv2 = MEDIASUBTYPE_QZV2, &qzv3 = MEDIASUBTYPE_QZV3, &qzv4 = MEDIASUBTYPE_QZV4,
             &yvu9 = MEDIASUBTYPE_YVU9;
  const GUID qzv5 = FourCCSubtype(MakeFourCC('Q', 'Z', 'V', '5'));
  const struct { const GUID* subtype; bool info2; LONG width, height; Change change; bool ok; }
      tests[] = {
          {&qzv2, false, 320, 240, kNone, true},        {&qzv3, true, 176, 144, kNone, true},
          {&qzv4, false, 100, 50, kLong, true},
          {&qzv3, false, 16384, 16384, kNone, true},   // the largest picture the decoder takes
          {&qzv3, false, 16384, 16385, kNone, false},  // refused here, not at Pause
          {&qzv2, false, 320, 240, kAudio, false},     {&yvu9, false, 320, 240, kNone, false},
          {&qzv5, false, 320, 240, kNone, false},      {&qzv2, false, 320, 240, kFormatNone, false},
          {&qzv2, false, 320, 240, kNoFormat, false},   {&qzv2, false, 320, 240, kShort, false},
          {&qzv2, true, 320, 240, kShort, false},
          {&qzv2, true, 320, 240, kVih2InVihSize, false},
          {&qzv2, false, 320, -240, kNone, false},      {&qzv2, false, 0, 240, kNone, false},
          {&qzv2, false, 65536, 240, kNone, false},     {&qzv4, true, 16, 65536, kNone, false},
          {&qzv2, false, 65535, 32768, kNone, false},  // over 2^31 bytes of picture
      };
  TestGraph g;
  for (size_t i = 0; i < ARRAYSIZE(tests); ++i) {
    CMediaType type = InputType(*tests[i].subtype, tests[i].info2, tests[i].width, tests[i].height);
    switch (tests[i].change) {
      case kAudio: type.majortype = MEDIATYPE_Audio; break;
      case kFormatNone: type.formattype = FORMAT_None; break;
      case kNoFormat: type.ResetFormatBuffer(); break;
      case kShort: type.cbFormat -= 1; break;
      case kLong: type = Longer(type, 64); break;
      case kVih2InVihSize: type.cbFormat = sizeof(VIDEOINFOHEADER); break;
      case kNone: break;
    }
    HRESULT hr = g.in->ReceiveConnection(g.sourcePin, &type);
    HRESULT accept = g.in->QueryAccept(&type);
    AM_MEDIA_TYPE connected = {};
    g.in->ConnectionMediaType(&connected);
    HRESULT disconnect = g.in->Disconnect();  // a refused connection leaves nothing behind
    const bool taken = tests[i].ok;
    ok(hr == (taken ? S_OK : VFW_E_TYPE_NOT_ACCEPTED) && accept == (taken ? S_OK : S_FALSE) &&
           disconnect == (taken ? S_OK : S_FALSE) &&
           (!tests[i].ok || connected.subtype == *tests[i].subtype),
       "Test %zu: got hr %#lx, QueryAccept %#lx, Disconnect %#lx, subtype %08lx.\n", i, hr,
       accept, disconnect, connected.subtype.Data1);
    FreeMediaType(connected);
  }
}

// The types offered for an input: the decoder's own (the input's format with
// the output's subtype, size and rate; the rate truncated to whole frames
// per second, then scaled in 32 bits), then six converted formats, each as a
// VIDEOINFOHEADER2 type and then a VIDEOINFOHEADER type, with the surface
// and image size its layout needs (4:2:0 and 4:2:2 surfaces even, the
// picture in rcTarget) and RGB bottom-up.
void TestOutputTypes() {
  const struct { const GUID* subtype; bool info2; LONG width, height; REFERENCE_TIME avg;
                 ULONG count; const GUID* output; WORD bitCount; DWORD size; } tests[] = {
      {&MEDIASUBTYPE_QZV2, false, 320, 240, 400000, 1, &MEDIASUBTYPE_YVU9, 9, 86400},
      {&MEDIASUBTYPE_QZV3, true, 176, 144, 333667, 2, &MEDIASUBTYPE_VbT8, 8, 25344},
      {&MEDIASUBTYPE_QZV4, true, 100, 50, 0, 2, &MEDIASUBTYPE_VbT9, 9, 5625},
      {&MEDIASUBTYPE_QZV2, false, 64, 48, 1, 1, &MEDIASUBTYPE_YVU9, 9, 3456},
      {&MEDIASUBTYPE_QZV4, false, 64, 48, -400000, 1, &MEDIASUBTYPE_VbT9, 9, 3456},
      {&MEDIASUBTYPE_QZV2, false, 99, 51, 400000, 1, &MEDIASUBTYPE_YVU9, 9, 5680},
  };
  const struct { const GUID* subtype; WORD bits; bool even; } converted[] = {
      {&MEDIASUBTYPE_NV12, 12, true},  {&MEDIASUBTYPE_YV12, 12, true},
      {&MEDIASUBTYPE_IYUV, 12, true},  {&MEDIASUBTYPE_YUY2, 16, true},
      {&MEDIASUBTYPE_RGB32, 32, false}, {&MEDIASUBTYPE_RGB24, 24, false}};
  for (size_t i = 0; i < ARRAYSIZE(tests); ++i) {
    TestGraph g;
    const auto& t = tests[i];
    CMediaType input = InputType(*t.subtype, t.info2, t.width, t.height, t.avg);
    auto* in2 = reinterpret_cast<VIDEOINFOHEADER2*>(input.pbFormat);
    if (t.info2) in2->dwInterlaceFlags = 5, in2->dwCopyProtectFlags = 1, in2->dwControlFlags = 2,
                 in2->dwPictAspectRatioX = 4, in2->dwPictAspectRatioY = 3;
    HRESULT hr = g.ConnectInput(input);
    IEnumMediaTypes* types = nullptr;
    g.out->EnumMediaTypes(&types);
    AM_MEDIA_TYPE* list[16] = {};
    ULONG count = 0;
    HRESULT next = types->Next(16, list, &count);
    ok(hr == S_OK && next == S_FALSE && count == t.count + 12,
       "Test %zu: got hr %#lx, %#lx, %lu types.\n", i, hr, next, count);
    types->Release();
    for (ULONG n = 0; n < count && n < t.count + 12; ++n) {
      const AM_MEDIA_TYPE* got = list[n];
      const BITMAPINFOHEADER* h = BitmapHeader(*got);
      const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(got->pbFormat);
      if (n >= t.count) {
        const auto& f = converted[(n - t.count) / 2];
        const LONG w = f.even ? (t.width + 1) & ~1L : t.width;
        const LONG ht = f.even ? (t.height + 1) & ~1L : t.height;
        const LONG rowBytes = f.bits == 24 ? (w * 3 + 3) & ~3L : w * f.bits / 8;
        const DWORD size = f.bits == 12 ? w * ht + 2 * (w / 2) * ((ht + 1) / 2) : rowBytes * ht;
        const bool framed = w != t.width || ht != t.height;
        const RECT picture = {0, 0, framed ? t.width : 0, framed ? t.height : 0};
        ok(got->subtype == *f.subtype &&
               got->formattype == ((n - t.count) % 2 ? FORMAT_VideoInfo : FORMAT_VideoInfo2) &&
               h->biWidth == w && h->biHeight == ht && h->biBitCount == f.bits &&
               h->biSizeImage == size && got->lSampleSize == size &&
               EqualRect(&info->rcTarget, &picture) && EqualRect(&info->rcSource, &picture) &&
               info->AvgTimePerFrame == t.avg,
           "Test %zu.%lu: got subtype %08lx, %ldx%ld, %u bits, %lu bytes, target %ld x %ld.\n",
           i, n, got->subtype.Data1, h->biWidth, h->biHeight, h->biBitCount, h->biSizeImage,
           info->rcTarget.right, info->rcTarget.bottom);
      } else {
        CMediaType want = InputType(*t.output, t.info2 && !n, t.width, t.height, t.avg);
        if (t.info2 && !n) {
          auto* want2 = reinterpret_cast<VIDEOINFOHEADER2*>(want.pbFormat);
          want2->dwInterlaceFlags = 5;
          want2->dwPictAspectRatioX = 4;
          want2->dwPictAspectRatioY = 3;
        }
        reinterpret_cast<VIDEOINFOHEADER*>(want.pbFormat)->dwBitRate =
            t.avg ? static_cast<uint32_t>(INT64_C(80000000) / t.avg) * t.size : 0;
        BitmapHeader(want)->biBitCount = t.bitCount;
        BitmapHeader(want)->biSizeImage = t.size;
        size_t at = 0;
        const ULONG common = std::min(got->cbFormat, want.cbFormat);
        while (at < common && got->pbFormat[at] == want.pbFormat[at]) ++at;
        ok(got->majortype == MEDIATYPE_Video && got->subtype == *t.output &&
               got->formattype == want.formattype && got->bFixedSizeSamples &&
               !got->bTemporalCompression && got->lSampleSize == t.size && !got->pUnk &&
               got->cbFormat == want.cbFormat && at == want.cbFormat,
           "Test %zu.%lu: got subtype %08lx, format %08lx, flags %d %d, size %lu, format of "
           "%lu bytes differing from byte %zu.\n", i, n, got->subtype.Data1,
           got->formattype.Data1, got->bFixedSizeSamples, got->bTemporalCompression,
           got->lSampleSize, got->cbFormat, at);
      }
    }
    for (ULONG n = 0; n < count; ++n) DeleteMediaType(list[n]);
  }
}

// Types proposed from an offered one, as renderers do: another surface
// (wider pitch, even for 4:2:0 and 4:2:2 whose chroma rows take half of it;
// the picture in rcTarget), RGB top-down, other rectangles or fields. A type
// of the decoder's layout that is taken also connects. (Every format on a
// wider surface, RGB top-down, connects in the streaming tests.)
void TestProposedTypes() {
  enum What { kSame, kTarget, kSource, kSurface, kTopDown, kSubtype, kBitCount, kPlanes,
              kCompression, kFormatType, kMajor, kShortFormat, kLongFormat };
  const GUID *own = nullptr, *nv12 = &MEDIASUBTYPE_NV12, *rgb32 = &MEDIASUBTYPE_RGB32;
  // For kSurface, width a and height b with the picture (0, 0)-(c, d); else
  // a rectangle (a, b)-(c, d) or a value a.
  const struct { const GUID* subtype; What what; LONG a, b, c, d; bool ok; } tests[] = {
      {own, kSame, 0, 0, 0, 0, true},           {own, kTarget, 0, 0, 320, 240, true},
      {own, kTarget, 0, 0, 319, 240, false},    {own, kTarget, 8, 0, 328, 240, false},
      {own, kSource, 0, 0, 320, 240, true},     {own, kSource, 1, 0, 320, 240, false},
      {own, kSource, 0, 0, 160, 120, false},    {own, kTopDown, 0, 0, 0, 0, true},
      {own, kSurface, 384, 240, 0, 0, false},   {own, kSurface, 384, 240, 320, 200, false},
      {own, kSurface, 320, 480, 320, 240, true}, {own, kSurface, 256, 240, 320, 240, false},
      {own, kSurface, 320, 200, 320, 240, false}, {own, kSubtype, 0, 0, 0, 0, false},
      {own, kBitCount, 12, 0, 0, 0, false},     {own, kPlanes, 2, 0, 0, 0, false},
      {own, kCompression, 0, 0, 0, 0, false},   {own, kFormatType, 0, 0, 0, 0, false},
      {own, kMajor, 0, 0, 0, 0, false},         {own, kShortFormat, 0, 0, 0, 0, false},
      {own, kLongFormat, 0, 0, 0, 0, true},     {nv12, kSurface, 321, 240, 320, 240, false},
      {&MEDIASUBTYPE_YV12, kSurface, 352, 256, 320, 240, true},
      {&MEDIASUBTYPE_YUY2, kSurface, 333, 240, 320, 240, false},
      {rgb32, kSurface, 300, 240, 320, 240, false},
      {&MEDIASUBTYPE_RGB24, kSurface, 333, -250, 320, 240, true},
  };
  TestGraph g;
  g.ConnectInput(InputType(MEDIASUBTYPE_QZV2, false, 320, 240));
  for (size_t i = 0; i < ARRAYSIZE(tests); ++i) {
    const auto& t = tests[i];
    CMediaType type = Offered(g.out, t.subtype);
    auto* info = reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat);
    BITMAPINFOHEADER* h = BitmapHeader(type);
    switch (t.what) {
      case kTarget: SetRect(&info->rcTarget, t.a, t.b, t.c, t.d); break;
      case kSource: SetRect(&info->rcSource, t.a, t.b, t.c, t.d); break;
      case kSurface: h->biWidth = t.a, h->biHeight = t.b, SetRect(&info->rcTarget, 0, 0, t.c, t.d);
                     break;
      case kTopDown: h->biHeight = -h->biHeight; break;
      case kSubtype: type.subtype = MEDIASUBTYPE_VbT9; break;
      case kBitCount: h->biBitCount = static_cast<WORD>(t.a); break;
      case kPlanes: h->biPlanes = static_cast<WORD>(t.a); break;
      case kCompression: h->biCompression = kFourCC_VbT9; break;
      case kFormatType: type.formattype = FORMAT_VideoInfo2; break;
      case kMajor: type.majortype = MEDIATYPE_Audio; break;
      case kShortFormat: type.cbFormat = 87; break;
      case kLongFormat: type = Longer(type, 32); break;
      case kSame: break;
    }
    HRESULT accept = g.out->QueryAccept(&type);
    HRESULT hr = t.subtype ? HRESULT(t.ok ? S_OK : VFW_E_TYPE_NOT_ACCEPTED)
                           : g.out->Connect(g.sinkPin, &type);
    ok(accept == (t.ok ? S_OK : S_FALSE) && hr == (t.ok ? S_OK : VFW_E_TYPE_NOT_ACCEPTED),
       "Test %zu: got QueryAccept %#lx, Connect %#lx.\n", i, accept, hr);
    if (hr == S_OK && !t.subtype) g.graph->Disconnect(g.out), g.graph->Disconnect(g.sinkPin);
  }
}

void TestReconnection() {
  TestGraph g;
  g.ConnectInput(InputType(MEDIASUBTYPE_QZV2, false, 320, 240));
  g.ConnectOutput();
  // A new input size while the output is connected: the output is
  // reconnected with the matching type.
  g.graph->Disconnect(g.in);
  g.graph->Disconnect(g.sourcePin);
  HRESULT hr = g.ConnectInput(InputType(MEDIASUBTYPE_QZV2, false, 176, 144));
  AM_MEDIA_TYPE type;
  g.out->ConnectionMediaType(&type);
  ok(hr == S_OK && BitmapHeader(type)->biWidth == 176 && BitmapHeader(type)->biHeight == 144,
     "Got hr %#lx, output %ldx%ld.\n", hr, BitmapHeader(type)->biWidth,
     BitmapHeader(type)->biHeight);
  FreeMediaType(type);
  // Downstream takes no output for the new input: the input type is refused.
  g.graph->Disconnect(g.in);
  g.graph->Disconnect(g.sourcePin);
  g.sink->acceptWidth = 176;
  CMediaType other = InputType(MEDIASUBTYPE_QZV2, false, 320, 240);
  hr = g.in->ReceiveConnection(g.sourcePin, &other);
  HRESULT accept = g.in->QueryAccept(&other);
  ok(hr == VFW_E_INVALIDMEDIATYPE && accept == S_FALSE, "Got hr %#lx, QueryAccept %#lx.\n", hr,
     accept);
}

}  // namespace

void TestMediaTypes() {
  TestInputTypes();
  TestOutputTypes();
  TestProposedTypes();
  TestReconnection();
}
