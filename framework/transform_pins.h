// The two pins of a CTransformFilter. They hand every decision about types,
// buffers and samples to the filter.
#pragma once

#include "base_input_pin.h"
#include "base_output_pin.h"

class CTransformFilter;

class CTransformInputPin : public CBaseInputPin {
 public:
  CTransformInputPin(const wchar_t* objectName, CTransformFilter* filter, HRESULT* hr,
                     const wchar_t* pinName);

  const wchar_t* Id() const override { return L"In"; }

  // The filter's CheckInputType.
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT CheckConnect(IPin* pin) override;
  HRESULT BreakConnect() override;
  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT SetMediaType(const CMediaType* type) override;
  // Also refuses samples while the output pin is not connected.
  HRESULT CheckStreaming() override;

  // Under the receive lock: the base checks, then the filter's Receive.
  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
  HRESULT STDMETHODCALLTYPE EndOfStream() override;
  HRESULT STDMETHODCALLTYPE BeginFlush() override;
  HRESULT STDMETHODCALLTYPE EndFlush() override;
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop,
                                       double rate) override;

 protected:
  CTransformFilter* m_pTransformFilter;
};

class CTransformOutputPin : public CBaseOutputPin {
 public:
  CTransformOutputPin(const wchar_t* objectName, CTransformFilter* filter, HRESULT* hr,
                      const wchar_t* pinName);

  const wchar_t* Id() const override { return L"Out"; }

  // The filter's CheckTransform against the input pin's type; E_UNEXPECTED
  // while the input is not connected.
  HRESULT CheckMediaType(const CMediaType* type) override;
  // The filter's GetMediaType.
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT CheckConnect(IPin* pin) override;
  HRESULT BreakConnect() override;
  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT SetMediaType(const CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

 protected:
  CTransformFilter* m_pTransformFilter;
};
