#include "base_pin.h"

#include <cstring>
#include <cwchar>
#include <new>

#include "enum_media_types.h"

namespace {

WCHAR* CopyName(const wchar_t* name) {
  size_t length = name ? std::wcslen(name) : 0;
  auto* copy = new (std::nothrow) WCHAR[length + 1];
  if (copy) {
    if (length) std::wmemcpy(copy, name, length);
    copy[length] = L'\0';
  }
  return copy;
}

bool IsFullySpecified(const CMediaType& type) {
  return !IsEqualGUID(type.majortype, GUID_NULL) && !IsEqualGUID(type.subtype, GUID_NULL) &&
         !IsEqualGUID(type.formattype, GUID_NULL);
}

}  // namespace

CBasePin::CBasePin(const wchar_t* objectName, CBaseFilter* filter, CCritSec* lock,
                   HRESULT* /*hr*/, const wchar_t* pinName, PIN_DIRECTION direction)
    : CUnknown(objectName, nullptr),
      m_pName(CopyName(pinName)),
      m_pFilter(filter),
      m_pLock(lock),
      m_dir(direction),
      m_Connected(nullptr),
      m_tStart(0),
      m_tStop(MAXLONGLONG),
      m_dRate(1.0) {}

CBasePin::~CBasePin() {
  if (m_Connected) m_Connected->Release();
  delete[] m_pName;
}

HRESULT STDMETHODCALLTYPE CBasePin::NonDelegatingQueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IPin)) return GetInterface(static_cast<IPin*>(this), out);
  return CUnknown::NonDelegatingQueryInterface(iid, out);
}

ULONG STDMETHODCALLTYPE CBasePin::NonDelegatingAddRef() {
  return static_cast<IBaseFilter*>(m_pFilter)->AddRef();
}

ULONG STDMETHODCALLTYPE CBasePin::NonDelegatingRelease() {
  return static_cast<IBaseFilter*>(m_pFilter)->Release();
}

HRESULT STDMETHODCALLTYPE CBasePin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
  if (!receivePin) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (m_Connected) return VFW_E_ALREADY_CONNECTED;
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  CMediaType pattern;
  if (type && FAILED(pattern.Set(*type))) return E_OUTOFMEMORY;
  return AgreeMediaType(receivePin, &pattern);
}

HRESULT CBasePin::AgreeMediaType(IPin* receivePin, const CMediaType* pattern) {
  if (IsFullySpecified(*pattern)) return AttemptConnection(receivePin, pattern);

  for (int pass = 0; pass < 2; ++pass) {
    IEnumMediaTypes* types = nullptr;
    HRESULT hr = pass == 0 ? receivePin->EnumMediaTypes(&types) : EnumMediaTypes(&types);
    if (FAILED(hr) || !types) continue;
    hr = TryMediaTypes(receivePin, pattern, types);
    types->Release();
    if (SUCCEEDED(hr)) return S_OK;
  }
  return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT CBasePin::TryMediaTypes(IPin* receivePin, const CMediaType* pattern,
                                IEnumMediaTypes* types) {
  types->Reset();
  for (;;) {
    AM_MEDIA_TYPE* next = nullptr;
    ULONG fetched = 0;
    if (types->Next(1, &next, &fetched) != S_OK || fetched != 1 || !next) break;
    CMediaType candidate;
    HRESULT copied = candidate.Set(*next);
    DeleteMediaType(next);
    if (FAILED(copied)) return copied;
    if (!candidate.MatchesPartial(*pattern)) continue;
    if (SUCCEEDED(AttemptConnection(receivePin, &candidate))) return S_OK;
  }
  return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT CBasePin::AttemptConnection(IPin* receivePin, const CMediaType* type) {
  HRESULT hr = CheckConnect(receivePin);
  if (FAILED(hr)) {
    BreakConnect();
    return hr;
  }
  hr = CheckMediaType(type);
  if (hr != S_OK) {
    BreakConnect();
    return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
  }
  m_Connected = receivePin;
  m_Connected->AddRef();
  hr = SetMediaType(type);
  if (SUCCEEDED(hr)) hr = receivePin->ReceiveConnection(static_cast<IPin*>(this), type);
  if (SUCCEEDED(hr)) {
    hr = CompleteConnect(receivePin);
    if (SUCCEEDED(hr)) return S_OK;
    receivePin->Disconnect();
  }
  m_Connected->Release();
  m_Connected = nullptr;
  BreakConnect();
  return hr;
}

HRESULT STDMETHODCALLTYPE CBasePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
  if (!connector || !type) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (m_Connected) return VFW_E_ALREADY_CONNECTED;
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  HRESULT hr = CheckConnect(connector);
  if (FAILED(hr)) {
    BreakConnect();
    return hr;
  }
  CMediaType proposed;
  if (FAILED(proposed.Set(*type))) return E_OUTOFMEMORY;
  hr = CheckMediaType(&proposed);
  if (hr != S_OK) {
    BreakConnect();
    return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
  }
  m_Connected = connector;
  m_Connected->AddRef();
  hr = SetMediaType(&proposed);
  if (SUCCEEDED(hr)) hr = CompleteConnect(connector);
  if (SUCCEEDED(hr)) return S_OK;
  m_Connected->Release();
  m_Connected = nullptr;
  BreakConnect();
  return hr;
}

HRESULT STDMETHODCALLTYPE CBasePin::Disconnect() {
  CAutoLock lock(m_pLock);
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  if (!m_Connected) return S_FALSE;
  HRESULT hr = BreakConnect();
  if (FAILED(hr)) return hr;
  m_Connected->Release();
  m_Connected = nullptr;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::ConnectedTo(IPin** pin) {
  if (!pin) return E_POINTER;
  CAutoLock lock(m_pLock);
  *pin = m_Connected;
  if (!m_Connected) return VFW_E_NOT_CONNECTED;
  m_Connected->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (!m_Connected) {
    *type = AM_MEDIA_TYPE();
    return VFW_E_NOT_CONNECTED;
  }
  return CopyMediaType(type, &m_mt);
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryPinInfo(PIN_INFO* info) {
  if (!info) return E_POINTER;
  info->pFilter = static_cast<IBaseFilter*>(m_pFilter);
  info->pFilter->AddRef();
  info->dir = m_dir;
  if (m_pName) {
    std::wcsncpy(info->achName, m_pName, MAX_PIN_NAME - 1);
    info->achName[MAX_PIN_NAME - 1] = L'\0';
  } else {
    info->achName[0] = L'\0';
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryDirection(PIN_DIRECTION* direction) {
  if (!direction) return E_POINTER;
  *direction = m_dir;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryId(LPWSTR* id) {
  if (!id) return E_POINTER;
  const wchar_t* own = Id();
  size_t bytes = (std::wcslen(own) + 1) * sizeof(WCHAR);
  *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (!*id) return E_OUTOFMEMORY;
  std::memcpy(*id, own, bytes);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  CMediaType proposed;
  if (FAILED(proposed.Set(*type))) return E_OUTOFMEMORY;
  HRESULT hr = CheckMediaType(&proposed);
  return hr == S_OK ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CBasePin::EnumMediaTypes(IEnumMediaTypes** types) {
  if (!types) return E_POINTER;
  *types = nullptr;
  auto* enumerator = new (std::nothrow) CEnumMediaTypes(this, 0);
  if (!enumerator) return E_OUTOFMEMORY;
  return GetInterface(static_cast<IEnumMediaTypes*>(enumerator), reinterpret_cast<void**>(types));
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryInternalConnections(IPin** /*pins*/, ULONG* /*count*/) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CBasePin::EndOfStream() { return S_OK; }

HRESULT STDMETHODCALLTYPE CBasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop,
                                               double rate) {
  m_tStart = start;
  m_tStop = stop;
  m_dRate = rate;
  return S_OK;
}

HRESULT CBasePin::SetMediaType(const CMediaType* type) { return m_mt.Set(*type); }

HRESULT CBasePin::CheckConnect(IPin* pin) {
  PIN_DIRECTION other;
  HRESULT hr = pin->QueryDirection(&other);
  if (FAILED(hr)) return hr;
  return other == m_dir ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT CBasePin::BreakConnect() { return S_OK; }

HRESULT CBasePin::CompleteConnect(IPin* /*receivePin*/) { return S_OK; }

HRESULT CBasePin::GetMediaType(int position, CMediaType* /*type*/) {
  return position < 0 ? E_INVALIDARG : VFW_S_NO_MORE_ITEMS;
}
