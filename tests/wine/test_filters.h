// What the filter tests share: ZDC.dll loaded and its objects made through
// its class factory, input media types, a push source and a recording sink
// (written on our framework), an allocator that can ask for a format change,
// a graph of the platform's Filter Graph Manager holding the three, and
// compressed frames with the pictures a FrameDecoder makes of them.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <control.h>
#include <vfwmsgs.h>

#include <cstdint>
#include <vector>

#include "base_input_pin.h"
#include "base_output_pin.h"
#include "encoder_options.h"
#include "media_type.h"
#include "zdc_guids.h"

bool LoadDecompressorModule(const wchar_t* path);
void UnloadDecompressorModule();
HRESULT ModuleCanUnloadNow();
HRESULT GetDecompressorClassObject(REFCLSID clsid, REFIID iid, void** out);
HRESULT CreateObject(REFCLSID clsid, IUnknown* outer, REFIID iid, void** out);
IBaseFilter* NewDecompressor();
IDecompressorSettings* SettingsOf(IUnknown* filter);

ULONG RefCount(IUnknown* object);
// Releases what must be the last reference and checks the module is free.
void ReleaseLast(IUnknown* object, const char* name);

// A controlling object for aggregation: counts its references, answers
// IUnknown itself and everything else through `inner`.
struct AggregatingOuter : IUnknown {
  LONG refs = 1;
  IUnknown* inner = nullptr;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!IsEqualIID(iid, IID_IUnknown)) return inner->QueryInterface(iid, out);
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};

// A compressed video type of `subtype`, with a VIDEOINFOHEADER2 when `info2`.
CMediaType InputType(const GUID& subtype, bool info2, LONG width, LONG height,
                     REFERENCE_TIME avgTimePerFrame = 400000);
BITMAPINFOHEADER* BitmapHeader(AM_MEDIA_TYPE& type);
IPin* FindPin(IBaseFilter* filter, const wchar_t* id);
// The first type the pin offers.
CMediaType FirstOffered(IPin* pin);
// Waits for `code`, up to a limit that only keeps a broken graph from
// hanging the tests; `param1` receives the event's first parameter.
bool WaitForEvent(IMediaEvent* events, long code, LONG_PTR* param1 = nullptr);

struct SourceFrame {
  std::vector<BYTE> data;
  bool key = true;
  bool media = true;  // false: a control sample (AM_STREAM_CONTROL)
};

// One output pin "Out" with one type; once paused it pushes a segment, one
// timed sample per frame (the first a discontinuity) and end of stream.
class TestSource : public CBaseFilter {
 public:
  TestSource();
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int n) override { return n == 0 ? &m_pin : nullptr; }
  CMediaType type;
  std::vector<SourceFrame> frames;
  long bufferSize = 0;            // 0: the largest frame
  std::vector<HRESULT> deliveries;  // what each Deliver returned in the last run

 private:
  struct Pin : CBaseOutputPin {
    Pin(TestSource* source, HRESULT* hr);
    HRESULT CheckMediaType(const CMediaType*) override { return S_OK; }
    HRESULT GetMediaType(int position, CMediaType* type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT Active() override;
    HRESULT Inactive() override;
    static DWORD WINAPI ThreadMain(void* pin);
    void Push();
    TestSource* source;
    HANDLE thread = nullptr;
  };
  CCritSec m_lock;

 public:
  Pin m_pin;
};

struct ReceivedSample {
  std::vector<BYTE> bytes;
  long length = 0;
  bool hasTime = false, syncPoint = false, discontinuity = false, ownAllocator = false;
  REFERENCE_TIME start = 0, stop = 0;
  LONG width = 0;  // of the pin's type when the sample came
};

// One input pin "In" that records every sample and counts the calls; like a
// renderer it reports EC_COMPLETE at end of stream once running.
class TestSink : public CBaseFilter, public IAMFilterMiscFlags {
 public:
  TestSink();
  ~TestSink() override;
  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int n) override { return n == 0 ? &m_pin : nullptr; }
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
  std::vector<ReceivedSample> Samples();
  void Clear();

  LONG acceptWidth = 0;  // when set, the only output width taken
  bool hasRequirements = false;
  ALLOCATOR_PROPERTIES requirements = {};
  IMemAllocator* ownAllocator = nullptr;  // offered when set
  LONG endOfStreams = 0, segments = 0, beginFlushes = 0, endFlushes = 0;
  ALLOCATOR_PROPERTIES notified = {};     // the allocator's properties at NotifyAllocator

 private:
  struct Pin : CBaseInputPin {
    Pin(TestSink* sink, HRESULT* hr);
    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** allocator) override;
    HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    HRESULT STDMETHODCALLTYPE BeginFlush() override;
    HRESULT STDMETHODCALLTYPE EndFlush() override;
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override;
    TestSink* sink;
  };
  CCritSec m_lock, m_samplesLock;
  std::vector<ReceivedSample> m_samples;
  bool m_completePending = false;

 public:
  Pin m_pin;
};

// The platform's memory allocator with what a renderer adds: buffers at least
// `minimumSize` (a wider surface), and `type` attached to buffer `attachAt`.
IMemAllocator* NewTestAllocator(long minimumSize, int attachAt, const CMediaType* type);

struct TestGraph {
  IFilterGraph2* graph = nullptr;
  IMediaControl* control = nullptr;
  IMediaEvent* events = nullptr;
  IBaseFilter* filter = nullptr;
  TestSource* source = nullptr;
  TestSink* sink = nullptr;
  IPin* in = nullptr;
  IPin* out = nullptr;

  TestGraph();  // check g.in before use: null when the graph could not be made
  HRESULT ConnectInput(const CMediaType& type);
  HRESULT ConnectOutput(const AM_MEDIA_TYPE* type = nullptr);
  // Runs the source's frames until EC_COMPLETE, then stops.
  void Run();
  // Takes everything apart; every object must go.
  ~TestGraph();
};

struct StreamShape {
  uint32_t fourcc;
  int32_t width, height;
  int frames;
  uint32_t keyInterval;
  zdc::CoefficientCoding coder;
  int quality;
};
// A moving pattern encoded with the project's encoder.
std::vector<SourceFrame> EncodeStream(const StreamShape& shape);
// A key frame of exactly `bytes` (>= 32) bytes with no coefficients, whose
// header carries `hundredths` as its quality; Decode returns `bytes`.
SourceFrame EmptyFrame(uint32_t bytes, uint16_t hundredths = 50);

// A FrameDecoder run as the filter drives it: SetSize and SetQuality(0.5),
// then every media frame into one buffer of `stride`; from frame `restartAt`
// on the stride is `newStride` (a format change). Pictures and results.
struct ReferenceRun {
  std::vector<std::vector<BYTE>> pictures;
  std::vector<int32_t> results, strides;
};
ReferenceRun DecodeReference(const std::vector<SourceFrame>& frames, int32_t width, int32_t height,
                             bool withChroma, bool denoise = false, bool displayMask = false,
                             int restartAt = -1, int32_t newStride = 0);
// Compares the received pictures with the reference, inside the rectangle
// the decoder writes (luma, and a quarter of each for the chroma planes).
void CheckPictures(const char* name, const std::vector<ReceivedSample>& got,
                   const ReferenceRun& want, int32_t width, int32_t height, bool withChroma);
// The rounded average sample size the filter reports for these counts.
uint32_t Average(const std::vector<int32_t>& counts);
