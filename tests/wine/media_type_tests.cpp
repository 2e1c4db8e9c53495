// Media types in a platform graph: the input types taken, the output types
// offered (every field) and accepted, allocator negotiation, and the output's
// reconnection when the input changes.
#include "test_filters.h"

#include <amvideo.h>
#include <dvdmedia.h>
#include <uuids.h>

#include <cstring>

#include "check.h"

namespace {

const GUID kQZV5 = FourCCSubtype(MakeFourCC('Q', 'Z', 'V', '5'));

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
  const struct {
    const GUID* subtype;
    bool info2;
    LONG width, height;
    Change change;
    HRESULT expected;
  } tests[] = {
      {&MEDIASUBTYPE_QZV2, false, 320, 240, kNone, S_OK},
      {&MEDIASUBTYPE_QZV3, true, 176, 144, kNone, S_OK},
      {&MEDIASUBTYPE_QZV4, false, 100, 50, kLong, S_OK},
      {&MEDIASUBTYPE_QZV3, false, 65535, 32768, kNone, S_OK},
      {&MEDIASUBTYPE_QZV2, false, 320, 240, kAudio, VFW_E_TYPE_NOT_ACCEPTED},
      {&MEDIASUBTYPE_YVU9, false, 320, 240, kNone, VFW_E_TYPE_NOT_ACCEPTED},
      {&kQZV5, false, 320, 240, kNone, VFW_E_TYPE_NOT_ACCEPTED},
      {&MEDIASUBTYPE_QZV2, false, 320, 240, kFormatNone, VFW_E_TYPE_NOT_ACCEPTED},
      {&MEDIASUBTYPE_QZV2, false, 320, 240, kNoFormat, VFW_E_TYPE_NOT_ACCEPTED},
      {&MEDIASUBTYPE_QZV2, false, 320, 240, kShort, VFW_E_TYPE_NOT_ACCEPTED},
      {&MEDIASUBTYPE_QZV2, true, 320, 240, kShort, VFW_E_TYPE_NOT_ACCEPTED},
      {&MEDIASUBTYPE_QZV2, true, 320, 240, kVih2InVihSize, VFW_E_TYPE_NOT_ACCEPTED},
      {&MEDIASUBTYPE_QZV2, false, 320, -240, kNone, VFW_E_TYPE_NOT_ACCEPTED},
      {&MEDIASUBTYPE_QZV2, false, 0, 240, kNone, VFW_E_TYPE_NOT_ACCEPTED},
      {&MEDIASUBTYPE_QZV2, false, 65536, 240, kNone, VFW_E_TYPE_NOT_ACCEPTED},
      {&MEDIASUBTYPE_QZV4, true, 16, 65536, kNone, VFW_E_TYPE_NOT_ACCEPTED},
      {&MEDIASUBTYPE_QZV2, false, 65535, 32768, kNone, VFW_E_TYPE_NOT_ACCEPTED},  // > 2^31 bytes
  };
  TestGraph g;
  if (!g.in) return;
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
    HRESULT hr = g.in->ReceiveConnection(&g.source->m_pin, &type);
    ok(hr == tests[i].expected, "Test %zu: got hr %#lx.\n", i, hr);
    HRESULT accept = g.in->QueryAccept(&type);
    ok(accept == (hr == S_OK ? S_OK : S_FALSE), "Test %zu: QueryAccept got hr %#lx.\n", i, accept);
    if (hr == S_OK) {
      AM_MEDIA_TYPE connected;
      g.in->ConnectionMediaType(&connected);
      ok(connected.subtype == *tests[i].subtype, "Test %zu: got subtype %08lx.\n", i,
         connected.subtype.Data1);
      FreeMediaType(connected);
      g.in->Disconnect();
    }
    hr = g.in->Disconnect();  // a refused connection leaves nothing behind
    ok(hr == S_FALSE, "Test %zu: Disconnect got hr %#lx.\n", i, hr);
  }

  IBaseFilter* loose = NewDecompressor();
  IPin* in = FindPin(loose, L"In");
  CMediaType type = InputType(MEDIASUBTYPE_QZV2, false, 320, 240);
  HRESULT hr = in->ReceiveConnection(&g.source->m_pin, &type);
  ok(hr == VFW_E_NOT_IN_GRAPH, "Outside a graph: got hr %#lx.\n", hr);
  in->Release();
  ok(loose->Release() == 0, "Loose filter left.\n");
}

void TestOutputTypes() {
  const struct {
    const GUID* subtype;
    bool info2;
    LONG width, height;
    REFERENCE_TIME avg;
    ULONG count;
    const GUID* output;
    WORD bitCount;
    DWORD imageSize;
  } tests[] = {
      {&MEDIASUBTYPE_QZV2, false, 320, 240, 400000, 1, &MEDIASUBTYPE_YVU9, 9, 86400},
      {&MEDIASUBTYPE_QZV3, true, 176, 144, 333667, 2, &MEDIASUBTYPE_VbT8, 8, 25344},
      {&MEDIASUBTYPE_QZV4, true, 100, 50, 0, 2, &MEDIASUBTYPE_VbT9, 9, 5625},
      {&MEDIASUBTYPE_QZV2, false, 64, 48, 1, 1, &MEDIASUBTYPE_YVU9, 9, 3456},
      {&MEDIASUBTYPE_QZV4, false, 64, 48, -400000, 1, &MEDIASUBTYPE_VbT9, 9, 3456},
  };
  for (size_t i = 0; i < ARRAYSIZE(tests); ++i) {
    TestGraph g;
    if (!g.in) return;
    CMediaType input =
        InputType(*tests[i].subtype, tests[i].info2, tests[i].width, tests[i].height, tests[i].avg);
    auto* in2 = reinterpret_cast<VIDEOINFOHEADER2*>(input.pbFormat);
    if (tests[i].info2) {
      in2->dwInterlaceFlags = 5;
      in2->dwPictAspectRatioX = 4;
      in2->dwPictAspectRatioY = 3;
      in2->dwCopyProtectFlags = 1;
      in2->dwControlFlags = 2;
    }
    HRESULT hr = g.ConnectInput(input);
    ok(hr == S_OK, "Test %zu: got hr %#lx.\n", i, hr);
    // The rate is truncated to whole frames per second before it is scaled, in 32 bits.
    const DWORD bitRate = tests[i].avg ? static_cast<uint32_t>(INT64_C(80000000) / tests[i].avg) *
                                             tests[i].imageSize
                                       : 0;
    IEnumMediaTypes* types = nullptr;
    g.out->EnumMediaTypes(&types);
    AM_MEDIA_TYPE* list[3] = {};
    ULONG count = 0;
    hr = types->Next(3, list, &count);
    ok(hr == S_FALSE && count == tests[i].count, "Test %zu: got hr %#lx, %lu types.\n", i, hr,
       count);
    ok(types->Reset() == S_OK && types->Skip(count) == S_OK && types->Skip(1) == S_FALSE,
       "Test %zu: Reset and Skip.\n", i);
    types->Release();
    for (ULONG t = 0; t < count; ++t) {
      AM_MEDIA_TYPE* type = list[t];
      const bool info2 = tests[i].info2 && t == 0;
      const ULONG size = info2 ? sizeof(VIDEOINFOHEADER2) : sizeof(VIDEOINFOHEADER);
      ok(type->majortype == MEDIATYPE_Video && type->subtype == *tests[i].output &&
             type->formattype == (info2 ? FORMAT_VideoInfo2 : FORMAT_VideoInfo),
         "Test %zu.%lu: got subtype %08lx, format %08lx.\n", i, t, type->subtype.Data1,
         type->formattype.Data1);
      ok(type->bFixedSizeSamples && !type->bTemporalCompression && !type->pUnk &&
             type->lSampleSize == tests[i].imageSize && type->cbFormat == size,
         "Test %zu.%lu: got %d, %d, %p, size %lu, format %lu bytes.\n", i, t,
         type->bFixedSizeSamples, type->bTemporalCompression, type->pUnk, type->lSampleSize,
         type->cbFormat);
      const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
      const RECT zero = {};
      ok(EqualRect(&info->rcSource, &zero) && EqualRect(&info->rcTarget, &zero) &&
             info->dwBitRate == bitRate && !info->dwBitErrorRate &&
             info->AvgTimePerFrame == tests[i].avg,
         "Test %zu.%lu: got rate %lu, time %lld.\n", i, t, info->dwBitRate, info->AvgTimePerFrame);
      if (info2) {
        const auto* out2 = reinterpret_cast<const VIDEOINFOHEADER2*>(type->pbFormat);
        ok(out2->dwInterlaceFlags == 5 && out2->dwPictAspectRatioX == 4 &&
               out2->dwPictAspectRatioY == 3 && !out2->dwCopyProtectFlags &&
               !out2->dwControlFlags && !out2->dwReserved2,
           "Test %zu.%lu: got interlace %lu, aspect %lu:%lu, flags %lu, %lu.\n", i, t,
           out2->dwInterlaceFlags, out2->dwPictAspectRatioX, out2->dwPictAspectRatioY,
           out2->dwCopyProtectFlags, out2->dwControlFlags);
      }
      const BITMAPINFOHEADER* h = BitmapHeader(*type);
      ok(h->biSize == 40 && h->biPlanes == 1 && h->biWidth == tests[i].width &&
             h->biHeight == tests[i].height && h->biBitCount == tests[i].bitCount &&
             h->biCompression == tests[i].output->Data1 && h->biSizeImage == tests[i].imageSize,
         "Test %zu.%lu: got %lu, %u, %ldx%ld, %u bits, %08lx, %lu bytes.\n", i, t, h->biSize,
         h->biPlanes, h->biWidth, h->biHeight, h->biBitCount, h->biCompression, h->biSizeImage);
      ok(h->biXPelsPerMeter == 2835 && h->biYPelsPerMeter == 2836 && !h->biClrUsed &&
             !h->biClrImportant,
         "Test %zu.%lu: got %ld, %ld, %lu, %lu.\n", i, t, h->biXPelsPerMeter, h->biYPelsPerMeter,
         h->biClrUsed, h->biClrImportant);
      hr = g.out->QueryAccept(type);
      ok(hr == S_OK, "Test %zu.%lu: QueryAccept got hr %#lx.\n", i, t, hr);
      DeleteMediaType(type);
    }
  }
}

void TestProposedOutputTypes() {
  enum What { kSame, kTarget, kSource, kWidth, kHeight, kTopDown, kSubtype, kBitCount, kPlanes,
              kCompression, kFormatType, kMajor, kShortFormat, kLongFormat };
  const struct {
    What what;
    LONG a, c, d;  // a value; a rectangle (a, 0)-(c, d)
    HRESULT expected;
  } tests[] = {
      {kSame, 0, 0, 0, S_OK},
      {kTarget, 0, 320, 240, S_OK},
      {kTarget, 0, 319, 240, VFW_E_TYPE_NOT_ACCEPTED},
      {kTarget, 8, 328, 240, VFW_E_TYPE_NOT_ACCEPTED},
      {kSource, 0, 320, 240, S_OK},
      {kSource, 1, 320, 240, VFW_E_TYPE_NOT_ACCEPTED},
      {kSource, 0, 160, 120, VFW_E_TYPE_NOT_ACCEPTED},
      {kTopDown, 0, 0, 0, S_OK},
      {kWidth, 384, 0, 0, VFW_E_TYPE_NOT_ACCEPTED},  // a wider surface needs rcTarget
      {kWidth, 384, 320, 240, S_OK},
      {kWidth, 384, 320, 200, VFW_E_TYPE_NOT_ACCEPTED},
      {kHeight, 480, 320, 240, S_OK},
      {kWidth, 256, 320, 240, VFW_E_TYPE_NOT_ACCEPTED},
      {kHeight, 200, 320, 240, VFW_E_TYPE_NOT_ACCEPTED},
      {kSubtype, 0, 0, 0, VFW_E_TYPE_NOT_ACCEPTED},
      {kBitCount, 12, 0, 0, VFW_E_TYPE_NOT_ACCEPTED},
      {kPlanes, 2, 0, 0, VFW_E_TYPE_NOT_ACCEPTED},
      {kCompression, 0, 0, 0, VFW_E_TYPE_NOT_ACCEPTED},
      {kFormatType, 0, 0, 0, VFW_E_TYPE_NOT_ACCEPTED},
      {kMajor, 0, 0, 0, VFW_E_TYPE_NOT_ACCEPTED},
      {kShortFormat, 0, 0, 0, VFW_E_TYPE_NOT_ACCEPTED},
      {kLongFormat, 0, 0, 0, S_OK},
  };
  TestGraph g;
  if (!g.in) return;
  g.ConnectInput(InputType(MEDIASUBTYPE_QZV2, false, 320, 240));
  const CMediaType base = FirstOffered(g.out);
  for (size_t i = 0; i < ARRAYSIZE(tests); ++i) {
    CMediaType type = base;
    auto* info = reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat);
    BITMAPINFOHEADER* h = BitmapHeader(type);
    const LONG a = tests[i].a;
    switch (tests[i].what) {
      case kTarget: SetRect(&info->rcTarget, a, 0, tests[i].c, tests[i].d); break;
      case kSource: SetRect(&info->rcSource, a, 0, tests[i].c, tests[i].d); break;
      case kWidth: h->biWidth = a; SetRect(&info->rcTarget, 0, 0, tests[i].c, tests[i].d); break;
      case kHeight: h->biHeight = a; SetRect(&info->rcTarget, 0, 0, tests[i].c, tests[i].d); break;
      case kTopDown: h->biHeight = -h->biHeight; break;
      case kSubtype: type.subtype = MEDIASUBTYPE_VbT9; break;
      case kBitCount: h->biBitCount = static_cast<WORD>(a); break;
      case kPlanes: h->biPlanes = static_cast<WORD>(a); break;
      case kCompression: h->biCompression = kFourCC_VbT9; break;
      case kFormatType: type.formattype = FORMAT_VideoInfo2; break;
      case kMajor: type.majortype = MEDIATYPE_Audio; break;
      case kShortFormat: type.cbFormat = 87; break;
      case kLongFormat: type = Longer(type, 32); break;
      case kSame: break;
    }
    HRESULT accept = g.out->QueryAccept(&type);
    ok(accept == (tests[i].expected == S_OK ? S_OK : S_FALSE), "Test %zu: QueryAccept got %#lx.\n",
       i, accept);
    HRESULT hr = g.out->Connect(&g.sink->m_pin, &type);
    ok(hr == tests[i].expected, "Test %zu: Connect got hr %#lx.\n", i, hr);
    if (hr == S_OK) g.graph->Disconnect(g.out), g.graph->Disconnect(&g.sink->m_pin);
  }
}

// The allocator the sink offers, or else the platform's, sized as the sink
// asks and as the output type needs.
void TestAllocatorNegotiation() {
  const struct {
    long buffers, align;  // buffers < 0: no requirements
    bool ownAllocator;
    LONG surfaceWidth;    // 0: the offered type
    long expectedBuffers, expectedSize;
  } tests[] = {
      {-1, 0, false, 0, 1, 86400},
      {0, 1, false, 0, 1, 86400},
      {3, 1, false, 0, 3, 86400},
      {2, 16, false, 0, 2, 86400},
      {0, 1, false, 384, 1, 103680},
      {2, 1, true, 0, 2, 90000},  // the sink's allocator hands out larger buffers
  };
  for (size_t i = 0; i < ARRAYSIZE(tests); ++i) {
    TestGraph g;
    if (!g.in) return;
    g.ConnectInput(InputType(MEDIASUBTYPE_QZV2, false, 320, 240));
    if (tests[i].buffers >= 0) {
      g.sink->hasRequirements = true;
      g.sink->requirements = {tests[i].buffers, 0, tests[i].align, 0};
    }
    if (tests[i].ownAllocator) g.sink->ownAllocator = NewTestAllocator(90000, -1, nullptr);
    CMediaType wide = FirstOffered(g.out);
    if (tests[i].surfaceWidth) {
      BitmapHeader(wide)->biWidth = tests[i].surfaceWidth;
      wide.lSampleSize = BitmapHeader(wide)->biSizeImage = tests[i].surfaceWidth * 240 * 9 / 8;
      SetRect(&reinterpret_cast<VIDEOINFOHEADER*>(wide.pbFormat)->rcTarget, 0, 0, 320, 240);
    }
    HRESULT hr = g.ConnectOutput(tests[i].surfaceWidth ? &wide : nullptr);
    ok(hr == S_OK, "Test %zu: got hr %#lx.\n", i, hr);
    const ALLOCATOR_PROPERTIES& props = g.sink->notified;
    ok(props.cBuffers == tests[i].expectedBuffers && props.cbBuffer == tests[i].expectedSize &&
           props.cbAlign == (tests[i].align ? tests[i].align : 1),
       "Test %zu: got %ld buffers of %ld bytes, alignment %ld.\n", i, props.cBuffers,
       props.cbBuffer, props.cbAlign);
  }
}

void TestReconnection() {
  TestGraph g;
  if (!g.in) return;
  g.ConnectInput(InputType(MEDIASUBTYPE_QZV2, false, 320, 240));
  g.ConnectOutput();
  // A new input size while the output is connected: the output is
  // reconnected with the matching type.
  g.graph->Disconnect(g.in);
  g.graph->Disconnect(&g.source->m_pin);
  HRESULT hr = g.ConnectInput(InputType(MEDIASUBTYPE_QZV2, false, 176, 144));
  ok(hr == S_OK, "Got hr %#lx.\n", hr);
  AM_MEDIA_TYPE type;
  g.out->ConnectionMediaType(&type);
  ok(BitmapHeader(type)->biWidth == 176 && BitmapHeader(type)->biHeight == 144,
     "Got output %ldx%ld.\n", BitmapHeader(type)->biWidth, BitmapHeader(type)->biHeight);
  FreeMediaType(type);
  // Downstream takes no output for the new input: the input type is refused.
  g.graph->Disconnect(g.in);
  g.graph->Disconnect(&g.source->m_pin);
  g.sink->acceptWidth = 176;
  CMediaType other = InputType(MEDIASUBTYPE_QZV2, false, 320, 240);
  hr = g.in->ReceiveConnection(&g.source->m_pin, &other);
  ok(hr == VFW_E_INVALIDMEDIATYPE, "Got hr %#lx.\n", hr);
  hr = g.in->QueryAccept(&other);
  ok(hr == S_FALSE, "Got hr %#lx.\n", hr);
}

}  // namespace

void TestMediaTypes() {
  TestInputTypes();
  TestOutputTypes();
  TestProposedOutputTypes();
  TestAllocatorNegotiation();
  TestReconnection();
}
