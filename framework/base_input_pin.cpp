#include "base_input_pin.h"

#include <evcode.h>
#include <uuids.h>

CBaseInputPin::CBaseInputPin(const wchar_t* objectName, CBaseFilter* filter, CCritSec* lock,
                             HRESULT* hr, const wchar_t* pinName)
    : CBasePin(objectName, filter, lock, hr, pinName, PINDIR_INPUT),
      m_pAllocator(nullptr),
      m_bReadOnly(false),
      m_bFlushing(false),
      m_bRunTimeError(false),
      m_SampleProps() {}

CBaseInputPin::~CBaseInputPin() {
  if (m_pAllocator) m_pAllocator->Release();
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::NonDelegatingQueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IMemInputPin))
    return GetInterface(static_cast<IMemInputPin*>(this), out);
  return CBasePin::NonDelegatingQueryInterface(iid, out);
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::GetAllocator(IMemAllocator** allocator) {
  if (!allocator) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (!m_pAllocator) {
    HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IMemAllocator, reinterpret_cast<void**>(&m_pAllocator));
    if (FAILED(hr)) {
      m_pAllocator = nullptr;
      *allocator = nullptr;
      return hr;
    }
  }
  *allocator = m_pAllocator;
  m_pAllocator->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
  if (!allocator) return E_POINTER;
  CAutoLock lock(m_pLock);
  allocator->AddRef();
  if (m_pAllocator) m_pAllocator->Release();
  m_pAllocator = allocator;
  m_bReadOnly = readOnly != FALSE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* /*props*/) {
  return E_NOTIMPL;
}

HRESULT CBaseInputPin::CheckStreaming() {
  if (!IsConnected()) return VFW_E_NOT_CONNECTED;
  if (IsStopped()) return VFW_E_WRONG_STATE;
  if (m_bFlushing) return S_FALSE;
  if (m_bRunTimeError) return VFW_E_RUNTIME_ERROR;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::Receive(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;

  m_SampleProps = AM_SAMPLE2_PROPERTIES();
  IMediaSample2* sample2 = nullptr;
  if (SUCCEEDED(sample->QueryInterface(IID_IMediaSample2, reinterpret_cast<void**>(&sample2)))) {
    hr = sample2->GetProperties(sizeof(m_SampleProps), reinterpret_cast<BYTE*>(&m_SampleProps));
    sample2->Release();
    if (FAILED(hr)) return hr;
  } else {
    // Without IMediaSample2 the properties are gathered one by one; the stream
    // is then always the media stream.
    m_SampleProps.cbData = sizeof(m_SampleProps);
    m_SampleProps.dwStreamId = AM_STREAM_MEDIA;
    HRESULT times = sample->GetTime(&m_SampleProps.tStart, &m_SampleProps.tStop);
    if (times == S_OK)
      m_SampleProps.dwSampleFlags |= AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID;
    else if (times == VFW_S_NO_STOP_TIME)
      m_SampleProps.dwSampleFlags |= AM_SAMPLE_TIMEVALID;
    if (sample->IsSyncPoint() == S_OK) m_SampleProps.dwSampleFlags |= AM_SAMPLE_SPLICEPOINT;
    if (sample->IsPreroll() == S_OK) m_SampleProps.dwSampleFlags |= AM_SAMPLE_PREROLL;
    if (sample->IsDiscontinuity() == S_OK)
      m_SampleProps.dwSampleFlags |= AM_SAMPLE_DATADISCONTINUITY;
    m_SampleProps.lActual = sample->GetActualDataLength();
    m_SampleProps.cbBuffer = sample->GetSize();
    sample->GetPointer(&m_SampleProps.pbBuffer);
  }
  m_SampleProps.pMediaType = nullptr;

  AM_MEDIA_TYPE* changed = nullptr;
  if (sample->GetMediaType(&changed) == S_OK && changed) {
    CMediaType type;
    hr = type.Set(*changed);
    DeleteMediaType(changed);
    if (SUCCEEDED(hr)) hr = CheckMediaType(&type) == S_OK ? SetMediaType(&type) : VFW_E_INVALIDMEDIATYPE;
    if (FAILED(hr)) {
      // The stream cannot go on in a type this pin refuses.
      m_bRunTimeError = true;
      m_pFilter->NotifyEvent(EC_ERRORABORT, hr, 0);
      return hr;
    }
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::ReceiveMultiple(IMediaSample** samples, long count,
                                                         long* processed) {
  if (!samples || !processed) return E_POINTER;
  HRESULT hr = S_OK;
  *processed = 0;
  while (*processed < count) {
    hr = Receive(samples[*processed]);
    if (hr != S_OK) break;
    ++*processed;
  }
  return hr;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::ReceiveCanBlock() { return S_OK; }

HRESULT STDMETHODCALLTYPE CBaseInputPin::BeginFlush() {
  m_bFlushing = true;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::EndFlush() {
  m_bFlushing = false;
  m_bRunTimeError = false;
  return S_OK;
}

HRESULT CBaseInputPin::BreakConnect() {
  if (m_pAllocator) {
    m_pAllocator->Decommit();
    m_pAllocator->Release();
    m_pAllocator = nullptr;
  }
  return CBasePin::BreakConnect();
}

HRESULT CBaseInputPin::Inactive() {
  m_bRunTimeError = false;
  m_bFlushing = false;
  if (m_pAllocator) m_pAllocator->Decommit();
  return S_OK;
}
