#include "test_sink.h"

#include <evcode.h>

#include <new>

namespace {
// {6B1E3C4A-90F2-4C55-9D8E-2A7D4F1B3C60}: the test sink's class, for IPersist.
const CLSID kTestSinkClass = {
    0x6b1e3c4a, 0x90f2, 0x4c55, {0x9d, 0x8e, 0x2a, 0x7d, 0x4f, 0x1b, 0x3c, 0x60}};
}  // namespace

TestSinkPin::TestSinkPin(TestSink* sink, CCritSec* lock, HRESULT* hr)
    : CBaseInputPin(L"test sink pin", sink, lock, hr, L"In"), m_sink(sink) {}

HRESULT TestSinkPin::CheckMediaType(const CMediaType* type) {
  return m_sink->accept(*type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TestSinkPin::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (static_cast<size_t>(position) >= m_sink->preferred.size()) return VFW_S_NO_MORE_ITEMS;
  return type->Set(m_sink->preferred[position]);
}

HRESULT STDMETHODCALLTYPE TestSinkPin::GetAllocator(IMemAllocator** allocator) {
  if (!m_sink->offerOwnAllocator) return CBaseInputPin::GetAllocator(allocator);
  if (!allocator) return E_POINTER;
  if (!m_sink->ownAllocator) return VFW_E_NO_ALLOCATOR;
  *allocator = m_sink->ownAllocator;
  (*allocator)->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestSinkPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
  HRESULT hr = CBaseInputPin::NotifyAllocator(allocator, readOnly);
  if (SUCCEEDED(hr)) {
    m_sink->notifiedAllocator = allocator;
    allocator->GetProperties(&m_sink->notifiedProperties);
  }
  return hr;
}

HRESULT STDMETHODCALLTYPE TestSinkPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) {
  if (!m_sink->hasRequirements) return E_NOTIMPL;
  *props = m_sink->requirements;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestSinkPin::Receive(IMediaSample* sample) {
  HRESULT hr = CBaseInputPin::Receive(sample);
  if (hr != S_OK) return hr;
  ReceivedSample record;
  BYTE* data = nullptr;
  if (SUCCEEDED(sample->GetPointer(&data)) && data) {
    long size = sample->GetSize();
    record.bytes.assign(data, data + (size > 0 ? size : 0));
  }
  record.actualLength = sample->GetActualDataLength();
  HRESULT times = sample->GetTime(&record.start, &record.stop);
  record.hasTime = SUCCEEDED(times);
  record.syncPoint = sample->IsSyncPoint() == S_OK;
  record.discontinuity = sample->IsDiscontinuity() == S_OK;
  record.fromOwnAllocator = false;
  if (m_pAllocator) {
    // A sample of our allocator has our allocator's buffer size.
    ALLOCATOR_PROPERTIES props = {};
    m_pAllocator->GetProperties(&props);
    record.fromOwnAllocator = props.cbBuffer == sample->GetSize();
  }
  record.type = m_mt;
  CAutoLock lock(&m_sink->m_samplesLock);
  m_sink->m_samples.push_back(std::move(record));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestSinkPin::EndOfStream() {
  InterlockedIncrement(&m_sink->endOfStreamCount);
  m_sink->EndOfStreamReached();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestSinkPin::BeginFlush() {
  InterlockedIncrement(&m_sink->beginFlushCount);
  return CBaseInputPin::BeginFlush();
}

HRESULT STDMETHODCALLTYPE TestSinkPin::EndFlush() {
  InterlockedIncrement(&m_sink->endFlushCount);
  return CBaseInputPin::EndFlush();
}

HRESULT STDMETHODCALLTYPE TestSinkPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop,
                                                  double rate) {
  InterlockedIncrement(&m_sink->newSegmentCount);
  return CBaseInputPin::NewSegment(start, stop, rate);
}

TestSink* TestSink::Create() {
  auto* sink = new (std::nothrow) TestSink();
  if (sink) sink->NonDelegatingAddRef();
  return sink;
}

TestSink::TestSink()
    : CBaseFilter(L"test sink", nullptr, &m_lock, kTestSinkClass), m_pin(this, &m_lock, nullptr) {}

TestSink::~TestSink() {
  if (ownAllocator) ownAllocator->Release();
}

HRESULT STDMETHODCALLTYPE TestSink::NonDelegatingQueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IAMFilterMiscFlags))
    return GetInterface(static_cast<IAMFilterMiscFlags*>(this), out);
  return CBaseFilter::NonDelegatingQueryInterface(iid, out);
}

void TestSink::EndOfStreamReached() {
  CAutoLock lock(&m_lock);
  if (m_State == State_Running)
    NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
  else
    m_completePending = true;
}

HRESULT STDMETHODCALLTYPE TestSink::Run(REFERENCE_TIME start) {
  CAutoLock lock(&m_lock);
  HRESULT hr = CBaseFilter::Run(start);
  if (SUCCEEDED(hr) && m_completePending) {
    m_completePending = false;
    NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
  }
  return hr;
}

HRESULT STDMETHODCALLTYPE TestSink::Stop() {
  CAutoLock lock(&m_lock);
  m_completePending = false;
  return CBaseFilter::Stop();
}

std::vector<ReceivedSample> TestSink::Samples() {
  CAutoLock lock(&m_samplesLock);
  return m_samples;
}

void TestSink::ClearSamples() {
  CAutoLock lock(&m_samplesLock);
  m_samples.clear();
  endOfStreamCount = 0;
  newSegmentCount = 0;
  beginFlushCount = 0;
  endFlushCount = 0;
}
