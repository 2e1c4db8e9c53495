// The decompressor's streaming path: configuring the decoder when streaming
// starts, decoding each input sample into the filter's picture, and filling
// and delivering an output sample from it.
#include <evcode.h>

#include <algorithm>
#include <stdexcept>

#include "decompressor_filter.h"
#include "decompressor_pins.h"
#include "ieee_double.h"
#include "video_format.h"

namespace {

// Whether the frame in `data` is a key frame (frame index 0 in its header).
bool IsKeyFrame(const BYTE* data, long length) {
  return length >= 8 && data[6] == 0 && data[7] == 0;
}

}  // namespace

HRESULT DecompressorFilter::StartStreaming() {
  OutputLayout layout;
  if (!LayoutOfType(m_pOutput->CurrentMediaType(), &layout)) return E_UNEXPECTED;
  // The picture carries chroma unless the stream is luma only; a luma-only
  // picture converts to the other formats as grey.
  const bool withChroma = !IsEqualGUID(m_pInput->CurrentMediaType().subtype, MEDIASUBTYPE_QZV3);
  if (m_decoder.SetSize(layout.pictureWidth, layout.pictureHeight, withChroma) != 0)
    return E_UNEXPECTED;
  m_decoder.SetQuality(0.5);
  try {
    // Zero-filled, as the decoder's own planes start: delta frames before the
    // first key frame build on it exactly as in the command line's decode.
    m_picture.assign(zdc::DecoderOutputBytes(layout.pictureWidth, layout.pictureHeight, withChroma),
                     0);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  m_layout = layout;
  m_waitForKeyFrame = false;
  return S_OK;
}

HRESULT DecompressorFilter::EndFlush() {
  m_waitForKeyFrame = true;
  return CTransformFilter::EndFlush();
}

HRESULT DecompressorFilter::ApplyOutputSampleType(const AM_MEDIA_TYPE& requested) {
  CMediaType proposed;
  HRESULT hr = proposed.Set(requested);
  if (SUCCEEDED(hr)) hr = CheckTransform(&m_pInput->CurrentMediaType(), &proposed);
  OutputLayout layout;
  if (SUCCEEDED(hr) && !LayoutOfType(proposed, &layout)) hr = VFW_E_TYPE_NOT_ACCEPTED;
  if (SUCCEEDED(hr)) hr = m_pOutput->SetMediaType(&proposed);
  // CheckTransform keeps the picture's size, so only the surface changes.
  if (SUCCEEDED(hr)) m_layout = layout;
  return hr;
}

HRESULT DecompressorFilter::Receive(IMediaSample* sample) {
  if (m_pInput->SampleProps()->dwStreamId != AM_STREAM_MEDIA) return m_pOutput->Deliver(sample);

  // Preroll samples only bring the picture up to date.
  if (sample->IsPreroll() == S_OK) {
    HRESULT hr = DecodeFrame(sample);
    return FAILED(hr) ? hr : S_OK;
  }

  IMediaSample* out = nullptr;
  HRESULT hr = InitializeOutputSample(sample, &out);
  // A type on the output sample is downstream asking for a new format (a
  // renderer switching surfaces, say) from this sample on; a type the
  // filter cannot deliver ends the stream before the frame is decoded.
  AM_MEDIA_TYPE* requested = nullptr;
  if (SUCCEEDED(hr) && out->GetMediaType(&requested) == S_OK && requested) {
    if (requested->pbFormat) hr = ApplyOutputSampleType(*requested);
    DeleteMediaType(requested);
  }
  if (SUCCEEDED(hr)) hr = Transform(sample, out);
  if (FAILED(hr)) {
    if (out) out->Release();
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
  if (out) out->Release();
  m_bSampleSkipped = true;
  if (!m_bQualityChanged) {
    NotifyEvent(EC_QUALITY_CHANGE, 0, 0);
    m_bQualityChanged = true;
  }
  return S_OK;
}

HRESULT DecompressorFilter::Transform(IMediaSample* in, IMediaSample* out) {
  HRESULT hr = DecodeFrame(in);
  return hr == S_OK ? FillOutputSample(out) : hr;
}

HRESULT DecompressorFilter::DecodeFrame(IMediaSample* in) {
  BYTE* input = nullptr;
  HRESULT hr = in->GetPointer(&input);
  if (FAILED(hr)) return hr;
  // The frame is what the sample holds: its actual length, never more than its
  // buffer.
  long length = in->GetActualDataLength();
  long capacity = in->GetSize();
  if (length < 0) length = 0;
  if (capacity >= 0 && length > capacity) length = capacity;

  // After a flush the coefficients belong to another place in the clip: a
  // delta frame would build on them, so it is dropped until a key frame.
  if (m_waitForKeyFrame) {
    if (!IsKeyFrame(input, length)) return S_FALSE;
    m_waitForKeyFrame = false;
  }

  // The fault guard. The decoder keeps every read inside the frame and turns
  // malformed data into result 0 by itself; what can still arrive here is a
  // C++ exception (memory, say), which counts as a faulted frame. Processor
  // faults are not caught: structured exception handling has no clean form
  // in this compiler, and the decoder's bounds make it unneeded.
  int32_t bytes = 0;
  try {
    int32_t n = m_decoder.Decode(input, static_cast<uint32_t>(length), m_picture.data(),
                                 m_layout.pictureWidth);
    bytes = n != 0 ? n : in->GetActualDataLength();
  } catch (...) {
    bytes = 0;
  }
  RecordSampleSize(bytes);
  if (HWND window = m_notifyWindow) PostMessageW(window, WM_USER, 0, 0);
  return S_OK;
}

HRESULT DecompressorFilter::FillOutputSample(IMediaSample* out) {
  BYTE* output = nullptr;
  HRESULT hr = out->GetPointer(&output);
  if (FAILED(hr)) return hr;
  const bool withChroma = m_decoder.HasChroma();
  if (out->GetSize() < m_layout.Bytes(withChroma)) return S_FALSE;

  const zdc::Yvu9Picture picture = zdc::DecoderOutputPicture(
      m_picture.data(), m_layout.pictureWidth, m_layout.pictureHeight, withChroma);
  zdc::ConvertPicture(picture, m_layout.format->pixels, m_layout.SurfaceIn(output, withChroma));
  out->SetActualDataLength(static_cast<long>(m_layout.Bytes(withChroma)));
  // Every picture stands on its own downstream, key frame or not.
  out->SetSyncPoint(TRUE);
  return S_OK;
}

void DecompressorFilter::RecordSampleSize(int32_t bytes) {
  CAutoLock lock(&m_csStatistics);
  m_lastSampleSize = bytes;
  m_frameCount += 1;
  m_totalSampleSize = zdc::DoubleAdd(m_totalSampleSize, static_cast<double>(bytes));
  m_averageSampleSize = static_cast<int32_t>(
      zdc::DoubleAdd(zdc::DoubleDiv(m_totalSampleSize, m_frameCount), 0.5));
}
