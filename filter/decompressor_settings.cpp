// IDecompressorSettings: the property page's view into the filter. The
// statistics are shared with the streaming thread under their own small lock,
// so a reset never meets a half-made update; the notify window is shared
// without one (a stale handle only misses or gets one refresh); the switches
// go through the decoder's setters, which take its lock, so a switch never
// changes inside a frame.
#include "decompressor_filter.h"

HRESULT STDMETHODCALLTYPE DecompressorFilter::SetNotifyWindow(HWND window) {
  m_notifyWindow = window;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DecompressorFilter::ClearNotifyWindow() {
  m_notifyWindow = nullptr;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DecompressorFilter::GetStatistics(DecompressorStatistics* record) {
  if (!record) return E_POINTER;
  CAutoLock lock(&m_csStatistics);
  record->averageSampleSize = static_cast<uint32_t>(m_averageSampleSize);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DecompressorFilter::ResetStatistics() {
  CAutoLock lock(&m_csStatistics);
  m_frameCount = 0;
  m_totalSampleSize = 0.0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DecompressorFilter::SetQuality(double quality) {
  return m_decoder.SetQuality(quality) == 0 ? S_OK : E_INVALIDARG;
}

HRESULT STDMETHODCALLTYPE DecompressorFilter::GetQuality(double* quality) {
  if (!quality) return E_POINTER;
  *quality = zdc::HundredthsToQuality(m_decoder.QualityHundredths());
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DecompressorFilter::SetDisplayMask(BOOL on) {
  m_decoder.SetDisplayMask(on);  // kept as given, under the decoder's lock
  return S_OK;
}

// The page never passes null here; refusing it costs nothing.
HRESULT STDMETHODCALLTYPE DecompressorFilter::GetDisplayMask(BOOL* on) {
  if (!on) return E_POINTER;
  *on = m_decoder.GetDisplayMask();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DecompressorFilter::SetDenoise(BOOL on) {
  m_decoder.SetDenoise(on);  // kept as given, under the decoder's lock
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DecompressorFilter::GetDenoise(BOOL* on) {
  if (!on) return E_POINTER;
  *on = m_decoder.GetDenoise();
  return S_OK;
}
