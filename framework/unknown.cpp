#include "unknown.h"

namespace {

volatile LONG g_activeObjects = 0;
// Changed only by LockServer, which COM calls on one thread at a time.
LONG g_serverLocks = 0;

}  // namespace

LONG ActiveObjectCount() { return g_activeObjects; }

void AddActiveObject() { InterlockedIncrement(&g_activeObjects); }

void RemoveActiveObject() { InterlockedDecrement(&g_activeObjects); }

void IncrementServerLocks(bool lock) { g_serverLocks += lock ? 1 : -1; }

LONG ServerLockCount() { return g_serverLocks; }

HRESULT GetInterface(IUnknown* unknown, void** out) {
  if (!out) return E_POINTER;
  *out = unknown;
  unknown->AddRef();
  return S_OK;
}

CUnknown::CUnknown(const wchar_t* /*name*/, IUnknown* outer)
    : m_cRef(0), m_owner(outer ? outer : NonDelegatingUnknown()) {
  AddActiveObject();
}

CUnknown::~CUnknown() { RemoveActiveObject(); }

HRESULT STDMETHODCALLTYPE CUnknown::NonDelegatingQueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown)) return GetInterface(NonDelegatingUnknown(), out);
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CUnknown::NonDelegatingAddRef() { return InterlockedIncrement(&m_cRef); }

ULONG STDMETHODCALLTYPE CUnknown::NonDelegatingRelease() {
  LONG count = InterlockedDecrement(&m_cRef);
  if (count == 0) {
    // Guard against a release from inside the destructor re-entering here.
    m_cRef = 1;
    delete this;
    return 0;
  }
  return static_cast<ULONG>(count);
}
