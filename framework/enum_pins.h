// IEnumPins over the pins of a CBaseFilter, which it keeps alive.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "unknown.h"

class CBaseFilter;

class CEnumPins : public CUnknown, public IEnumPins {
 public:
  CEnumPins(CBaseFilter* filter, int position);
  ~CEnumPins() override;

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** out) override;

  HRESULT STDMETHODCALLTYPE Next(ULONG count, IPin** pins, ULONG* fetched) override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(IEnumPins** clone) override;

 private:
  CBaseFilter* m_pFilter;
  int m_position;
};
