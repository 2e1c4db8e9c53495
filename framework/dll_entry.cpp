// The module's entry points that every COM server of this framework shares:
// the DLL entry routine, DllGetClassObject and DllCanUnloadNow.
#include <new>

#include "class_factory.h"

namespace {

HINSTANCE g_instance = nullptr;
DWORD g_platformId = VER_PLATFORM_WIN32_WINDOWS;

}  // namespace

HINSTANCE ModuleInstance() { return g_instance; }

DWORD ModulePlatformId() { return g_platformId; }

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  switch (reason) {
    case DLL_PROCESS_ATTACH: {
      DisableThreadLibraryCalls(instance);
      OSVERSIONINFOW version = {};
      version.dwOSVersionInfoSize = sizeof(version);
      g_platformId = GetVersionExW(&version) ? version.dwPlatformId : VER_PLATFORM_WIN32_WINDOWS;
      g_instance = instance;
      for (int i = 0; i < g_cTemplates; ++i)
        if (g_Templates[i].m_lpfnInit) g_Templates[i].m_lpfnInit(TRUE, g_Templates[i].m_ClsID);
      break;
    }
    case DLL_PROCESS_DETACH:
      for (int i = 0; i < g_cTemplates; ++i)
        if (g_Templates[i].m_lpfnInit) g_Templates[i].m_lpfnInit(FALSE, g_Templates[i].m_ClsID);
      break;
    default:
      break;
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory))
    return E_NOINTERFACE;
  for (int i = 0; i < g_cTemplates; ++i) {
    if (!g_Templates[i].IsClassID(clsid)) continue;
    auto* factory = new (std::nothrow) CClassFactory(&g_Templates[i]);
    if (!factory) {
      *out = nullptr;
      return E_OUTOFMEMORY;
    }
    factory->AddRef();
    *out = static_cast<IClassFactory*>(factory);
    return S_OK;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
  return ServerLockCount() > 0 || ActiveObjectCount() != 0 ? S_FALSE : S_OK;
}
