#include "test_source.h"

#include <cstring>
#include <new>

namespace {
// {0C3F9A77-5E21-4B8D-A6C4-1E93D2B7F805}: the test source's class, for IPersist.
const CLSID kTestSourceClass = {
    0x0c3f9a77, 0x5e21, 0x4b8d, {0xa6, 0xc4, 0x1e, 0x93, 0xd2, 0xb7, 0xf8, 0x05}};
}  // namespace

TestSourcePin::TestSourcePin(TestSource* source, CCritSec* lock, HRESULT* hr)
    : CBaseOutputPin(L"test source pin", source, lock, hr, L"Out"), m_source(source) {}

HRESULT TestSourcePin::CheckMediaType(const CMediaType* type) {
  return IsEqualGUID(type->majortype, m_source->type.majortype) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TestSourcePin::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  return type->Set(m_source->type);
}

HRESULT TestSourcePin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  long size = m_source->bufferSize;
  for (const SourceFrame& frame : m_source->frames)
    if (static_cast<long>(frame.data.size()) > size) size = static_cast<long>(frame.data.size());
  if (request->cBuffers < 2) request->cBuffers = 2;
  request->cbBuffer = size > 0 ? size : 1;
  ALLOCATOR_PROPERTIES actual = {};
  HRESULT hr = allocator->SetProperties(request, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
}

HRESULT TestSourcePin::Active() {
  HRESULT hr = CBaseOutputPin::Active();
  if (FAILED(hr)) return hr;
  m_source->deliveries.clear();
  m_source->sentEndOfStream = false;
  m_thread = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
  return m_thread ? S_OK : E_FAIL;
}

HRESULT TestSourcePin::Inactive() {
  // Decommitting ends a wait for a buffer; the thread then finishes.
  HRESULT hr = CBaseOutputPin::Inactive();
  if (m_thread) {
    WaitForSingleObject(m_thread, INFINITE);
    CloseHandle(m_thread);
    m_thread = nullptr;
  }
  return hr;
}

DWORD WINAPI TestSourcePin::ThreadMain(void* pin) {
  static_cast<TestSourcePin*>(pin)->Push();
  return 0;
}

void TestSourcePin::Push() {
  const REFERENCE_TIME duration = m_source->frameDuration;
  DeliverNewSegment(0, duration * static_cast<REFERENCE_TIME>(m_source->frames.size()), 1.0);
  for (size_t i = 0; i < m_source->frames.size(); ++i) {
    const SourceFrame& frame = m_source->frames[i];
    REFERENCE_TIME start = duration * static_cast<REFERENCE_TIME>(i);
    REFERENCE_TIME stop = start + duration;
    IMediaSample* sample = nullptr;
    if (FAILED(GetDeliveryBuffer(&sample, &start, &stop, 0))) return;  // stopping
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    long length = static_cast<long>(frame.data.size());
    if (length > sample->GetSize()) length = sample->GetSize();
    if (length > 0) std::memcpy(data, frame.data.data(), length);
    sample->SetActualDataLength(length);
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(frame.key ? TRUE : FALSE);
    sample->SetDiscontinuity(i == 0 ? TRUE : FALSE);
    // The stream is set on every sample: a reused sample of Wine's memory
    // allocator keeps the stream identifier it was last given.
    IMediaSample2* sample2 = nullptr;
    if (SUCCEEDED(sample->QueryInterface(IID_IMediaSample2, reinterpret_cast<void**>(&sample2)))) {
      AM_SAMPLE2_PROPERTIES props = {};
      sample2->GetProperties(sizeof(props), reinterpret_cast<BYTE*>(&props));
      props.dwStreamId = frame.media ? AM_STREAM_MEDIA : AM_STREAM_CONTROL;
      sample2->SetProperties(sizeof(props), reinterpret_cast<BYTE*>(&props));
      sample2->Release();
    }
    HRESULT hr = Deliver(sample);
    sample->Release();
    m_source->deliveries.push_back(hr);
    if (FAILED(hr)) return;
  }
  m_source->sentEndOfStream = true;
  DeliverEndOfStream();
}

TestSource* TestSource::Create() {
  auto* source = new (std::nothrow) TestSource();
  if (source) source->NonDelegatingAddRef();
  return source;
}

TestSource::TestSource()
    : CBaseFilter(L"test source", nullptr, &m_lock, kTestSourceClass),
      m_pin(this, &m_lock, nullptr) {}

TestSource::~TestSource() = default;
