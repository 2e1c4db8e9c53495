// The registration routine shared by DllRegisterServer and
// DllUnregisterServer: the COM class keys of every template and the filter
// mapper's entries of the templates that describe a filter.
#include <windows.h>
#include <strmif.h>
#include <uuids.h>

#include "class_factory.h"

namespace {

// Enters or removes the filters of the table with whichever mapper exists.
template <class Mapper>
HRESULT RegisterFilters(Mapper* mapper, bool doRegister) {
  HRESULT hr = S_OK;
  for (int i = 0; i < g_cTemplates && SUCCEEDED(hr); ++i) {
    if (g_Templates[i].m_pAMovieSetup_Filter)
      hr = RegisterFilterSetup(mapper, g_Templates[i].m_pAMovieSetup_Filter, doRegister);
  }
  return hr;
}

}  // namespace

HRESULT AMovieDllRegisterServer2(BOOL doRegister) {
  // The module path as the host's loader knows it, in the ANSI code page
  // like every path that GetModuleFileNameA returns.
  char narrowPath[MAX_PATH];
  if (GetModuleFileNameA(ModuleInstance(), narrowPath, MAX_PATH) == 0)
    return static_cast<HRESULT>(0x80070000u | GetLastError());
  WCHAR modulePath[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, narrowPath, -1, modulePath, MAX_PATH);

  if (doRegister) {
    for (int i = 0; i < g_cTemplates; ++i) {
      HRESULT hr = RegisterClassKeys(*g_Templates[i].m_ClsID, g_Templates[i].m_Name, modulePath);
      if (FAILED(hr)) return hr;
    }
  }

  CoInitialize(nullptr);
  IFilterMapper2* mapper2 = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFilterMapper2, reinterpret_cast<void**>(&mapper2));
  if (SUCCEEDED(hr)) {
    hr = RegisterFilters(mapper2, doRegister != FALSE);
    mapper2->Release();
  } else {
    IFilterMapper* mapper = nullptr;
    hr = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                          reinterpret_cast<void**>(&mapper));
    if (SUCCEEDED(hr)) {
      hr = RegisterFilters(mapper, doRegister != FALSE);
      mapper->Release();
    }
  }
  CoFreeUnusedLibraries();
  CoUninitialize();

  if (!doRegister && SUCCEEDED(hr)) {
    for (int i = 0; i < g_cTemplates; ++i) {
      hr = RemoveClassKeys(*g_Templates[i].m_ClsID);
      if (FAILED(hr)) break;
    }
  }
  return hr;
}
