// DecompressorFilter: the "Zelvo® Frame Decompressor" transform filter. One
// compressed frame per input sample (QZV2, QZV3 or QZV4) becomes one decoded
// picture per output sample. The embedded FrameDecoder decodes every frame
// into a picture the filter owns, which persists across frames (delta frames
// change only their coded blocks); each output sample is then filled from it
// by a copy in the decoder's own layout (YVU9, VbT8, VbT9) or a conversion
// (NV12, YV12, IYUV, YUY2, RGB32, RGB24). Downstream may therefore hold
// samples, hand out any number of buffers and change their pitch.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <ocidl.h>

#include <atomic>
#include <vector>

#include "critical_section.h"
#include "frame_decoder.h"
#include "output_formats.h"
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
  // After a flush (a seek) delta frames wait for the next key frame.
  HRESULT EndFlush() override;

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
  HRESULT BuildConvertedType(const OutputFormat& format, bool withInfo2, const CMediaType& in,
                             CMediaType* out);
  // A type downstream attached to an output sample: from this sample on, the
  // samples are filled in that format and pitch. The picture and the delta
  // chain stay as they are.
  HRESULT ApplyOutputSampleType(const AM_MEDIA_TYPE& requested);
  // Decodes the sample's frame into the picture: S_OK, or S_FALSE for a delta
  // frame dropped while waiting for a key frame.
  HRESULT DecodeFrame(IMediaSample* in);
  // Fills an output sample from the picture: S_OK, or S_FALSE when the
  // sample's buffer cannot hold the surface (it is then not delivered).
  HRESULT FillOutputSample(IMediaSample* out);
  void RecordSampleSize(int32_t bytes);

  OutputLayout m_layout;
  zdc::FrameDecoder m_decoder;
  std::vector<uint8_t> m_picture;  // the decoder's output, width x height at pitch width
  std::atomic<bool> m_waitForKeyFrame;
  CCritSec m_csStatistics;  // the statistics below, shared with the page's thread
  uint32_t m_frameCount;
  int32_t m_lastSampleSize;
  int32_t m_averageSampleSize;
  double m_totalSampleSize;
  HWND volatile m_notifyWindow;
};
