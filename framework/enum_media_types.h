// IEnumMediaTypes over a pin's preferred types (CBasePin::GetMediaType), which
// are asked afresh at every step, so the list follows the pin's connections.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "unknown.h"

class CBasePin;

class CEnumMediaTypes : public CUnknown, public IEnumMediaTypes {
 public:
  CEnumMediaTypes(CBasePin* pin, int position);
  ~CEnumMediaTypes() override;

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** out) override;

  // Each type handed out is a CoTaskMemAlloc'd copy for the caller to delete.
  HRESULT STDMETHODCALLTYPE Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes** clone) override;

 private:
  CBasePin* m_pPin;
  int m_position;
};
