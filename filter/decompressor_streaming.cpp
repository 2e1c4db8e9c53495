// The decompressor's streaming path: configuring the decoder when streaming
// starts, and turning each input sample into a delivered output sample.
#include <evcode.h>

#include <stdexcept>

#include "decompressor_filter.h"
#include "decompressor_pins.h"
#include "ieee_double.h"
#include "video_format.h"

HRESULT DecompressorFilter::StartStreaming() {
  const CMediaType& type = m_pOutput->CurrentMediaType();
  const BITMAPINFOHEADER* header = BitmapHeaderOf(type);
  const VIDEOINFOHEADER* info = VideoInfoOf(type);
  if (!header || !info) return E_UNEXPECTED;
  const bool withChroma = !IsEqualGUID(type.subtype, MEDIASUBTYPE_VbT8);
  const RECT& target = info->rcTarget;
  if (target.left == 0 && target.right == 0 && target.top == 0 && target.bottom == 0) {
    m_outputWidth = header->biWidth;
    m_outputHeight = header->biHeight < 0 ? -header->biHeight : header->biHeight;
  } else {
    // The picture sits at the surface's top left corner; left and top are 0
    // for every accepted type.
    m_outputWidth = target.right;
    m_outputHeight = target.bottom;
  }
  m_outputStride = header->biWidth;
  if (m_decoder.SetSize(m_outputWidth, m_outputHeight, withChroma) != 0) return E_UNEXPECTED;
  m_decoder.SetQuality(0.5);
  return S_OK;
}

HRESULT DecompressorFilter::Receive(IMediaSample* sample) {
  if (m_pInput->SampleProps()->dwStreamId != AM_STREAM_MEDIA) return m_pOutput->Deliver(sample);

  IMediaSample* out = nullptr;
  HRESULT hr = InitializeOutputSample(sample, &out);
  if (FAILED(hr)) return hr;

  // A type on the output sample is downstream asking for a new format (a
  // renderer switching surfaces, say) from this sample on.
  AM_MEDIA_TYPE* requested = nullptr;
  if (out->GetMediaType(&requested) == S_OK && requested) {
    if (requested->pbFormat) {
      StopStreaming();
      CMediaType proposed;
      hr = proposed.Set(*requested);
      if (SUCCEEDED(hr)) hr = CheckTransform(&m_pInput->CurrentMediaType(), &proposed);
      if (SUCCEEDED(hr)) hr = m_pOutput->SetMediaType(&proposed);
      if (SUCCEEDED(hr)) hr = StartStreaming();
    }
    DeleteMediaType(requested);
  }
  if (SUCCEEDED(hr)) hr = Transform(sample, out);
  if (FAILED(hr)) {
    out->Release();
    NotifyEvent(EC_ERRORABORT, hr, 0);
    m_pOutput->DeliverEndOfStream();
    return hr;
  }

  if (hr == S_OK) {
    hr = m_pOutput->Deliver(out);
    m_bSampleSkipped = false;
    out->Release();
    return hr;
  }
  out->Release();
  if (hr == S_FALSE) {
    m_bSampleSkipped = true;
    if (!m_bQualityChanged) {
      NotifyEvent(EC_QUALITY_CHANGE, 0, 0);
      m_bQualityChanged = true;
    }
    return S_OK;
  }
  return hr;
}

HRESULT DecompressorFilter::Transform(IMediaSample* in, IMediaSample* out) {
  BYTE* input = nullptr;
  HRESULT hr = in->GetPointer(&input);
  if (FAILED(hr)) return hr;
  BYTE* output = nullptr;
  hr = out->GetPointer(&output);
  if (FAILED(hr)) return hr;

  // The frame is what the sample holds: its actual length, never more than its
  // buffer.
  long length = in->GetActualDataLength();
  long capacity = in->GetSize();
  if (length < 0) length = 0;
  if (capacity >= 0 && length > capacity) length = capacity;

  const bool withChroma = m_decoder.HasChroma();
  const bool fits = out->GetSize() >= PictureBytes(m_outputStride, m_outputHeight, withChroma);
  // The fault guard. The decoder keeps every read inside the frame and turns
  // malformed data into result 0 by itself; what can still arrive here is a
  // C++ exception (memory, say) or an output buffer too small for the
  // picture, which is not decoded into. Either counts as a faulted frame.
  // Processor faults are not caught: structured exception handling has no
  // clean form in this compiler, and the decoder's bounds make it unneeded.
  try {
    if (!fits) throw std::length_error("output buffer too small");
    int32_t n = m_decoder.Decode(input, static_cast<uint32_t>(length), output, m_outputStride);
    m_lastSampleSize = n != 0 ? n : in->GetActualDataLength();
  } catch (...) {
    m_lastSampleSize = 0;
  }

  // Every picture stands on its own downstream, key frame or not.
  out->SetSyncPoint(TRUE);

  m_frameCount += 1;
  m_totalSampleSize = zdc::DoubleAdd(m_totalSampleSize, static_cast<double>(m_lastSampleSize));
  m_averageSampleSize = static_cast<int32_t>(
      zdc::DoubleAdd(zdc::DoubleDiv(m_totalSampleSize, m_frameCount), 0.5));

  if (HWND window = m_notifyWindow) PostMessageW(window, WM_USER, 0, 0);
  return S_OK;
}
