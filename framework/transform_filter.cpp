#include "transform_filter.h"

#include <evcode.h>

#include "transform_pins.h"

CTransformFilter::CTransformFilter(const wchar_t* name, IUnknown* outer, REFCLSID clsid)
    : CBaseFilter(name, outer, &m_csFilter, clsid),
      m_bEOSDelivered(false),
      m_bSampleSkipped(false),
      m_bQualityChanged(false),
      m_pInput(nullptr),
      m_pOutput(nullptr) {}

CTransformFilter::~CTransformFilter() {
  delete m_pInput;
  delete m_pOutput;
}

CBasePin* CTransformFilter::GetPin(int n) {
  if (n == 0) return m_pInput;
  if (n == 1) return m_pOutput;
  return nullptr;
}

HRESULT STDMETHODCALLTYPE CTransformFilter::Stop() {
  CAutoLock filterLock(&m_csFilter);
  if (m_State == State_Stopped) return S_OK;
  bool streaming = m_pInput->IsConnected() && m_pOutput->IsConnected();
  // Decommitting first releases any thread waiting for a buffer, upstream in
  // our input allocator or our own Receive in the output allocator, so that
  // the receive lock below becomes free.
  if (m_pInput->IsConnected()) m_pInput->Inactive();
  if (m_pOutput->IsConnected()) m_pOutput->Inactive();
  HRESULT hr = S_OK;
  if (streaming) {
    CAutoLock receiveLock(&m_csReceive);
    hr = StopStreaming();
  }
  if (SUCCEEDED(hr)) {
    m_State = State_Stopped;
    m_bEOSDelivered = false;
  }
  return hr;
}

HRESULT STDMETHODCALLTYPE CTransformFilter::Pause() {
  CAutoLock filterLock(&m_csFilter);
  bool started = false;
  if (m_State == State_Stopped && m_pInput->IsConnected() && m_pOutput->IsConnected()) {
    CAutoLock receiveLock(&m_csReceive);
    HRESULT hr = StartStreaming();
    if (FAILED(hr)) return hr;
    started = true;
  }
  HRESULT hr = CBaseFilter::Pause();
  if (FAILED(hr)) {
    if (started) {
      CAutoLock receiveLock(&m_csReceive);
      StopStreaming();
    }
    return hr;
  }
  // With nothing upstream no sample will ever come: tell downstream at once.
  if (!m_pInput->IsConnected() && m_pOutput->IsConnected() && !m_bEOSDelivered) {
    m_pOutput->DeliverEndOfStream();
    m_bEOSDelivered = true;
  }
  m_bSampleSkipped = false;
  m_bQualityChanged = false;
  return S_OK;
}

HRESULT CTransformFilter::Transform(IMediaSample* /*in*/, IMediaSample* /*out*/) {
  return E_UNEXPECTED;
}

HRESULT CTransformFilter::InitializeOutputSample(IMediaSample* sample, IMediaSample** out) {
  *out = nullptr;
  const AM_SAMPLE2_PROPERTIES* props = m_pInput->SampleProps();
  DWORD flags = m_bSampleSkipped ? AM_GBF_PREVFRAMESKIPPED : 0;
  if (!(props->dwSampleFlags & AM_SAMPLE_SPLICEPOINT)) flags |= AM_GBF_NOTASYNCPOINT;
  REFERENCE_TIME start = props->tStart;
  REFERENCE_TIME stop = props->tStop;
  bool hasStart = (props->dwSampleFlags & AM_SAMPLE_TIMEVALID) != 0;
  bool hasStop = (props->dwSampleFlags & AM_SAMPLE_STOPVALID) != 0;

  IMediaSample* outSample = nullptr;
  HRESULT hr = m_pOutput->GetDeliveryBuffer(&outSample, hasStart ? &start : nullptr,
                                            hasStop ? &stop : nullptr, flags);
  if (FAILED(hr)) return hr;
  if (!outSample) return E_UNEXPECTED;

  if (hasStart) outSample->SetTime(&start, hasStop ? &stop : nullptr);
  outSample->SetSyncPoint((props->dwSampleFlags & AM_SAMPLE_SPLICEPOINT) ? TRUE : FALSE);
  if (props->dwSampleFlags & AM_SAMPLE_DATADISCONTINUITY) {
    outSample->SetDiscontinuity(TRUE);
    m_bSampleSkipped = false;
  }
  outSample->SetPreroll((props->dwSampleFlags & AM_SAMPLE_PREROLL) ? TRUE : FALSE);
  LONGLONG mediaStart = 0, mediaStop = 0;
  if (sample->GetMediaTime(&mediaStart, &mediaStop) == S_OK)
    outSample->SetMediaTime(&mediaStart, &mediaStop);
  *out = outSample;
  return S_OK;
}

HRESULT CTransformFilter::Receive(IMediaSample* sample) {
  if (m_pInput->SampleProps()->dwStreamId != AM_STREAM_MEDIA) return m_pOutput->Deliver(sample);
  IMediaSample* out = nullptr;
  HRESULT hr = InitializeOutputSample(sample, &out);
  if (FAILED(hr)) return hr;
  hr = Transform(sample, out);
  if (hr == S_OK) {
    hr = m_pOutput->Deliver(out);
    m_bSampleSkipped = false;
  } else if (hr == S_FALSE) {
    m_bSampleSkipped = true;
    if (!m_bQualityChanged) {
      NotifyEvent(EC_QUALITY_CHANGE, 0, 0);
      m_bQualityChanged = true;
    }
    hr = S_OK;
  }
  out->Release();
  return hr;
}

HRESULT CTransformFilter::EndOfStream() {
  if (!m_pOutput->IsConnected()) return S_OK;
  return m_pOutput->DeliverEndOfStream();
}

HRESULT CTransformFilter::BeginFlush() {
  if (!m_pOutput->IsConnected()) return S_OK;
  return m_pOutput->DeliverBeginFlush();
}

HRESULT CTransformFilter::EndFlush() {
  if (!m_pOutput->IsConnected()) return S_OK;
  return m_pOutput->DeliverEndFlush();
}

HRESULT CTransformFilter::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  if (!m_pOutput->IsConnected()) return S_OK;
  return m_pOutput->DeliverNewSegment(start, stop, rate);
}
