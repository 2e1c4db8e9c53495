// Media-type negotiation of the decompressor inside a platform graph: the
// input types it takes, the output types it offers with every field, the
// output types it accepts, buffer sizing with the platform's memory
// allocator, and reconnection of the output when the input changes.
#include <windows.h>
#include <strmif.h>
#include <amvideo.h>
#include <dvdmedia.h>
#include <uuids.h>

#include <cstdint>
#include <cstring>

#include "check.h"
#include "test_graph.h"
#include "test_support.h"
#include "zdc_guids.h"

namespace {

const GUID kQZV5 = FourCCSubtype(MakeFourCC('Q', 'Z', 'V', '5'));

bool IsZero(const RECT& r) { return !r.left && !r.top && !r.right && !r.bottom; }

void TestInputTypes() {
  BeginGroup("input types");
  TestGraph g;
  if (!g.Create()) return g.Release();

  enum Change { kNone, kAudio, kFormatNone, kNullFormat, kShort, kLong, kVih2InVihSize };
  struct {
    const char* name;
    GUID subtype;
    bool info2;
    LONG width, height;
    Change change;
    HRESULT expected;
  } cases[] = {
      {"QZV2 VIH", MEDIASUBTYPE_QZV2, false, 320, 240, kNone, S_OK},
      {"QZV3 VIH2", MEDIASUBTYPE_QZV3, true, 176, 144, kNone, S_OK},
      {"QZV4 VIH", MEDIASUBTYPE_QZV4, false, 100, 50, kNone, S_OK},
      {"longer format block", MEDIASUBTYPE_QZV2, false, 64, 48, kLong, S_OK},
      {"largest width", MEDIASUBTYPE_QZV2, false, 65535, 1, kNone, S_OK},
      {"QZV3 at the size limit", MEDIASUBTYPE_QZV3, false, 65535, 32768, kNone, S_OK},
      {"audio", MEDIASUBTYPE_QZV2, false, 320, 240, kAudio, VFW_E_TYPE_NOT_ACCEPTED},
      {"YVU9 input", MEDIASUBTYPE_YVU9, false, 320, 240, kNone, VFW_E_TYPE_NOT_ACCEPTED},
      {"QZV5", kQZV5, false, 320, 240, kNone, VFW_E_TYPE_NOT_ACCEPTED},
      {"FORMAT_None", MEDIASUBTYPE_QZV2, false, 320, 240, kFormatNone, VFW_E_TYPE_NOT_ACCEPTED},
      {"no format block", MEDIASUBTYPE_QZV2, false, 320, 240, kNullFormat,
       VFW_E_TYPE_NOT_ACCEPTED},
      {"VIH of 87 bytes", MEDIASUBTYPE_QZV2, false, 320, 240, kShort, VFW_E_TYPE_NOT_ACCEPTED},
      {"VIH2 of 111 bytes", MEDIASUBTYPE_QZV2, true, 320, 240, kShort, VFW_E_TYPE_NOT_ACCEPTED},
      {"VIH2 in 88 bytes", MEDIASUBTYPE_QZV2, true, 320, 240, kVih2InVihSize,
       VFW_E_TYPE_NOT_ACCEPTED},
      {"top-down", MEDIASUBTYPE_QZV2, false, 320, -240, kNone, VFW_E_TYPE_NOT_ACCEPTED},
      {"zero width", MEDIASUBTYPE_QZV2, false, 0, 240, kNone, VFW_E_TYPE_NOT_ACCEPTED},
      {"width 65536", MEDIASUBTYPE_QZV2, false, 65536, 240, kNone, VFW_E_TYPE_NOT_ACCEPTED},
      {"height 65536", MEDIASUBTYPE_QZV4, true, 16, 65536, kNone, VFW_E_TYPE_NOT_ACCEPTED},
      {"image size over 31 bits", MEDIASUBTYPE_QZV2, false, 65535, 32768, kNone,
       VFW_E_TYPE_NOT_ACCEPTED},
      {"largest picture", MEDIASUBTYPE_QZV4, true, 65535, 65535, kNone, VFW_E_TYPE_NOT_ACCEPTED},
  };
  for (const auto& c : cases) {
    CMediaType type = InputType(c.subtype, c.info2, c.width, c.height);
    switch (c.change) {
      case kAudio: type.majortype = MEDIATYPE_Audio; break;
      case kFormatNone: type.formattype = FORMAT_None; break;
      case kNullFormat: type.ResetFormatBuffer(); break;
      case kShort: type.cbFormat -= 1; break;
      case kLong: {
        CMediaType longer = type;
        BYTE* block = longer.AllocFormatBuffer(type.cbFormat + 64);
        std::memset(block, 0, type.cbFormat + 64);
        std::memcpy(block, type.pbFormat, type.cbFormat);
        type = longer;
        break;
      }
      case kVih2InVihSize: type.cbFormat = sizeof(VIDEOINFOHEADER); break;
      case kNone: break;
    }
    HRESULT hr = g.in->ReceiveConnection(g.source->Pin(), &type);
    ok(hr == c.expected, "%s: got hr %#lx, expected %#lx\n", c.name, hr, c.expected);
    HRESULT accept = g.in->QueryAccept(&type);
    ok(accept == (c.expected == S_OK ? S_OK : S_FALSE), "%s: QueryAccept %#lx\n", c.name, accept);
    if (hr == S_OK) {
      AM_MEDIA_TYPE connected;
      ok(g.in->ConnectionMediaType(&connected) == S_OK && IsEqualGUID(connected.subtype, c.subtype),
         "%s: connection type\n", c.name);
      FreeMediaType(connected);
      ok(g.in->Disconnect() == S_OK, "%s: Disconnect\n", c.name);
    }
    // ReceiveConnection leaves nothing behind when it refuses.
    ok(g.in->Disconnect() == S_FALSE, "%s: left connected\n", c.name);
  }

  // Outside a graph the input connection cannot complete.
  IBaseFilter* loose = NewDecompressor();
  IPin* looseIn = FindPin(loose, L"In");
  CMediaType type = InputType(MEDIASUBTYPE_QZV2, false, 320, 240);
  HRESULT hr = looseIn->ReceiveConnection(g.source->Pin(), &type);
  ok(hr == VFW_E_NOT_IN_GRAPH, "outside a graph: hr %#lx\n", hr);
  looseIn->Release();
  ok(loose->Release() == 0, "loose filter left\n");
  g.Release();
}

struct ExpectedOutput {
  GUID subtype;
  bool info2;
  WORD bitCount;
  DWORD imageSize;
  DWORD bitRate;
};

void CheckOutputType(const char* name, int position, AM_MEDIA_TYPE* type,
                     const ExpectedOutput& want, const CMediaType& input) {
  const BITMAPINFOHEADER* inHeader = BitmapHeader(const_cast<CMediaType&>(input));
  const VIDEOINFOHEADER* inInfo = reinterpret_cast<const VIDEOINFOHEADER*>(input.pbFormat);
  ok(IsEqualGUID(type->majortype, MEDIATYPE_Video), "%s %d: major type\n", name, position);
  ok(IsEqualGUID(type->subtype, want.subtype), "%s %d: subtype %08lx\n", name, position,
     type->subtype.Data1);
  ok(type->bFixedSizeSamples == TRUE && type->bTemporalCompression == FALSE,
     "%s %d: flags %d %d\n", name, position, type->bFixedSizeSamples, type->bTemporalCompression);
  ok(type->lSampleSize == want.imageSize, "%s %d: lSampleSize %lu, expected %lu\n", name, position,
     type->lSampleSize, want.imageSize);
  ok(IsEqualGUID(type->formattype, want.info2 ? FORMAT_VideoInfo2 : FORMAT_VideoInfo),
     "%s %d: format type\n", name, position);
  ULONG size = want.info2 ? sizeof(VIDEOINFOHEADER2) : sizeof(VIDEOINFOHEADER);
  ok(type->cbFormat == size && type->pbFormat, "%s %d: cbFormat %lu\n", name, position,
     type->cbFormat);
  ok(type->pUnk == nullptr, "%s %d: pUnk\n", name, position);
  if (type->cbFormat != size || !type->pbFormat) return;

  const VIDEOINFOHEADER* info = reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
  ok(IsZero(info->rcSource) && IsZero(info->rcTarget), "%s %d: rectangles\n", name, position);
  ok(info->dwBitRate == want.bitRate, "%s %d: dwBitRate %lu, expected %lu\n", name, position,
     info->dwBitRate, want.bitRate);
  ok(info->dwBitErrorRate == 0, "%s %d: dwBitErrorRate\n", name, position);
  ok(info->AvgTimePerFrame == inInfo->AvgTimePerFrame, "%s %d: AvgTimePerFrame %lld\n", name,
     position, info->AvgTimePerFrame);
  if (want.info2) {
    const VIDEOINFOHEADER2* info2 = reinterpret_cast<const VIDEOINFOHEADER2*>(type->pbFormat);
    const VIDEOINFOHEADER2* in2 = reinterpret_cast<const VIDEOINFOHEADER2*>(input.pbFormat);
    ok(info2->dwInterlaceFlags == in2->dwInterlaceFlags &&
           info2->dwPictAspectRatioX == in2->dwPictAspectRatioX &&
           info2->dwPictAspectRatioY == in2->dwPictAspectRatioY,
       "%s %d: interlace %lu, aspect %lu:%lu\n", name, position, info2->dwInterlaceFlags,
       info2->dwPictAspectRatioX, info2->dwPictAspectRatioY);
    ok(info2->dwCopyProtectFlags == 0 && info2->dwControlFlags == 0 && info2->dwReserved2 == 0,
       "%s %d: other VIDEOINFOHEADER2 fields\n", name, position);
  }
  const BITMAPINFOHEADER* h = BitmapHeader(*type);
  ok(h->biSize == 40 && h->biPlanes == 1, "%s %d: biSize %lu, biPlanes %u\n", name, position,
     h->biSize, h->biPlanes);
  ok(h->biWidth == inHeader->biWidth && h->biHeight == inHeader->biHeight, "%s %d: size %ldx%ld\n",
     name, position, h->biWidth, h->biHeight);
  ok(h->biBitCount == want.bitCount, "%s %d: biBitCount %u\n", name, position, h->biBitCount);
  ok(h->biCompression == want.subtype.Data1, "%s %d: biCompression %08lx\n", name, position,
     h->biCompression);
  ok(h->biSizeImage == want.imageSize, "%s %d: biSizeImage %lu\n", name, position, h->biSizeImage);
  ok(h->biXPelsPerMeter == inHeader->biXPelsPerMeter &&
         h->biYPelsPerMeter == inHeader->biYPelsPerMeter,
     "%s %d: resolution\n", name, position);
  ok(h->biClrUsed == 0 && h->biClrImportant == 0, "%s %d: palette fields\n", name, position);
}

void TestOutputTypes() {
  BeginGroup("output types");
  struct {
    const char* name;
    GUID subtype;
    bool info2;
    LONG width, height;
    REFERENCE_TIME avg;
    int count;
    GUID outSubtype;
    WORD bitCount;
    DWORD imageSize;
  } cases[] = {
      {"QZV2 VIH 320x240 25 fps", MEDIASUBTYPE_QZV2, false, 320, 240, 400000, 1,
       MEDIASUBTYPE_YVU9, 9, 86400},
      {"QZV3 VIH2 176x144 29.97 fps", MEDIASUBTYPE_QZV3, true, 176, 144, 333667, 2,
       MEDIASUBTYPE_VbT8, 8, 25344},
      {"QZV4 VIH2 100x50 no rate", MEDIASUBTYPE_QZV4, true, 100, 50, 0, 2, MEDIASUBTYPE_VbT9, 9,
       5625},
      {"QZV2 VIH 1 unit per frame", MEDIASUBTYPE_QZV2, false, 64, 48, 1, 1, MEDIASUBTYPE_YVU9, 9,
       3456},
      {"QZV4 VIH negative frame time", MEDIASUBTYPE_QZV4, false, 64, 48, -400000, 1,
       MEDIASUBTYPE_VbT9, 9, 3456},
  };
  for (const auto& c : cases) {
    TestGraph g;
    if (!g.Create()) return g.Release();
    CMediaType input = InputType(c.subtype, c.info2, c.width, c.height, c.avg);
    if (c.info2) {
      auto* in2 = reinterpret_cast<VIDEOINFOHEADER2*>(input.pbFormat);
      in2->dwInterlaceFlags = 5;
      in2->dwPictAspectRatioX = 4;
      in2->dwPictAspectRatioY = 3;
      in2->dwCopyProtectFlags = 1;
      in2->dwControlFlags = 2;
    }
    HRESULT hr = g.ConnectInput(input);
    ok(hr == S_OK, "%s: input connection hr %#lx\n", c.name, hr);
    // The rate is truncated to whole units before it is scaled, in 32 bits.
    DWORD bitRate = 0;
    if (c.avg != 0)
      bitRate = static_cast<uint32_t>(INT64_C(80000000) / c.avg) * static_cast<uint32_t>(c.imageSize);

    IEnumMediaTypes* types = nullptr;
    g.out->EnumMediaTypes(&types);
    AM_MEDIA_TYPE* list[4] = {};
    ULONG fetched = 0;
    hr = types->Next(4, list, &fetched);
    ok(hr == S_FALSE && fetched == static_cast<ULONG>(c.count), "%s: %lu types (hr %#lx)\n",
       c.name, fetched, hr);
    for (ULONG i = 0; i < fetched; ++i) {
      ExpectedOutput want = {c.outSubtype, c.info2 && i == 0, c.bitCount, c.imageSize, bitRate};
      CheckOutputType(c.name, static_cast<int>(i), list[i], want, input);
      // Each offered type is one the output pin accepts.
      ok(g.out->QueryAccept(list[i]) == S_OK, "%s %lu: offered type refused\n", c.name, i);
      DeleteMediaType(list[i]);
    }
    types->Release();
    g.Release();
  }
}

void TestProposedOutputs() {
  BeginGroup("proposed output types");
  TestGraph g;
  if (!g.Create()) return g.Release();
  CMediaType input = InputType(MEDIASUBTYPE_QZV2, false, 320, 240);
  ok(g.ConnectInput(input) == S_OK, "input connection\n");
  IEnumMediaTypes* types = nullptr;
  g.out->EnumMediaTypes(&types);
  AM_MEDIA_TYPE* offered = nullptr;
  types->Next(1, &offered, nullptr);
  types->Release();
  CMediaType base(*offered);
  DeleteMediaType(offered);

  enum What {
    kSame, kTarget, kSource, kWidth, kHeight, kTopDown, kSubtype, kBitCount, kPlanes,
    kCompression, kFormatType, kMajor, kShortFormat, kLongFormat
  };
  struct {
    const char* name;
    What what;
    LONG a, b, c, d;
    HRESULT expected;
  } cases[] = {
      {"identical", kSame, 0, 0, 0, 0, S_OK},
      {"rcTarget = picture", kTarget, 0, 0, 320, 240, S_OK},
      {"rcTarget one column short", kTarget, 0, 0, 319, 240, VFW_E_TYPE_NOT_ACCEPTED},
      {"rcTarget moved", kTarget, 8, 0, 328, 240, VFW_E_TYPE_NOT_ACCEPTED},
      {"rcSource = picture", kSource, 0, 0, 320, 240, S_OK},
      {"rcSource left 1", kSource, 1, 0, 320, 240, VFW_E_TYPE_NOT_ACCEPTED},
      {"rcSource half", kSource, 0, 0, 160, 120, VFW_E_TYPE_NOT_ACCEPTED},
      {"top-down same size", kTopDown, 0, 0, 0, 0, S_OK},
      {"wider surface, no rcTarget", kWidth, 384, 0, 0, 0, VFW_E_TYPE_NOT_ACCEPTED},
      {"wider surface with rcTarget", kWidth, 384, 0, 320, 240, S_OK},
      {"wider surface, rcTarget short", kWidth, 384, 0, 320, 200, VFW_E_TYPE_NOT_ACCEPTED},
      {"taller surface with rcTarget", kHeight, 480, 0, 320, 240, S_OK},
      {"narrower surface with rcTarget", kWidth, 256, 0, 320, 240, VFW_E_TYPE_NOT_ACCEPTED},
      {"lower surface with rcTarget", kHeight, 200, 0, 320, 240, VFW_E_TYPE_NOT_ACCEPTED},
      {"VbT9 subtype", kSubtype, 0, 0, 0, 0, VFW_E_TYPE_NOT_ACCEPTED},
      {"12 bits", kBitCount, 12, 0, 0, 0, VFW_E_TYPE_NOT_ACCEPTED},
      {"2 planes", kPlanes, 2, 0, 0, 0, VFW_E_TYPE_NOT_ACCEPTED},
      {"biCompression VbT9", kCompression, 0, 0, 0, 0, VFW_E_TYPE_NOT_ACCEPTED},
      {"VIDEOINFOHEADER2", kFormatType, 0, 0, 0, 0, VFW_E_TYPE_NOT_ACCEPTED},
      {"audio", kMajor, 0, 0, 0, 0, VFW_E_TYPE_NOT_ACCEPTED},
      {"87-byte format", kShortFormat, 0, 0, 0, 0, VFW_E_TYPE_NOT_ACCEPTED},
      {"longer format", kLongFormat, 0, 0, 0, 0, S_OK},
  };
  for (const auto& c : cases) {
    CMediaType type = base;
    VIDEOINFOHEADER* info = reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat);
    BITMAPINFOHEADER* h = BitmapHeader(type);
    switch (c.what) {
      case kTarget: SetRect(&info->rcTarget, c.a, c.b, c.c, c.d); break;
      case kSource: SetRect(&info->rcSource, c.a, c.b, c.c, c.d); break;
      case kWidth:
        h->biWidth = c.a;
        SetRect(&info->rcTarget, 0, 0, c.c, c.d);
        break;
      case kHeight:
        h->biHeight = c.a;
        SetRect(&info->rcTarget, 0, 0, c.c, c.d);
        break;
      case kTopDown: h->biHeight = -h->biHeight; break;
      case kSubtype: type.subtype = MEDIASUBTYPE_VbT9; break;
      case kBitCount: h->biBitCount = static_cast<WORD>(c.a); break;
      case kPlanes: h->biPlanes = static_cast<WORD>(c.a); break;
      case kCompression: h->biCompression = kFourCC_VbT9; break;
      case kFormatType: type.formattype = FORMAT_VideoInfo2; break;
      case kMajor: type.majortype = MEDIATYPE_Audio; break;
      case kShortFormat: type.cbFormat = 87; break;
      case kLongFormat: {
        CMediaType longer = type;
        BYTE* block = longer.AllocFormatBuffer(type.cbFormat + 32);
        std::memset(block, 0, type.cbFormat + 32);
        std::memcpy(block, type.pbFormat, type.cbFormat);
        type = longer;
        break;
      }
      case kSame: break;
    }
    HRESULT accept = g.out->QueryAccept(&type);
    ok(accept == (c.expected == S_OK ? S_OK : S_FALSE), "%s: QueryAccept %#lx\n", c.name, accept);
    // A connection with the type as it stands gives the exact answer.
    HRESULT hr = g.out->Connect(g.sink->Pin(), &type);
    ok(hr == c.expected, "%s: Connect hr %#lx, expected %#lx\n", c.name, hr, c.expected);
    if (hr == S_OK) {
      g.out->Disconnect();
      g.sink->Pin()->Disconnect();
    }
  }

  // A VIDEOINFOHEADER2 input takes either output format.
  g.in->Disconnect();
  g.source->Pin()->Disconnect();
  ok(g.ConnectInput(InputType(MEDIASUBTYPE_QZV3, true, 176, 144)) == S_OK, "VIH2 input\n");
  IEnumMediaTypes* types2 = nullptr;
  g.out->EnumMediaTypes(&types2);
  AM_MEDIA_TYPE* pair[2] = {};
  ULONG fetched = 0;
  types2->Next(2, pair, &fetched);
  types2->Release();
  for (ULONG i = 0; i < fetched; ++i) {
    ok(g.out->QueryAccept(pair[i]) == S_OK, "VIH2 input, output %lu refused\n", i);
    DeleteMediaType(pair[i]);
  }
  g.Release();
}

void TestBufferSizes() {
  BeginGroup("buffer sizes");
  struct {
    const char* name;
    long buffers, align, prefix;
    LONG surfaceWidth;  // 0: the offered type
    long expectedBuffers, expectedSize;
  } cases[] = {
      {"no requirements", -1, 0, 0, 0, 1, 86400},
      {"0 buffers", 0, 1, 0, 0, 1, 86400},
      {"3 buffers", 3, 1, 0, 0, 3, 86400},
      {"aligned", 2, 16, 0, 0, 2, 86400},
      {"wider surface", 0, 1, 0, 384, 1, 103680},
  };
  for (const auto& c : cases) {
    TestGraph g;
    if (!g.Create()) return g.Release();
    ok(g.ConnectInput(InputType(MEDIASUBTYPE_QZV2, false, 320, 240)) == S_OK, "%s: input\n",
       c.name);
    if (c.buffers >= 0) {
      g.sink->hasRequirements = true;
      g.sink->requirements = {c.buffers, 0, c.align, c.prefix};
    }
    HRESULT hr;
    if (c.surfaceWidth) {
      IEnumMediaTypes* types = nullptr;
      g.out->EnumMediaTypes(&types);
      AM_MEDIA_TYPE* offered = nullptr;
      types->Next(1, &offered, nullptr);
      types->Release();
      CMediaType wide(*offered);
      DeleteMediaType(offered);
      BitmapHeader(wide)->biWidth = c.surfaceWidth;
      BitmapHeader(wide)->biSizeImage = c.surfaceWidth * 240 * 9 / 8;
      wide.lSampleSize = BitmapHeader(wide)->biSizeImage;
      SetRect(&reinterpret_cast<VIDEOINFOHEADER*>(wide.pbFormat)->rcTarget, 0, 0, 320, 240);
      hr = g.ConnectOutput(&wide);
    } else {
      hr = g.ConnectOutput(nullptr);
    }
    ok(hr == S_OK, "%s: output connection hr %#lx\n", c.name, hr);
    ok(g.sink->notifiedAllocator != nullptr, "%s: no allocator\n", c.name);
    if (g.sink->notifiedAllocator) {
      ALLOCATOR_PROPERTIES props = {};
      g.sink->notifiedAllocator->GetProperties(&props);
      ok(props.cBuffers == c.expectedBuffers, "%s: %ld buffers\n", c.name, props.cBuffers);
      ok(props.cbBuffer == c.expectedSize, "%s: buffers of %ld bytes\n", c.name, props.cbBuffer);
      if (c.buffers >= 0)
        ok(props.cbAlign == (c.align ? c.align : 1), "%s: alignment %ld\n", c.name, props.cbAlign);
    }
    g.Release();
  }
}

void TestReconnection() {
  BeginGroup("reconnection");
  TestGraph g;
  if (!g.Create()) return g.Release();
  ok(g.ConnectInput(InputType(MEDIASUBTYPE_QZV2, false, 320, 240)) == S_OK, "input\n");
  ok(g.ConnectOutput(nullptr) == S_OK, "output\n");

  // A new input size while the output stays connected: the decompressor has
  // the graph reconnect its output with the matching type.
  ok(g.in->Disconnect() == S_OK && g.source->Pin()->Disconnect() == S_OK, "input disconnect\n");
  HRESULT hr = g.ConnectInput(InputType(MEDIASUBTYPE_QZV2, false, 176, 144));
  ok(hr == S_OK, "new input: hr %#lx\n", hr);
  AM_MEDIA_TYPE type;
  hr = g.out->ConnectionMediaType(&type);
  ok(hr == S_OK && BitmapHeader(type)->biWidth == 176 && BitmapHeader(type)->biHeight == 144,
     "output after reconnection: hr %#lx, %ldx%ld\n", hr, hr == S_OK ? BitmapHeader(type)->biWidth : 0,
     hr == S_OK ? BitmapHeader(type)->biHeight : 0);
  if (hr == S_OK) FreeMediaType(type);

  // A downstream pin that takes no output type for the new input: the input
  // type is refused.
  ok(g.in->Disconnect() == S_OK && g.source->Pin()->Disconnect() == S_OK, "input disconnect\n");
  g.sink->accept = [](const CMediaType& t) {
    return BitmapHeader(const_cast<CMediaType&>(t))->biWidth == 176;
  };
  CMediaType other = InputType(MEDIASUBTYPE_QZV2, false, 320, 240);
  hr = g.in->ReceiveConnection(g.source->Pin(), &other);
  ok(hr == VFW_E_INVALIDMEDIATYPE, "input refused downstream: hr %#lx\n", hr);
  ok(g.in->QueryAccept(&other) == S_FALSE, "QueryAccept\n");
  g.Release();
}

}  // namespace

void RunNegotiationTests() {
  TestInputTypes();
  TestOutputTypes();
  TestProposedOutputs();
  TestBufferSizes();
  TestReconnection();
}
