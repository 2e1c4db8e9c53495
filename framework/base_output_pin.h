// CBaseOutputPin: an output pin that delivers samples to a downstream
// IMemInputPin.
//
// Allocator negotiation on connection: the downstream pin states its
// requirements, then its own allocator is tried and, failing that, the
// platform's memory allocator (CLSID_MemoryAllocator); DecideBufferSize sets
// the properties of each candidate and the downstream pin is told the one
// chosen. The allocator is committed while the filter is active.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "base_pin.h"

class CBaseOutputPin : public CBasePin {
 public:
  CBaseOutputPin(const wchar_t* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* hr,
                 const wchar_t* pinName);
  ~CBaseOutputPin() override;

  // Sets the buffer count and size on `allocator`, starting from `request`.
  virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
  virtual HRESULT DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator);

  // The downstream pin must have IMemInputPin (VFW_E_NO_TRANSPORT otherwise).
  HRESULT CheckConnect(IPin* pin) override;
  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT BreakConnect() override;
  HRESULT Active() override;
  HRESULT Inactive() override;

  // IPin methods that an output pin never receives.
  HRESULT STDMETHODCALLTYPE EndOfStream() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE BeginFlush() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE EndFlush() override { return E_UNEXPECTED; }

  // An empty sample from the negotiated allocator.
  virtual HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start,
                                    REFERENCE_TIME* stop, DWORD flags);
  // Passing things downstream; VFW_E_NOT_CONNECTED when there is no one.
  virtual HRESULT Deliver(IMediaSample* sample);
  virtual HRESULT DeliverEndOfStream();
  virtual HRESULT DeliverBeginFlush();
  virtual HRESULT DeliverEndFlush();
  virtual HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

  IMemAllocator* Allocator() const { return m_pAllocator; }

 protected:
  IMemAllocator* m_pAllocator;
  IMemInputPin* m_pInputPin;
};
