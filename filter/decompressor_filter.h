// DecompressorFilter: the "Zelvo® Frame Decompressor" transform filter. One
// compressed frame per input sample (QZV2, QZV3 or QZV4) becomes one decoded
// planar picture per output sample (YVU9, VbT8 or VbT9), written straight into
// the output buffer by the embedded FrameDecoder.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <ocidl.h>

#include "frame_decoder.h"
#include "transform_filter.h"
#include "zdc_guids.h"

class DecompressorFilter : public CTransformFilter,
                           public ISpecifyPropertyPages,
                           public IDecompressorSettings {
 public:
  // The class factory's creation function: the new filter, or null when it
  // cannot be allocated (then `hr` is left alone). A filter whose pins could
  // not be made is returned with E_OUTOFMEMORY in `hr`.
  static CUnknown* WINAPI CreateInstance(IUnknown* outer, HRESULT* hr);

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** out) override;
  ~DecompressorFilter() override;

  CBasePin* GetPin(int n) override;
  HRESULT Transform(IMediaSample* in, IMediaSample* out) override;
  HRESULT CheckInputType(const CMediaType* type) override;
  HRESULT CheckTransform(const CMediaType* in, const CMediaType* out) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT StartStreaming() override;
  HRESULT CompleteConnect(PIN_DIRECTION direction, IPin* receivePin) override;
  HRESULT Receive(IMediaSample* sample) override;

  // The CheckMediaType of both pins, told apart by `direction`.
  HRESULT CheckPinMediaType(PIN_DIRECTION direction, const CMediaType* type);

  // ISpecifyPropertyPages
  HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;

  // IDecompressorSettings
  HRESULT STDMETHODCALLTYPE SetNotifyWindow(HWND window) override;
  HRESULT STDMETHODCALLTYPE ClearNotifyWindow() override;
  HRESULT STDMETHODCALLTYPE GetStatistics(DecompressorStatistics* record) override;
  HRESULT STDMETHODCALLTYPE ResetStatistics() override;
  HRESULT STDMETHODCALLTYPE SetQuality(double quality) override;
  HRESULT STDMETHODCALLTYPE GetQuality(double* quality) override;
  HRESULT STDMETHODCALLTYPE SetDisplayMask(BOOL on) override;
  HRESULT STDMETHODCALLTYPE GetDisplayMask(BOOL* on) override;
  HRESULT STDMETHODCALLTYPE SetDenoise(BOOL on) override;
  HRESULT STDMETHODCALLTYPE GetDenoise(BOOL* on) override;

 private:
  DecompressorFilter(IUnknown* outer, HRESULT* hr);

  // Output type number `index` for the input type `in`: S_OK,
  // VFW_S_NO_MORE_ITEMS past the last one, E_OUTOFMEMORY.
  HRESULT BuildOutputType(int index, const CMediaType& in, CMediaType* out);

  int32_t m_outputWidth;
  int32_t m_outputHeight;
  int32_t m_outputStride;
  zdc::FrameDecoder m_decoder;
  uint32_t m_frameCount;
  int32_t m_lastSampleSize;
  int32_t m_averageSampleSize;
  double m_totalSampleSize;
  HWND volatile m_notifyWindow;
};
