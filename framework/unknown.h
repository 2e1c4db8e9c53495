// Reference counting and aggregation for every COM object of the module.
//
// An object derives from CUnknown, which implements the non-delegating
// IUnknown: the object's own reference count and interface lookup. The
// IUnknown methods on the object's interfaces (DECLARE_IUNKNOWN) forward to the
// owner: the outer object when the object is aggregated, else the object's own
// non-delegating IUnknown. Every CUnknown also counts towards the module's
// object count, which DllCanUnloadNow consults.
#pragma once

#include <windows.h>
#include <unknwn.h>

struct INonDelegatingUnknown {
  virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** out) = 0;
  virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease() = 0;
};

class CUnknown : public INonDelegatingUnknown {
 public:
  // `name` is a debugging label only and may be null; `outer` is the
  // controlling IUnknown of an aggregate, or null.
  CUnknown(const wchar_t* name, IUnknown* outer);
  virtual ~CUnknown();
  CUnknown(const CUnknown&) = delete;
  CUnknown& operator=(const CUnknown&) = delete;

  // Answers IUnknown (the non-delegating one); everything else E_NOINTERFACE.
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
  // Deletes the object when the count reaches zero.
  ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

  IUnknown* GetOwner() const { return m_owner; }
  // The non-delegating IUnknown in the shape of an IUnknown (same slot order),
  // as handed out for IID_IUnknown and to the creator of an aggregate.
  IUnknown* NonDelegatingUnknown() {
    return reinterpret_cast<IUnknown*>(static_cast<INonDelegatingUnknown*>(this));
  }

 protected:
  volatile LONG m_cRef;

 private:
  IUnknown* m_owner;
};

// Module-wide counters: live framework objects (interlocked) and server locks
// taken through IClassFactory::LockServer.
LONG ActiveObjectCount();
// For module objects that are not CUnknowns (class factories).
void AddActiveObject();
void RemoveActiveObject();
void IncrementServerLocks(bool lock);
LONG ServerLockCount();

// Stores `unknown` in `*out` with one reference added; S_OK.
HRESULT GetInterface(IUnknown* unknown, void** out);

// The three IUnknown methods of an object's interfaces, all sent to the owner.
#define DECLARE_IUNKNOWN                                                           \
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {      \
    return GetOwner()->QueryInterface(iid, out);                                   \
  }                                                                                \
  ULONG STDMETHODCALLTYPE AddRef() override { return GetOwner()->AddRef(); }       \
  ULONG STDMETHODCALLTYPE Release() override { return GetOwner()->Release(); }
