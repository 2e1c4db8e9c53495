// Module support: the table of classes a module serves (CFactoryTemplate),
// the class factory handed out by DllGetClassObject, the module handle and the
// registration routine behind DllRegisterServer and DllUnregisterServer.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "filter_registration.h"
#include "unknown.h"

typedef CUnknown*(WINAPI* LPFNNewCOMObject)(IUnknown* outer, HRESULT* hr);
typedef void(WINAPI* LPFNInitRoutine)(BOOL loading, const CLSID* clsid);

struct CFactoryTemplate {
  const WCHAR* m_Name;
  const CLSID* m_ClsID;
  LPFNNewCOMObject m_lpfnNew;
  LPFNInitRoutine m_lpfnInit;
  const AMOVIESETUP_FILTER* m_pAMovieSetup_Filter;

  bool IsClassID(REFCLSID clsid) const { return IsEqualCLSID(*m_ClsID, clsid) != FALSE; }
};

// Supplied by the module: its classes, in table order.
extern const CFactoryTemplate g_Templates[];
extern const int g_cTemplates;

// The module's instance handle and the platform identifier of GetVersionExW,
// recorded when the module is loaded.
HINSTANCE ModuleInstance();
DWORD ModulePlatformId();

// Registers (`doRegister` true) or unregisters every class of g_Templates:
// the COM class keys under HKEY_CLASSES_ROOT\CLSID and, for templates with
// filter setup data, the filter mapper's entry. Registration writes the class
// keys first; unregistration removes the mapper entries first and the class
// keys only when that succeeded.
HRESULT AMovieDllRegisterServer2(BOOL doRegister);

// One class factory per DllGetClassObject call, bound to one template. Its
// reference count is a plain count: COM hands a factory to one thread at a
// time.
class CClassFactory : public IClassFactory {
 public:
  explicit CClassFactory(const CFactoryTemplate* factoryTemplate);
  virtual ~CClassFactory();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  const CFactoryTemplate* m_pTemplate;
  ULONG m_cRef;
};
