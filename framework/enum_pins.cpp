#include "enum_pins.h"

#include <new>

#include "base_filter.h"
#include "base_pin.h"

CEnumPins::CEnumPins(CBaseFilter* filter, int position)
    : CUnknown(L"pin enumerator", nullptr), m_pFilter(filter), m_position(position) {
  static_cast<IBaseFilter*>(m_pFilter)->AddRef();
}

CEnumPins::~CEnumPins() { static_cast<IBaseFilter*>(m_pFilter)->Release(); }

HRESULT STDMETHODCALLTYPE CEnumPins::NonDelegatingQueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IEnumPins)) return GetInterface(static_cast<IEnumPins*>(this), out);
  return CUnknown::NonDelegatingQueryInterface(iid, out);
}

HRESULT STDMETHODCALLTYPE CEnumPins::Next(ULONG count, IPin** pins, ULONG* fetched) {
  if (!pins) return E_POINTER;
  if (count > 1 && !fetched) return E_INVALIDARG;
  ULONG done = 0;
  while (done < count && m_position < m_pFilter->GetPinCount()) {
    CBasePin* pin = m_pFilter->GetPin(m_position++);
    if (!pin) continue;
    pins[done] = static_cast<IPin*>(pin);
    pins[done]->AddRef();
    ++done;
  }
  if (fetched) *fetched = done;
  return done == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CEnumPins::Skip(ULONG count) {
  int remaining = m_pFilter->GetPinCount() - m_position;
  if (count > static_cast<ULONG>(remaining)) {
    m_position = m_pFilter->GetPinCount();
    return S_FALSE;
  }
  m_position += static_cast<int>(count);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumPins::Reset() {
  m_position = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumPins::Clone(IEnumPins** clone) {
  if (!clone) return E_POINTER;
  *clone = nullptr;
  auto* copy = new (std::nothrow) CEnumPins(m_pFilter, m_position);
  if (!copy) return E_OUTOFMEMORY;
  return GetInterface(static_cast<IEnumPins*>(copy), reinterpret_cast<void**>(clone));
}
