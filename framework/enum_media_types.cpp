#include "enum_media_types.h"

#include <new>

#include "base_pin.h"
#include "media_type.h"

CEnumMediaTypes::CEnumMediaTypes(CBasePin* pin, int position)
    : CUnknown(L"media type enumerator", nullptr), m_pPin(pin), m_position(position) {
  static_cast<IPin*>(m_pPin)->AddRef();
}

CEnumMediaTypes::~CEnumMediaTypes() { static_cast<IPin*>(m_pPin)->Release(); }

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::NonDelegatingQueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IEnumMediaTypes))
    return GetInterface(static_cast<IEnumMediaTypes*>(this), out);
  return CUnknown::NonDelegatingQueryInterface(iid, out);
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Next(ULONG count, AM_MEDIA_TYPE** types,
                                                ULONG* fetched) {
  if (!types) return E_POINTER;
  if (count > 1 && !fetched) return E_INVALIDARG;
  ULONG done = 0;
  while (done < count) {
    CMediaType type;
    if (m_pPin->GetMediaType(m_position, &type) != S_OK) break;
    AM_MEDIA_TYPE* copy = CreateMediaType(&type);
    if (!copy) {
      while (done > 0) DeleteMediaType(types[--done]);
      if (fetched) *fetched = 0;
      return E_OUTOFMEMORY;
    }
    types[done++] = copy;
    ++m_position;
  }
  if (fetched) *fetched = done;
  return done == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Skip(ULONG count) {
  while (count > 0) {
    CMediaType type;
    if (m_pPin->GetMediaType(m_position, &type) != S_OK) return S_FALSE;
    ++m_position;
    --count;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Reset() {
  m_position = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Clone(IEnumMediaTypes** clone) {
  if (!clone) return E_POINTER;
  *clone = nullptr;
  auto* copy = new (std::nothrow) CEnumMediaTypes(m_pPin, m_position);
  if (!copy) return E_OUTOFMEMORY;
  return GetInterface(static_cast<IEnumMediaTypes*>(copy), reinterpret_cast<void**>(clone));
}
