// CBaseInputPin: an input pin that receives samples through IMemInputPin.
//
// It offers the platform's memory allocator (CLSID_MemoryAllocator) to an
// upstream pin that has none, accepts the allocator the upstream pin decides
// on, and checks each sample against the streaming state before the derived
// pin processes it. A sample that announces a new media type is checked with
// CheckMediaType; the type becomes the pin's type when it is accepted.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "base_pin.h"

class CBaseInputPin : public CBasePin, public IMemInputPin {
 public:
  CBaseInputPin(const wchar_t* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* hr,
                const wchar_t* pinName);
  ~CBaseInputPin() override;

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** out) override;

  // IMemInputPin
  HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** allocator) override;
  HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;
  // Checks the streaming state and records the sample's properties (see
  // SampleProps); S_OK when the derived pin should process the sample.
  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
  HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample** samples, long count,
                                            long* processed) override;
  HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override;

  // IPin: flushing refuses samples until EndFlush.
  HRESULT STDMETHODCALLTYPE BeginFlush() override;
  HRESULT STDMETHODCALLTYPE EndFlush() override;

  HRESULT BreakConnect() override;
  // Leaving the running states decommits the allocator, so that an upstream
  // thread waiting for a buffer is released.
  HRESULT Inactive() override;

  // S_OK when a sample may be processed now: VFW_E_WRONG_STATE while stopped,
  // S_FALSE while flushing, VFW_E_RUNTIME_ERROR after a run-time error.
  virtual HRESULT CheckStreaming();

  // The properties of the sample being received. pMediaType is always null
  // here (a type change is handled by Receive itself).
  const AM_SAMPLE2_PROPERTIES* SampleProps() const { return &m_SampleProps; }
  bool IsFlushing() const { return m_bFlushing; }
  bool IsReadOnly() const { return m_bReadOnly; }
  void SetRunTimeError() { m_bRunTimeError = true; }

 protected:
  IMemAllocator* m_pAllocator;
  bool m_bReadOnly;
  volatile bool m_bFlushing;
  bool m_bRunTimeError;
  AM_SAMPLE2_PROPERTIES m_SampleProps;
};
