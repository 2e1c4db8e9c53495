// A counting test sink: one input pin "In" that records every sample it
// receives (its bytes, times and flags, and the connection type in force),
// counts end-of-stream, segments and flushes, and reports EC_COMPLETE to the
// graph at end of stream like a renderer.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <functional>
#include <vector>

#include "base_input_pin.h"
#include "test_allocator.h"

struct ReceivedSample {
  std::vector<BYTE> bytes;  // the whole buffer (GetSize bytes)
  long actualLength = 0;
  bool hasTime = false;
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  bool syncPoint = false;
  bool discontinuity = false;
  bool fromOwnAllocator = false;  // from the allocator the sink was told about
  CMediaType type;               // the pin's type when the sample arrived
};

class TestSink;

class TestSinkPin : public CBaseInputPin {
 public:
  TestSinkPin(TestSink* sink, CCritSec* lock, HRESULT* hr);

  const wchar_t* Id() const override { return L"In"; }
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;

  HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** allocator) override;
  HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;
  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
  HRESULT STDMETHODCALLTYPE EndOfStream() override;
  HRESULT STDMETHODCALLTYPE BeginFlush() override;
  HRESULT STDMETHODCALLTYPE EndFlush() override;
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop,
                                       double rate) override;

 private:
  TestSink* m_sink;
};

class TestSink : public CBaseFilter, public IAMFilterMiscFlags {
 public:
  // A new sink with one reference.
  static TestSink* Create();
  ~TestSink() override;

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** out) override;
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int n) override { return n == 0 ? &m_pin : nullptr; }
  // Like a renderer, the sink reports EC_COMPLETE only while running: an end
  // of stream that arrives while paused is reported when the sink runs.
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
  HRESULT STDMETHODCALLTYPE Stop() override;
  // Marks the sink as a renderer, so that the graph waits for its EC_COMPLETE.
  ULONG STDMETHODCALLTYPE GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

  IPin* Pin() { return &m_pin; }
  IBaseFilter* Filter() { return this; }

  // Configuration, set before connecting.
  std::function<bool(const CMediaType&)> accept = [](const CMediaType&) { return true; };
  std::vector<CMediaType> preferred;
  bool hasRequirements = false;
  ALLOCATOR_PROPERTIES requirements = {};
  // Offer the sink's own TestAllocator (else the platform's default answer).
  bool offerOwnAllocator = false;
  TestAllocator* ownAllocator = nullptr;

  // Results.
  std::vector<ReceivedSample> Samples();
  LONG endOfStreamCount = 0;
  LONG newSegmentCount = 0;
  LONG beginFlushCount = 0;
  LONG endFlushCount = 0;
  IMemAllocator* notifiedAllocator = nullptr;
  ALLOCATOR_PROPERTIES notifiedProperties = {};
  void ClearSamples();

 private:
  friend class TestSinkPin;
  TestSink();

  CCritSec m_lock;
  CCritSec m_samplesLock;
  bool m_completePending = false;
  void EndOfStreamReached();
  TestSinkPin m_pin;
  std::vector<ReceivedSample> m_samples;
};
