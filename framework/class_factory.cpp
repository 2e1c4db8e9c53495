#include "class_factory.h"

CClassFactory::CClassFactory(const CFactoryTemplate* factoryTemplate)
    : m_pTemplate(factoryTemplate), m_cRef(0) {
  AddActiveObject();
}

CClassFactory::~CClassFactory() { RemoveActiveObject(); }

HRESULT STDMETHODCALLTYPE CClassFactory::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
    *out = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CClassFactory::AddRef() { return ++m_cRef; }

ULONG STDMETHODCALLTYPE CClassFactory::Release() {
  ULONG count = --m_cRef;
  if (count == 0) delete this;
  return count;
}

HRESULT STDMETHODCALLTYPE CClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  // An aggregate is only ever reached through its inner IUnknown.
  if (outer && !IsEqualIID(iid, IID_IUnknown)) return E_NOINTERFACE;
  HRESULT hr = S_OK;
  CUnknown* object = m_pTemplate->m_lpfnNew(outer, &hr);
  if (!object) return FAILED(hr) ? hr : E_OUTOFMEMORY;
  if (FAILED(hr)) {
    delete object;
    return hr;
  }
  // The query adds the caller's reference; a failed query destroys the object.
  object->NonDelegatingAddRef();
  hr = object->NonDelegatingQueryInterface(iid, out);
  object->NonDelegatingRelease();
  return hr;
}

HRESULT STDMETHODCALLTYPE CClassFactory::LockServer(BOOL lock) {
  IncrementServerLocks(lock != FALSE);
  return S_OK;
}
