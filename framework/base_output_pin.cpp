#include "base_output_pin.h"

#include <uuids.h>

CBaseOutputPin::CBaseOutputPin(const wchar_t* objectName, CBaseFilter* filter, CCritSec* lock,
                               HRESULT* hr, const wchar_t* pinName)
    : CBasePin(objectName, filter, lock, hr, pinName, PINDIR_OUTPUT),
      m_pAllocator(nullptr),
      m_pInputPin(nullptr) {}

CBaseOutputPin::~CBaseOutputPin() {
  if (m_pAllocator) m_pAllocator->Release();
  if (m_pInputPin) m_pInputPin->Release();
}

HRESULT CBaseOutputPin::CheckConnect(IPin* pin) {
  HRESULT hr = CBasePin::CheckConnect(pin);
  if (FAILED(hr)) return hr;
  if (m_pInputPin) m_pInputPin->Release();
  m_pInputPin = nullptr;
  if (FAILED(pin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&m_pInputPin)))) {
    m_pInputPin = nullptr;
    return VFW_E_NO_TRANSPORT;
  }
  return S_OK;
}

HRESULT CBaseOutputPin::CompleteConnect(IPin* /*receivePin*/) {
  return DecideAllocator(m_pInputPin, &m_pAllocator);
}

HRESULT CBaseOutputPin::DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator) {
  ALLOCATOR_PROPERTIES request = {};
  pin->GetAllocatorRequirements(&request);  // optional; E_NOTIMPL leaves zeros
  if (request.cbAlign == 0) request.cbAlign = 1;

  // First the downstream pin's own allocator, then the platform's.
  for (int attempt = 0; attempt < 2; ++attempt) {
    IMemAllocator* candidate = nullptr;
    HRESULT hr = attempt == 0
                     ? pin->GetAllocator(&candidate)
                     : CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IMemAllocator, reinterpret_cast<void**>(&candidate));
    if (FAILED(hr) || !candidate) continue;
    ALLOCATOR_PROPERTIES props = request;
    hr = DecideBufferSize(candidate, &props);
    if (SUCCEEDED(hr)) hr = pin->NotifyAllocator(candidate, FALSE);
    if (SUCCEEDED(hr)) {
      if (*allocator) (*allocator)->Release();
      *allocator = candidate;
      return S_OK;
    }
    candidate->Release();
    if (attempt == 1) return hr;
  }
  return VFW_E_NO_ALLOCATOR;
}

HRESULT CBaseOutputPin::BreakConnect() {
  if (m_pAllocator) {
    m_pAllocator->Decommit();
    m_pAllocator->Release();
    m_pAllocator = nullptr;
  }
  if (m_pInputPin) {
    m_pInputPin->Release();
    m_pInputPin = nullptr;
  }
  return CBasePin::BreakConnect();
}

HRESULT CBaseOutputPin::Active() {
  if (!m_pAllocator) return VFW_E_NO_ALLOCATOR;
  return m_pAllocator->Commit();
}

HRESULT CBaseOutputPin::Inactive() {
  if (!m_pAllocator) return VFW_E_NO_ALLOCATOR;
  return m_pAllocator->Decommit();
}

HRESULT CBaseOutputPin::GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start,
                                          REFERENCE_TIME* stop, DWORD flags) {
  if (!m_pAllocator) return VFW_E_NO_ALLOCATOR;
  return m_pAllocator->GetBuffer(sample, start, stop, flags);
}

HRESULT CBaseOutputPin::Deliver(IMediaSample* sample) {
  if (!m_pInputPin) return VFW_E_NOT_CONNECTED;
  return m_pInputPin->Receive(sample);
}

HRESULT CBaseOutputPin::DeliverEndOfStream() {
  if (!m_Connected) return VFW_E_NOT_CONNECTED;
  return m_Connected->EndOfStream();
}

HRESULT CBaseOutputPin::DeliverBeginFlush() {
  if (!m_Connected) return VFW_E_NOT_CONNECTED;
  return m_Connected->BeginFlush();
}

HRESULT CBaseOutputPin::DeliverEndFlush() {
  if (!m_Connected) return VFW_E_NOT_CONNECTED;
  return m_Connected->EndFlush();
}

HRESULT CBaseOutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  if (!m_Connected) return VFW_E_NOT_CONNECTED;
  return m_Connected->NewSegment(start, stop, rate);
}
