#include "picture_sink.h"

#include <new>

namespace {
// {6B1E3C4A-90F2-4C55-9D8E-2A7D4F1B3C60}: the sink's class, for IPersist.
const CLSID kPictureSinkClass = {
    0x6b1e3c4a, 0x90f2, 0x4c55, {0x9d, 0x8e, 0x2a, 0x7d, 0x4f, 0x1b, 0x3c, 0x60}};
}  // namespace

PictureSinkPin::PictureSinkPin(PictureSink* sink, CCritSec* lock, HRESULT* hr)
    : CBaseInputPin(L"picture sink pin", sink, lock, hr, L"In"), m_sink(sink) {}

HRESULT PictureSinkPin::CheckMediaType(const CMediaType* type) {
  return m_sink->accept(*type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT STDMETHODCALLTYPE PictureSinkPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) {
  if (!props) return E_POINTER;
  *props = ALLOCATOR_PROPERTIES{m_sink->buffers, 0, 1, 0};
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PictureSinkPin::Receive(IMediaSample* sample) {
  HRESULT hr = CBaseInputPin::Receive(sample);
  if (hr != S_OK) return hr;
  if (m_sink->received) hr = m_sink->received(sample, m_mt);
  if (m_sink->hold > 0) {
    CAutoLock lock(&m_sink->m_heldLock);
    sample->AddRef();
    m_sink->m_held.push_back(sample);
    if (m_sink->m_held.size() > m_sink->hold) {
      m_sink->m_held.front()->Release();
      m_sink->m_held.pop_front();
    }
  }
  return hr;
}

HRESULT STDMETHODCALLTYPE PictureSinkPin::EndOfStream() {
  SetEvent(m_sink->endOfStream);
  return S_OK;
}

HRESULT PictureSinkPin::Inactive() {
  // Held samples go back before the allocator is decommitted.
  m_sink->ReleaseHeld();
  return CBaseInputPin::Inactive();
}

PictureSink* PictureSink::Create() {
  auto* sink = new (std::nothrow) PictureSink();
  if (sink) sink->NonDelegatingAddRef();
  return sink;
}

PictureSink::PictureSink()
    : CBaseFilter(L"picture sink", nullptr, &m_lock, kPictureSinkClass),
      endOfStream(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_pin(this, &m_lock, nullptr) {}

PictureSink::~PictureSink() {
  ReleaseHeld();
  if (endOfStream) CloseHandle(endOfStream);
}

void PictureSink::ReleaseHeld() {
  CAutoLock lock(&m_heldLock);
  for (IMediaSample* sample : m_held) sample->Release();
  m_held.clear();
}
