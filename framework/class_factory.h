// Module support: the table of classes a module serves (CFactoryTemplate),
// the class factory handed out by DllGetClassObject, and the module handle.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "unknown.h"

// Registration data of a filter, in the layout of the platform's REGFILTERPINS
// and REGPINTYPES so that a REGFILTER2 of version 1 can point at the pins.
typedef REGPINTYPES AMOVIESETUP_MEDIATYPE;
typedef REGFILTERPINS AMOVIESETUP_PIN;
struct AMOVIESETUP_FILTER {
  const CLSID* clsID;
  const WCHAR* strName;
  DWORD dwMerit;
  UINT nPins;
  const AMOVIESETUP_PIN* lpPin;
};

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
