// CBaseFilter: IBaseFilter (with IMediaFilter and IPersist) and IAMovieSetup
// for a filter with a fixed set of pins supplied by the derived class.
//
// The filter keeps its state, reference clock, graph and event sink under the
// filter lock that the derived class hands in. It does not add a reference to
// the graph or to the event sink: the graph holds the filter, not the other way
// round, and tells the filter when it leaves (JoinFilterGraph with null).
#pragma once

#include <windows.h>
#include <strmif.h>
#include <vfwmsgs.h>

#include "critical_section.h"
#include "unknown.h"

class CBasePin;

class CBaseFilter : public CUnknown, public IBaseFilter, public IAMovieSetup {
 public:
  CBaseFilter(const wchar_t* name, IUnknown* outer, CCritSec* lock, REFCLSID clsid);
  ~CBaseFilter() override;

  DECLARE_IUNKNOWN
  // IBaseFilter, IMediaFilter, IPersist, IAMovieSetup; else CUnknown's answer.
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** out) override;

  virtual int GetPinCount() = 0;
  // The pin at `n` (no reference added), or null.
  virtual CBasePin* GetPin(int n) = 0;

  // IPersist
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
  // IMediaFilter. Stop deactivates every connected pin, Pause activates them
  // when leaving the stopped state, Run pauses first when stopped and then
  // tells every connected pin the start time.
  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
  HRESULT STDMETHODCALLTYPE GetState(DWORD timeout, FILTER_STATE* state) override;
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override;
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override;
  // IBaseFilter
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override;
  // Looks the pins up by their identifiers (IPin::QueryId).
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** pin) override;
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override;
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* info) override;
  // IAMovieSetup: the module registers its filters itself, so the filter
  // object has no registration of its own to do.
  HRESULT STDMETHODCALLTYPE Register() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE Unregister() override { return S_FALSE; }

  bool IsStopped() const { return m_State == State_Stopped; }
  bool IsActive() const { return m_State != State_Stopped; }
  FILTER_STATE State() const { return m_State; }
  IFilterGraph* Graph() const { return m_pGraph; }
  REFERENCE_TIME StartTime() const { return m_tStart; }

  // Sends an event to the graph's event sink; E_NOTIMPL outside a graph.
  HRESULT NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2);
  // Asks the graph to reconnect `pin` with `type` (which may be null):
  // IFilterGraph2::ReconnectEx when the graph offers it, else
  // IFilterGraph::Reconnect. VFW_E_NOT_IN_GRAPH outside a graph.
  HRESULT ReconnectPin(IPin* pin, const AM_MEDIA_TYPE* type);

 protected:
  CCritSec* m_pLock;
  FILTER_STATE m_State;
  IReferenceClock* m_pClock;
  REFERENCE_TIME m_tStart;
  CLSID m_clsid;
  IFilterGraph* m_pGraph;
  IMediaEventSink* m_pSink;
  WCHAR m_name[MAX_FILTER_NAME];
};
