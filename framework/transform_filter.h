// CTransformFilter: a filter with one input and one output pin that turns each
// input sample into one output sample.
//
// Two locks: the filter lock serialises state changes and connections; the
// receive lock serialises the streaming thread's Receive against the parts of
// state changes that touch streaming (StartStreaming, StopStreaming). The
// filter lock is never taken on the streaming thread.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "base_filter.h"
#include "media_type.h"

class CTransformInputPin;
class CTransformOutputPin;

class CTransformFilter : public CBaseFilter {
 public:
  CTransformFilter(const wchar_t* name, IUnknown* outer, REFCLSID clsid);
  // Deletes both pins.
  ~CTransformFilter() override;

  int GetPinCount() override { return 2; }
  // 0 the input pin, 1 the output pin.
  CBasePin* GetPin(int n) override;

  // Stop deactivates the pins, then calls StopStreaming under the receive lock.
  HRESULT STDMETHODCALLTYPE Stop() override;
  // From stopped with both pins connected, StartStreaming runs under the filter
  // lock and then the receive lock before the pins are activated; a failure
  // leaves the filter stopped. Clears the skipped and quality-changed flags.
  HRESULT STDMETHODCALLTYPE Pause() override;

  // The transform itself; the default Receive calls it for every sample.
  virtual HRESULT Transform(IMediaSample* in, IMediaSample* out);
  virtual HRESULT CheckInputType(const CMediaType* type) = 0;
  virtual HRESULT CheckTransform(const CMediaType* in, const CMediaType* out) = 0;
  virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
  virtual HRESULT GetMediaType(int position, CMediaType* type) = 0;
  virtual HRESULT StartStreaming() { return S_OK; }
  virtual HRESULT StopStreaming() { return S_OK; }
  // Quality messages from downstream; S_FALSE passes them upstream.
  virtual HRESULT AlterQuality(Quality /*quality*/) { return S_FALSE; }
  virtual HRESULT SetMediaType(PIN_DIRECTION /*direction*/, const CMediaType* /*type*/) {
    return S_OK;
  }
  virtual HRESULT CheckConnect(PIN_DIRECTION /*direction*/, IPin* /*pin*/) { return S_OK; }
  virtual HRESULT BreakConnect(PIN_DIRECTION /*direction*/) { return S_OK; }
  virtual HRESULT CompleteConnect(PIN_DIRECTION /*direction*/, IPin* /*receivePin*/) {
    return S_OK;
  }

  // Called by the input pin under the receive lock once the sample passed the
  // pin's checks: an output sample, Transform, Deliver.
  virtual HRESULT Receive(IMediaSample* sample);
  // Passed downstream by the output pin.
  virtual HRESULT EndOfStream();
  virtual HRESULT BeginFlush();
  virtual HRESULT EndFlush();
  virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

  // An empty output sample with the input sample's time stamps, media times
  // and flags (sync point, discontinuity, preroll).
  HRESULT InitializeOutputSample(IMediaSample* sample, IMediaSample** out);

 protected:
  friend class CTransformInputPin;
  friend class CTransformOutputPin;

  bool m_bEOSDelivered;
  bool m_bSampleSkipped;
  bool m_bQualityChanged;
  CCritSec m_csFilter;
  CCritSec m_csReceive;
  CTransformInputPin* m_pInput;
  CTransformOutputPin* m_pOutput;
};
