// CBasePin: IPin for one pin of a CBaseFilter, with media-type negotiation.
//
// A pin is not a separate COM object: its reference count is the filter's, so
// a pin lives exactly as long as its filter. Connection runs under the filter
// lock. The connecting (output) side agrees on a type: a fully specified type
// from the caller is tried as it stands; otherwise the receiving pin's
// preferred types and then this pin's own (GetMediaType) are tried in turn,
// each one that matches the caller's partial type.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "base_filter.h"
#include "media_type.h"

class CBasePin : public CUnknown, public IPin {
 public:
  // `objectName` is a debugging label; `pinName` is what QueryPinInfo reports.
  // `hr` is left alone here; derived pins report construction failures in it.
  CBasePin(const wchar_t* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* hr,
           const wchar_t* pinName, PIN_DIRECTION direction);
  ~CBasePin() override;

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** out) override;
  // The filter's count.
  ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
  ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

  // IPin
  HRESULT STDMETHODCALLTYPE Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE Disconnect() override;
  HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override;
  HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
  HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override;
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override;
  // S_OK when CheckMediaType accepts the type, else S_FALSE.
  HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** types) override;
  HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin** pins, ULONG* count) override;
  HRESULT STDMETHODCALLTYPE EndOfStream() override;
  HRESULT STDMETHODCALLTYPE BeginFlush() override = 0;
  HRESULT STDMETHODCALLTYPE EndFlush() override = 0;
  // Records the segment; pins that pass segments on override it.
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop,
                                       double rate) override;

  // The identifier for QueryId and FindPin; the pin name unless overridden.
  virtual const wchar_t* Id() const { return m_pName; }

  // Negotiation hooks.
  virtual HRESULT CheckMediaType(const CMediaType* type) = 0;
  virtual HRESULT SetMediaType(const CMediaType* type);
  // Checks the other pin before a type is tried: it must face the other way.
  virtual HRESULT CheckConnect(IPin* pin);
  virtual HRESULT BreakConnect();
  virtual HRESULT CompleteConnect(IPin* receivePin);
  // This pin's preferred type number `position`: S_OK, VFW_S_NO_MORE_ITEMS past
  // the end, E_INVALIDARG for a negative position.
  virtual HRESULT GetMediaType(int position, CMediaType* type);

  // State changes, called by the filter for connected pins.
  virtual HRESULT Active() { return S_OK; }
  virtual HRESULT Inactive() { return S_OK; }
  virtual HRESULT Run(REFERENCE_TIME /*start*/) { return S_OK; }

  bool IsConnected() const { return m_Connected != nullptr; }
  IPin* GetConnected() const { return m_Connected; }
  const CMediaType& CurrentMediaType() const { return m_mt; }
  PIN_DIRECTION Direction() const { return m_dir; }
  bool IsStopped() const { return m_pFilter->IsStopped(); }
  CBaseFilter* Filter() const { return m_pFilter; }

 protected:
  HRESULT AgreeMediaType(IPin* receivePin, const CMediaType* pattern);
  HRESULT TryMediaTypes(IPin* receivePin, const CMediaType* pattern, IEnumMediaTypes* types);
  HRESULT AttemptConnection(IPin* receivePin, const CMediaType* type);

  WCHAR* m_pName;
  CBaseFilter* m_pFilter;
  CCritSec* m_pLock;
  PIN_DIRECTION m_dir;
  IPin* m_Connected;
  CMediaType m_mt;
  REFERENCE_TIME m_tStart;
  REFERENCE_TIME m_tStop;
  double m_dRate;
};
