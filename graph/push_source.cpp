#include "push_source.h"

#include <cstring>
#include <new>

namespace {
// {0C3F9A77-5E21-4B8D-A6C4-1E93D2B7F805}: the source's class, for IPersist.
const CLSID kPushSourceClass = {
    0x0c3f9a77, 0x5e21, 0x4b8d, {0xa6, 0xc4, 0x1e, 0x93, 0xd2, 0xb7, 0xf8, 0x05}};
}  // namespace

PushSourcePin::PushSourcePin(PushSource* source, CCritSec* lock, HRESULT* hr)
    : CBaseOutputPin(L"push source pin", source, lock, hr, L"Out"), m_source(source) {}

HRESULT PushSourcePin::CheckMediaType(const CMediaType* type) {
  return IsEqualGUID(type->majortype, m_source->type.majortype) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT PushSourcePin::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  return type->Set(m_source->type);
}

HRESULT PushSourcePin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
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

HRESULT PushSourcePin::Active() {
  HRESULT hr = CBaseOutputPin::Active();
  if (FAILED(hr)) return hr;
  m_source->deliveries.clear();
  m_source->sentEndOfStream = false;
  ResetEvent(m_source->finished);
  m_thread = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
  return m_thread ? S_OK : E_FAIL;
}

HRESULT PushSourcePin::Inactive() {
  // Decommitting ends a wait for a buffer; the thread then finishes.
  HRESULT hr = CBaseOutputPin::Inactive();
  if (m_thread) {
    WaitForSingleObject(m_thread, INFINITE);
    CloseHandle(m_thread);
    m_thread = nullptr;
  }
  return hr;
}

DWORD WINAPI PushSourcePin::ThreadMain(void* pin) {
  auto* self = static_cast<PushSourcePin*>(pin);
  self->Push();
  SetEvent(self->m_source->finished);
  return 0;
}

void PushSourcePin::Push() {
  const REFERENCE_TIME duration = m_source->frameDuration;
  const size_t first = m_source->firstFrame;
  if (m_source->startAsSeek) {
    DeliverBeginFlush();
    DeliverEndFlush();
  }
  DeliverNewSegment(duration * static_cast<REFERENCE_TIME>(first),
                    duration * static_cast<REFERENCE_TIME>(m_source->frames.size()), 1.0);
  for (size_t i = first; i < m_source->frames.size(); ++i) {
    const SourceFrame& frame = m_source->frames[i];
    REFERENCE_TIME start = duration * static_cast<REFERENCE_TIME>(i - first);
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
    sample->SetPreroll(frame.preroll ? TRUE : FALSE);
    sample->SetDiscontinuity(i == first ? TRUE : FALSE);
    // The stream is set on every sample: a reused sample of the platform's
    // memory allocator keeps the stream identifier it was last given.
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

PushSource* PushSource::Create() {
  auto* source = new (std::nothrow) PushSource();
  if (source) source->NonDelegatingAddRef();
  return source;
}

PushSource::PushSource()
    : CBaseFilter(L"push source", nullptr, &m_lock, kPushSourceClass),
      finished(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_pin(this, &m_lock, nullptr) {}

PushSource::~PushSource() {
  if (finished) CloseHandle(finished);
}
