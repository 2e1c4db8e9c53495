#include "test_filters.h"

#include <amvideo.h>
#include <dvdmedia.h>
#include <evcode.h>
#include <uuids.h>

#include <cstring>

#include "check.h"
#include "frame_decoder.h"
#include "frame_encoder.h"
#include "picture.h"

namespace {

HMODULE g_module = nullptr;

template <class Function>
Function Export(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(g_module, name)));
}

// Classes of the test filters, for IPersist.
const CLSID kTestSourceClass = {
    0x0c3f9a77, 0x5e21, 0x4b8d, {0xa6, 0xc4, 0x1e, 0x93, 0xd2, 0xb7, 0xf8, 0x05}};
const CLSID kTestSinkClass = {
    0x6b1e3c4a, 0x90f2, 0x4c55, {0x9d, 0x8e, 0x2a, 0x7d, 0x4f, 0x1b, 0x3c, 0x60}};

}  // namespace

bool LoadDecompressorModule(const wchar_t* path) { return (g_module = LoadLibraryW(path)); }

void UnloadDecompressorModule() { FreeLibrary(g_module); }

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
  ok(left == 0, "%s: got %lu references left.\n", name, left);
  HRESULT hr = ModuleCanUnloadNow();
  ok(hr == S_OK, "%s: DllCanUnloadNow got hr %#lx.\n", name, hr);
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
  BITMAPINFOHEADER* header = BitmapHeader(type);
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = width;
  header->biHeight = height;
  header->biPlanes = 1;
  header->biBitCount = 24;
  header->biCompression = subtype.Data1;
  header->biSizeImage = static_cast<DWORD>(width * height);
  header->biXPelsPerMeter = 2835;
  header->biYPelsPerMeter = 2836;
  reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat)->AvgTimePerFrame = avgTimePerFrame;
  return type;
}

BITMAPINFOHEADER* BitmapHeader(AM_MEDIA_TYPE& type) {
  bool info2 = IsEqualGUID(type.formattype, FORMAT_VideoInfo2);
  return reinterpret_cast<BITMAPINFOHEADER*>(
      type.pbFormat + (info2 ? offsetof(VIDEOINFOHEADER2, bmiHeader)
                             : offsetof(VIDEOINFOHEADER, bmiHeader)));
}

IPin* FindPin(IBaseFilter* filter, const wchar_t* id) {
  IPin* pin = nullptr;
  filter->FindPin(id, &pin);
  return pin;
}

CMediaType FirstOffered(IPin* pin) {
  IEnumMediaTypes* types = nullptr;
  pin->EnumMediaTypes(&types);
  AM_MEDIA_TYPE* offered = nullptr;
  types->Next(1, &offered, nullptr);
  types->Release();
  CMediaType type(*offered);
  DeleteMediaType(offered);
  return type;
}

bool WaitForEvent(IMediaEvent* events, long code, LONG_PTR* param1) {
  for (DWORD begin = GetTickCount(); GetTickCount() - begin < 20000;) {
    long got = 0;
    LONG_PTR p1 = 0, p2 = 0;
    if (events->GetEvent(&got, &p1, &p2, 50) != S_OK) continue;
    events->FreeEventParams(got, p1, p2);
    if (param1) *param1 = p1;
    if (got == code) return true;
  }
  return false;
}

TestSource::TestSource()
    : CBaseFilter(L"test source", nullptr, &m_lock, kTestSourceClass), m_pin(this, nullptr) {}

TestSource::Pin::Pin(TestSource* source, HRESULT* hr)
    : CBaseOutputPin(L"source pin", source, &source->m_lock, hr, L"Out"), source(source) {}

HRESULT TestSource::Pin::GetMediaType(int position, CMediaType* type) {
  return position > 0 ? VFW_S_NO_MORE_ITEMS : type->Set(source->type);
}

HRESULT TestSource::Pin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  long size = source->bufferSize;
  for (const SourceFrame& frame : source->frames)
    if (static_cast<long>(frame.data.size()) > size) size = static_cast<long>(frame.data.size());
  request->cBuffers = 2;
  request->cbBuffer = size > 0 ? size : 1;
  ALLOCATOR_PROPERTIES actual;
  return allocator->SetProperties(request, &actual);
}

HRESULT TestSource::Pin::Active() {
  HRESULT hr = CBaseOutputPin::Active();
  source->deliveries.clear();
  thread = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
  return hr;
}

DWORD WINAPI TestSource::Pin::ThreadMain(void* pin) {
  static_cast<Pin*>(pin)->Push();
  return 0;
}

HRESULT TestSource::Pin::Inactive() {
  HRESULT hr = CBaseOutputPin::Inactive();  // ends a wait for a buffer
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  thread = nullptr;
  return hr;
}

void TestSource::Pin::Push() {
  const REFERENCE_TIME duration = 400000;
  DeliverNewSegment(0, duration * static_cast<LONGLONG>(source->frames.size()), 1.0);
  for (size_t i = 0; i < source->frames.size(); ++i) {
    const SourceFrame& frame = source->frames[i];
    REFERENCE_TIME start = duration * static_cast<LONGLONG>(i), stop = start + duration;
    IMediaSample* sample = nullptr;
    if (FAILED(GetDeliveryBuffer(&sample, &start, &stop, 0))) return;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    std::memcpy(data, frame.data.data(), frame.data.size());
    sample->SetActualDataLength(static_cast<long>(frame.data.size()));
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(frame.key);
    sample->SetDiscontinuity(i == 0);
    // Set on every sample: a reused sample keeps the stream it was given.
    IMediaSample2* sample2 = nullptr;
    sample->QueryInterface(IID_IMediaSample2, (void**)&sample2);
    AM_SAMPLE2_PROPERTIES props = {};
    sample2->GetProperties(sizeof(props), (BYTE*)&props);
    props.dwStreamId = frame.media ? AM_STREAM_MEDIA : AM_STREAM_CONTROL;
    sample2->SetProperties(sizeof(props), (BYTE*)&props);
    sample2->Release();
    HRESULT hr = Deliver(sample);
    sample->Release();
    source->deliveries.push_back(hr);
    if (FAILED(hr)) return;
  }
  DeliverEndOfStream();
}

TestSink::TestSink()
    : CBaseFilter(L"test sink", nullptr, &m_lock, kTestSinkClass), m_pin(this, nullptr) {}

TestSink::~TestSink() {
  if (ownAllocator) ownAllocator->Release();
}

HRESULT STDMETHODCALLTYPE TestSink::NonDelegatingQueryInterface(REFIID iid, void** out) {
  if (IsEqualIID(iid, IID_IAMFilterMiscFlags))
    return GetInterface(static_cast<IAMFilterMiscFlags*>(this), out);
  return CBaseFilter::NonDelegatingQueryInterface(iid, out);
}

HRESULT STDMETHODCALLTYPE TestSink::Run(REFERENCE_TIME start) {
  CAutoLock lock(&m_lock);
  HRESULT hr = CBaseFilter::Run(start);
  if (m_completePending) NotifyEvent(EC_COMPLETE, S_OK, (LONG_PTR) static_cast<IBaseFilter*>(this));
  m_completePending = false;
  return hr;
}

std::vector<ReceivedSample> TestSink::Samples() {
  CAutoLock lock(&m_samplesLock);
  return m_samples;
}

void TestSink::Clear() {
  CAutoLock lock(&m_samplesLock);
  m_samples.clear();
  endOfStreams = segments = beginFlushes = endFlushes = 0;
}

TestSink::Pin::Pin(TestSink* sink, HRESULT* hr)
    : CBaseInputPin(L"sink pin", sink, &sink->m_lock, hr, L"In"), sink(sink) {}

HRESULT TestSink::Pin::CheckMediaType(const CMediaType* type) {
  if (!sink->acceptWidth) return S_OK;
  bool wide = type->cbFormat >= sizeof(VIDEOINFOHEADER) &&
              BitmapHeader(const_cast<CMediaType&>(*type))->biWidth == sink->acceptWidth;
  return wide ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT STDMETHODCALLTYPE TestSink::Pin::GetAllocator(IMemAllocator** allocator) {
  if (!sink->ownAllocator) return CBaseInputPin::GetAllocator(allocator);
  (*allocator = sink->ownAllocator)->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestSink::Pin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
  allocator->GetProperties(&sink->notified);
  return CBaseInputPin::NotifyAllocator(allocator, readOnly);
}

HRESULT STDMETHODCALLTYPE TestSink::Pin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) {
  if (!sink->hasRequirements) return E_NOTIMPL;
  *props = sink->requirements;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestSink::Pin::Receive(IMediaSample* sample) {
  HRESULT hr = CBaseInputPin::Receive(sample);
  if (hr != S_OK) return hr;
  ReceivedSample record;
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  record.bytes.assign(data, data + sample->GetSize());
  record.length = sample->GetActualDataLength();
  record.hasTime = SUCCEEDED(sample->GetTime(&record.start, &record.stop));
  record.syncPoint = sample->IsSyncPoint() == S_OK;
  record.discontinuity = sample->IsDiscontinuity() == S_OK;
  // A sample of the negotiated allocator has its buffer size.
  ALLOCATOR_PROPERTIES props = {};
  m_pAllocator->GetProperties(&props);
  record.ownAllocator = props.cbBuffer == sample->GetSize();
  record.width = BitmapHeader(m_mt)->biWidth;
  CAutoLock lock(&sink->m_samplesLock);
  sink->m_samples.push_back(std::move(record));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestSink::Pin::EndOfStream() {
  InterlockedIncrement(&sink->endOfStreams);
  CAutoLock lock(&sink->m_lock);
  if (sink->m_State == State_Running)
    sink->NotifyEvent(EC_COMPLETE, S_OK, (LONG_PTR) static_cast<IBaseFilter*>(sink));
  else
    sink->m_completePending = true;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestSink::Pin::BeginFlush() {
  InterlockedIncrement(&sink->beginFlushes);
  return CBaseInputPin::BeginFlush();
}

HRESULT STDMETHODCALLTYPE TestSink::Pin::EndFlush() {
  InterlockedIncrement(&sink->endFlushes);
  return CBaseInputPin::EndFlush();
}

HRESULT STDMETHODCALLTYPE TestSink::Pin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop,
                                                    double rate) {
  InterlockedIncrement(&sink->segments);
  return CBaseInputPin::NewSegment(start, stop, rate);
}

namespace {

struct TestAllocator final : IMemAllocator {
  LONG refs = 1;
  IMemAllocator* inner = nullptr;
  long minimumSize;
  LONG handedOut = 0;
  int attachAt;
  CMediaType type;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IMemAllocator))
      return *out = nullptr, E_NOINTERFACE;
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG left = InterlockedDecrement(&refs);
    if (!left) {
      inner->Release();
      delete this;
    }
    return left;
  }
  HRESULT STDMETHODCALLTYPE SetProperties(ALLOCATOR_PROPERTIES* request,
                                          ALLOCATOR_PROPERTIES* actual) override {
    ALLOCATOR_PROPERTIES adjusted = *request;
    if (adjusted.cbBuffer < minimumSize) adjusted.cbBuffer = minimumSize;
    return inner->SetProperties(&adjusted, actual);
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

TestGraph::TestGraph() {
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFilterGraph2, (void**)&graph);
  ok(hr == S_OK, "Filter Graph Manager: got hr %#lx.\n", hr);
  if (FAILED(hr)) return;
  graph->QueryInterface(IID_IMediaControl, (void**)&control);
  graph->QueryInterface(IID_IMediaEvent, (void**)&events);
  filter = NewDecompressor();
  (source = new TestSource)->NonDelegatingAddRef();
  (sink = new TestSink)->NonDelegatingAddRef();
  graph->AddFilter(source, L"source");
  graph->AddFilter(filter, L"decompressor");
  graph->AddFilter(sink, L"sink");
  in = FindPin(filter, L"In");
  out = FindPin(filter, L"Out");
}

HRESULT TestGraph::ConnectInput(const CMediaType& type) {
  source->type = type;
  return graph->ConnectDirect(&source->m_pin, in, &type);
}

HRESULT TestGraph::ConnectOutput(const AM_MEDIA_TYPE* type) {
  return graph->ConnectDirect(out, &sink->m_pin, type);
}

void TestGraph::Run() {
  HRESULT hr = control->Run();
  ok(SUCCEEDED(hr), "Run: got hr %#lx.\n", hr);
  ok(WaitForEvent(events, EC_COMPLETE), "Got no EC_COMPLETE.\n");
  hr = control->Stop();
  ok(hr == S_OK, "Stop: got hr %#lx.\n", hr);
}

TestGraph::~TestGraph() {
  if (!graph) return;
  control->Stop();
  in->Release();
  out->Release();
  events->Release();
  control->Release();
  // Releasing the graph removes (and disconnects) every filter.
  ULONG refs[4] = {graph->Release(), filter->Release(), source->NonDelegatingRelease(),
                   sink->NonDelegatingRelease()};
  ok(!refs[0] && !refs[1] && !refs[2] && !refs[3],
     "Got %lu, %lu, %lu, %lu references left (graph, decompressor, source, sink).\n", refs[0],
     refs[1], refs[2], refs[3]);
}

namespace {

zdc::Picture Pattern(int32_t width, int32_t height, bool withChroma, int t) {
  zdc::Picture picture = zdc::Picture::Create(width, height, withChroma);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      // A bright square that moves, so that delta frames code some blocks.
      bool square = x >= 4 + 6 * t && x < 28 + 6 * t && y >= 8 && y < 30;
      picture.luma[static_cast<size_t>(y) * width + x] =
          static_cast<uint8_t>(square ? 230 : (x * 3 + y * 2 + t * 5) & 0xFF);
    }
  if (withChroma)
    for (int32_t y = 0; y < picture.ChromaHeight(); ++y)
      for (int32_t x = 0; x < picture.ChromaWidth(); ++x) {
        size_t i = static_cast<size_t>(y) * picture.ChromaWidth() + x;
        picture.chroma[0][i] = static_cast<uint8_t>(100 + x * 4 + t);
        picture.chroma[1][i] = static_cast<uint8_t>(160 - y * 4 + t);
      }
  return picture;
}

}  // namespace

std::vector<SourceFrame> EncodeStream(const StreamShape& shape) {
  zdc::EncoderOptions options;
  options.fourcc = shape.fourcc;
  options.quality = shape.quality;
  options.keyInterval = shape.keyInterval;
  options.coder = shape.coder;
  zdc::FrameEncoder encoder(shape.width, shape.height, options);
  std::vector<SourceFrame> frames(shape.frames);
  for (int t = 0; t < shape.frames; ++t) {
    std::vector<uint8_t> bytes =
        encoder.EncodeFrame(Pattern(shape.width, shape.height, encoder.WithChroma(), t));
    frames[t].data.assign(bytes.begin(), bytes.end());
    frames[t].key = encoder.LastFrame().keyFrame;
  }
  return frames;
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

ReferenceRun DecodeReference(const std::vector<SourceFrame>& frames, int32_t width, int32_t height,
                             bool withChroma, bool denoise, bool displayMask, int restartAt,
                             int32_t newStride) {
  ReferenceRun run;
  zdc::FrameDecoder decoder;
  decoder.SetDenoise(denoise);
  decoder.SetDisplayMask(displayMask);
  int32_t stride = width;
  const size_t luma = static_cast<size_t>(newStride > width ? newStride : width) * height;
  std::vector<BYTE> buffer(withChroma ? luma + luma / 8 : luma, 0);
  for (const SourceFrame& frame : frames) {
    if (!frame.media) continue;
    if (run.results.empty() || static_cast<int>(run.results.size()) == restartAt) {
      if (!run.results.empty()) stride = newStride;
      decoder.SetSize(width, height, withChroma);
      decoder.SetQuality(0.5);
    }
    run.results.push_back(decoder.Decode(frame.data.data(),
                                         static_cast<uint32_t>(frame.data.size()),
                                         buffer.data(), stride));
    run.pictures.push_back(buffer);
    run.strides.push_back(stride);
  }
  return run;
}

void CheckPictures(const char* name, const std::vector<ReceivedSample>& got,
                   const ReferenceRun& want, int32_t width, int32_t height, bool withChroma) {
  ok(got.size() == want.pictures.size(), "%s: got %zu pictures, expected %zu.\n", name,
     got.size(), want.pictures.size());
  for (size_t i = 0; i < got.size() && i < want.pictures.size(); ++i) {
    const std::vector<BYTE>&a = got[i].bytes, &b = want.pictures[i];
    const size_t stride = want.strides[i], luma = stride * height;
    // Each plane: offset, width, height, stride.
    const size_t planes[3][4] = {{0, size_t(width), size_t(height), stride},
                                 {luma, size_t(width / 4), size_t(height / 4), stride / 4},
                                 {luma + luma / 16, size_t(width / 4), size_t(height / 4),
                                  stride / 4}};
    int plane = 0, gotValue = -1;
    size_t x = 0, y = 0, at = 0;
    bool same = true;
    for (; plane < (withChroma ? 3 : 1) && same; ++plane)
      for (y = 0; y < planes[plane][2] && same; ++y)
        for (x = 0; x < planes[plane][1] && same; ++x) {
          at = planes[plane][0] + y * planes[plane][3] + x;
          gotValue = at < a.size() ? a[at] : -1;
          same = gotValue == b[at];
        }
    ok(same, "%s: picture %zu, plane %d (%zu, %zu): got %d, expected %u.\n", name, i, plane - 1,
       x - 1, y - 1, gotValue, b[at]);
  }
}

uint32_t Average(const std::vector<int32_t>& counts) {
  double total = 0;
  for (int32_t n : counts) total += n;
  return static_cast<uint32_t>(total / counts.size() + 0.5);
}
