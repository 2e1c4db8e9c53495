#include "test_filters.h"

#include <amvideo.h>
#include <dvdmedia.h>
#include <evcode.h>
#include <uuids.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "avi_reader.h"
#include "base_input_pin.h"
#include "check.h"
#include "frame_decoder.h"
#include "output_formats.h"
#include "packed_picture.h"
#include "png_writer.h"

namespace {

HMODULE g_module = nullptr;

template <class Function>
Function Export(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(g_module, name)));
}

}  // namespace

bool LoadDecompressorModule(const wchar_t* path) { return (g_module = LoadLibraryW(path)); }

HRESULT ModuleCanUnloadNow() { return Export<HRESULT(WINAPI*)()>("DllCanUnloadNow")(); }

HRESULT GetDecompressorClassObject(REFCLSID clsid, REFIID iid, void** out) {
  return Export<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>("DllGetClassObject")(clsid, iid, out);
}

HRESULT CreateObject(REFCLSID clsid, IUnknown* outer, REFIID iid, void** out) {
  IClassFactory* factory = nullptr;
  HRESULT hr = GetDecompressorClassObject(clsid, IID_IClassFactory, (void**)&factory);
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(outer, iid, out);
  factory->Release();
  return hr;
}

IBaseFilter* NewDecompressor() {
  IBaseFilter* filter = nullptr;
  CreateObject(CLSID_DecompressorFilter, nullptr, IID_IBaseFilter, (void**)&filter);
  return filter;
}

IDecompressorSettings* SettingsOf(IUnknown* filter) {
  IDecompressorSettings* settings = nullptr;
  filter->QueryInterface(IID_IDecompressorSettings, (void**)&settings);
  return settings;
}

ULONG RefCount(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

void ReleaseLast(IUnknown* object, const char* name) {
  ULONG left = object->Release();
  HRESULT hr = ModuleCanUnloadNow();
  ok(!left && hr == S_OK, "%s: got %lu references, DllCanUnloadNow hr %#lx.\n", name, left, hr);
}

CMediaType InputType(const GUID& subtype, bool info2, LONG width, LONG height,
                     REFERENCE_TIME avgTimePerFrame) {
  CMediaType type;
  type.majortype = MEDIATYPE_Video;
  type.subtype = subtype;
  type.bFixedSizeSamples = FALSE;
  type.bTemporalCompression = TRUE;
  type.formattype = info2 ? FORMAT_VideoInfo2 : FORMAT_VideoInfo;
  ULONG size = info2 ? sizeof(VIDEOINFOHEADER2) : sizeof(VIDEOINFOHEADER);
  std::memset(type.AllocFormatBuffer(size), 0, size);
  *BitmapHeader(type) = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, subtype.Data1,
                         DWORD(width * height), 2835, 2836, 0, 0};
  reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat)->AvgTimePerFrame = avgTimePerFrame;
  return type;
}

BITMAPINFOHEADER* BitmapHeader(const AM_MEDIA_TYPE& type) {
  bool info2 = IsEqualGUID(type.formattype, FORMAT_VideoInfo2);
  return reinterpret_cast<BITMAPINFOHEADER*>(
      type.pbFormat + (info2 ? offsetof(VIDEOINFOHEADER2, bmiHeader)
                             : offsetof(VIDEOINFOHEADER, bmiHeader)));
}

CMediaType Offered(IPin* pin, const GUID* subtype) {
  IEnumMediaTypes* types = nullptr;
  pin->EnumMediaTypes(&types);
  CMediaType found;
  bool done = false;
  for (AM_MEDIA_TYPE* type = nullptr; types->Next(1, &type, nullptr) == S_OK; DeleteMediaType(type))
    if (!done && (!subtype || (type->subtype == *subtype && type->formattype == FORMAT_VideoInfo)))
      found = *type, done = true;
  types->Release();
  return found;
}

CMediaType OnSurface(CMediaType type, LONG surfaceWidth, LONG width, LONG height) {
  BITMAPINFOHEADER* h = BitmapHeader(type);
  const OutputFormat* f = FindOutputFormat(type.subtype);
  h->biWidth = surfaceWidth;
  type.lSampleSize = h->biSizeImage = DWORD(zdc::SurfaceBytes(
      f->pixels, std::abs(h->biHeight), SurfacePitch(*f, surfaceWidth), true));
  SetRect(&reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat)->rcTarget, 0, 0, width, height);
  return type;
}

bool WaitForEvent(IMediaEvent* events, long code, LONG_PTR* param1) {
  long got = 0;
  LONG_PTR param2;
  for (DWORD begin = GetTickCount(); got != code && GetTickCount() - begin < 20000;)
    if (events->GetEvent(&got, param1, &param2, 50) == S_OK)
      events->FreeEventParams(got, *param1, param2);
  return got == code;
}

namespace {

class TestSink : public CBaseFilter, public SinkState {
  struct Pin : CBaseInputPin {
    Pin(TestSink* sink) : CBaseInputPin(L"", sink, &sink->m_lock, nullptr, L"In") {}
    TestSink* Sink() { return static_cast<TestSink*>(m_pFilter); }
    HRESULT CheckMediaType(const CMediaType* type) override {
      const LONG width = Sink()->acceptWidth;
      return !width || BitmapHeader(*type)->biWidth == width
                 ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** allocator) override {
      if (!Sink()->ownAllocator) return CBaseInputPin::GetAllocator(allocator);
      (*allocator = Sink()->ownAllocator)->AddRef();
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override {
      allocator->GetProperties(&Sink()->notified);
      return CBaseInputPin::NotifyAllocator(allocator, readOnly);
    }
    HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override {
      if (!Sink()->requirements.cbAlign) return E_NOTIMPL;
      return *props = Sink()->requirements, S_OK;
    }
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override {
      HRESULT hr = CBaseInputPin::Receive(sample);
      if (hr != S_OK) return hr;
      ReceivedSample got = {};
      BYTE* data = nullptr;
      sample->GetPointer(&data);
      got.bytes.assign(data, data + sample->GetSize());
      got.length = sample->GetActualDataLength();
      got.hasTime = SUCCEEDED(sample->GetTime(&got.start, &got.stop));
      got.syncPoint = sample->IsSyncPoint() == S_OK;
      got.discontinuity = sample->IsDiscontinuity() == S_OK;
      ALLOCATOR_PROPERTIES props;
      m_pAllocator->GetProperties(&props);
      got.ownAllocator = props.cbBuffer == sample->GetSize();
      got.type = m_mt;
      Sink()->samples.push_back(got);
      std::vector<IMediaSample*>& held = Sink()->held;
      if (Sink()->hold) held.push_back(sample), sample->AddRef();
      if (held.size() > Sink()->hold) held.front()->Release(), held.erase(held.begin());
      return S_OK;
    }
    HRESULT Inactive() override {
      for (IMediaSample* sample : Sink()->held) sample->Release();
      Sink()->held.clear();
      return CBaseInputPin::Inactive();
    }
    HRESULT STDMETHODCALLTYPE EndOfStream() override {
      return ++Sink()->endOfStreams, S_OK;
    }
    HRESULT STDMETHODCALLTYPE BeginFlush() override {
      ++Sink()->flushes;
      return CBaseInputPin::BeginFlush();
    }
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop,
                                         double rate) override {
      ++Sink()->segments;
      return CBaseInputPin::NewSegment(start, stop, rate);
    }
  };
  CCritSec m_lock;

 public:
  TestSink() : CBaseFilter(L"", nullptr, &m_lock, CLSID_NULL), pin(this) {}
  ~TestSink() override {
    if (ownAllocator) ownAllocator->Release();
  }
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int n) override { return n ? nullptr : &pin; }
  Pin pin;
};

struct TestAllocator final : IMemAllocator {
  LONG refs = 1, handedOut = 0;
  IMemAllocator* inner = nullptr;
  long minimumSize;
  int attachAt;
  CMediaType type;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMemAllocator) ? this : nullptr;
    return *out ? AddRef(), S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG left = InterlockedDecrement(&refs);
    if (!left) inner->Release(), delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE SetProperties(ALLOCATOR_PROPERTIES* request,
                                          ALLOCATOR_PROPERTIES* actual) override {
    ALLOCATOR_PROPERTIES wider = *request;
    wider.cbBuffer = std::max(wider.cbBuffer, minimumSize);
    return inner->SetProperties(&wider, actual);
  }
  HRESULT STDMETHODCALLTYPE GetProperties(ALLOCATOR_PROPERTIES* props) override {
    return inner->GetProperties(props);
  }
  HRESULT STDMETHODCALLTYPE Commit() override { return inner->Commit(); }
  HRESULT STDMETHODCALLTYPE Decommit() override { return inner->Decommit(); }
  HRESULT STDMETHODCALLTYPE GetBuffer(IMediaSample** sample, REFERENCE_TIME* start,
                                      REFERENCE_TIME* stop, DWORD flags) override {
    HRESULT hr = inner->GetBuffer(sample, start, stop, flags);
    if (SUCCEEDED(hr) && InterlockedIncrement(&handedOut) - 1 == attachAt)
      (*sample)->SetMediaType(&type);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE ReleaseBuffer(IMediaSample* sample) override {
    return inner->ReleaseBuffer(sample);
  }
};

}  // namespace

IMemAllocator* NewTestAllocator(long minimumSize, int attachAt, const CMediaType* type) {
  auto* allocator = new TestAllocator;
  allocator->minimumSize = minimumSize;
  allocator->attachAt = attachAt;
  if (type) allocator->type = *type;
  CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                   (void**)&allocator->inner);
  return allocator;
}

IMediaSample* NewSample(IMemAllocator* allocator, const std::vector<BYTE>& data,
                        REFERENCE_TIME start) {
  IMediaSample* sample = nullptr;
  allocator->GetBuffer(&sample, nullptr, nullptr, 0);
  BYTE* bytes = nullptr;
  sample->GetPointer(&bytes);
  std::copy(data.begin(), data.end(), bytes);
  sample->SetActualDataLength(long(data.size()));
  REFERENCE_TIME stop = start + 400000;
  sample->SetTime(&start, &stop);
  return sample;
}

TestGraph::TestGraph() {
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFilterGraph2, (void**)&graph);
  ok(hr == S_OK, "Filter Graph Manager: got hr %#lx.\n", hr);
  if (FAILED(hr)) return;
  graph->QueryInterface(IID_IMediaControl, (void**)&control);
  graph->QueryInterface(IID_IMediaEvent, (void**)&events);
  source = PushSource::Create();
  auto* testSink = new TestSink;
  sink = testSink;
  sourceFilter = source->Filter(), sinkFilter = testSink, filter = NewDecompressor();
  sourcePin = source->Pin(), sinkPin = &testSink->pin;
  sinkFilter->AddRef();
  graph->AddFilter(sourceFilter, L"source");
  graph->AddFilter(filter, L"decompressor");
  graph->AddFilter(sinkFilter, L"sink");
  filter->FindPin(L"In", &in);
  filter->FindPin(L"Out", &out);
}

HRESULT TestGraph::ConnectInput(const CMediaType& type) {
  source->type = type;
  return graph->ConnectDirect(sourcePin, in, &type);
}

HRESULT TestGraph::ConnectOutput(const AM_MEDIA_TYPE* type) {
  return graph->ConnectDirect(out, sinkPin, type);
}

void TestGraph::Run(bool stopAfter) {
  HRESULT hr = control->Run();
  const DWORD wait = WaitForSingleObject(source->finished, 20000);
  ok(SUCCEEDED(hr) && wait == WAIT_OBJECT_0, "Run: got hr %#lx, wait %lu.\n", hr, wait);
  if (stopAfter) control->Stop();
}

TestGraph::~TestGraph() {
  if (!graph) return;
  control->Stop();
  for (IUnknown* object : {(IUnknown*)in, (IUnknown*)out, (IUnknown*)events, (IUnknown*)control})
    object->Release();
  // Releasing the graph removes (and disconnects) every filter.
  ULONG refs[4] = {graph->Release(), filter->Release(), sourceFilter->Release(),
                   sinkFilter->Release()};
  ok(!refs[0] && !refs[1] && !refs[2] && !refs[3],
     "Got %lu, %lu, %lu, %lu references left (graph, decompressor, source, sink).\n", refs[0],
     refs[1], refs[2], refs[3]);
}

SourceFrame EmptyFrame(uint32_t bytes, uint16_t hundredths) {
  // Header (quality, key frame, the three plane sizes), then three plane
  // headers of coder 2; the first chroma section carries the padding.
  const uint32_t padding = bytes - 32;
  const uint32_t header[] = {0, hundredths, 4, 4 + padding, 4};
  SourceFrame frame;
  frame.data.assign(bytes, 0);
  std::memcpy(frame.data.data() + 4, &header[1], 2);
  std::memcpy(frame.data.data() + 8, &header[2], 12);
  frame.data[20] = frame.data[24] = frame.data[28 + padding] = 2;
  return frame;
}

Clip ReadClip(const std::string& path, size_t count) {
  Clip clip;
  try {
    zdc::AviReader avi(path);
    clip.fourcc = avi.Compression(), clip.width = avi.Width(), clip.height = avi.Height();
    for (size_t i = 0; i < avi.FrameCount() && i < count; ++i) {
      const std::vector<uint8_t> bytes = avi.ReadFrame(i);
      clip.frames.emplace_back();
      clip.frames.back().data.assign(bytes.begin(), bytes.end());
      clip.frames.back().key = avi.Frames()[i].key;
    }
  } catch (const std::exception& e) {
    ok(false, "Cannot read %s: %s.\n", path.c_str(), e.what());
  }
  return clip;
}

Clip GoldenClip(const char* name) {
  return ReadClip(std::string(ZDC_CLIPS_PATH "/") + name + ".avi");
}

std::vector<std::string> ReferencePictures(const Clip& clip, zdc::PixelFormat format) {
  const int32_t width = clip.width, height = clip.height;
  const bool chroma = clip.HasChroma();
  zdc::FrameDecoder decoder;
  decoder.SetSize(width, height, chroma);
  decoder.SetQuality(0.5);
  std::vector<uint8_t> picture(zdc::DecoderOutputBytes(width, height, chroma), 0);
  const ptrdiff_t pitch = zdc::PackedPitch(format, width);
  std::vector<std::string> pictures;
  for (const SourceFrame& frame : clip.frames) {
    if (!frame.media) continue;
    decoder.Decode(frame.data.data(), uint32_t(frame.data.size()), picture.data(), width);
    std::vector<uint8_t> out(zdc::SurfaceBytes(format, height, pitch, chroma));
    const zdc::Surface surface = zdc::SurfaceInBuffer(format, out.data(), height, pitch, chroma);
    zdc::ConvertPicture(zdc::DecoderOutputPicture(picture.data(), width, height, chroma), format,
                        surface);
    std::ostringstream packed;  // YVU9 without the gap
    WritePackedPicture(packed, format, surface, width, height, chroma);
    pictures.push_back(packed.str());
  }
  return pictures;
}

void CheckPictures(const char* name, const std::vector<ReceivedSample>& got,
                   const std::vector<std::string>& want, bool withChroma) {
  ok(got.size() == want.size(), "%s: got %zu pictures, expected %zu.\n", name, got.size(),
     want.size());
  for (size_t i = 0; i < got.size() && i < want.size(); ++i) {
    OutputLayout layout;
    std::vector<BYTE> bytes = got[i].bytes;
    std::ostringstream out;
    if (LayoutOfType(got[i].type, &layout))
      WritePackedPicture(out, layout.format->pixels, layout.SurfaceIn(bytes.data(), withChroma),
                         layout.pictureWidth, layout.pictureHeight, withChroma);
    const std::string picture = out.str();
    size_t at = 0;
    while (at < picture.size() && at < want[i].size() && picture[at] == want[i][at]) ++at;
    ok(picture == want[i], "%s: picture %zu differs at byte %zu of %zu.\n", name, i, at,
       want[i].size());
  }
}

std::vector<uint8_t> SaveClient(HWND window, const char* path, int* width, int* height) {
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  RECT client;
  GetClientRect(window, &client);
  *width = *width ? std::min<int>(*width, client.right) : client.right;
  *height = *height ? std::min<int>(*height, client.bottom) : client.bottom;
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), *width, -*height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC screen = GetDC(window);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, *width, *height, screen, 0, 0, SRCCOPY);
  GdiFlush();
  std::vector<uint8_t> rgb(size_t(*width) * *height * 3);
  const auto* bgrx = static_cast<const uint8_t*>(bits);
  for (size_t p = 0; p < rgb.size() / 3; ++p)
    for (int c = 0; c < 3; ++c) rgb[3 * p + c] = bgrx[4 * p + 2 - c];
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, screen);
  zdc::WritePng(path, *width, *height, zdc::PngColor::kRgb, rgb.data(), size_t(*width) * 3);
  return rgb;
}
