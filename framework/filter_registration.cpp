#include "filter_registration.h"

namespace {

// What an unregistration of a filter the mapper never had reports.
constexpr HRESULT kNotRegistered = static_cast<HRESULT>(0x80070002);

HRESULT FromRegistryError(LONG error) {
  return static_cast<HRESULT>(0x80070000u | static_cast<DWORD>(error));
}

// "CLSID\{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" into `path` (at least 45
// characters).
void ClassKeyPath(REFCLSID clsid, WCHAR* path) {
  WCHAR guid[39];
  StringFromGUID2(clsid, guid, 39);
  wsprintfW(path, L"CLSID\\%ls", guid);
}

// Deletes `name` below `parent` and everything under it; true when the key is
// gone afterwards (or was never there).
bool DeleteKeyTree(HKEY parent, const WCHAR* name) {
  // An empty name would open, and then delete, the parent itself.
  if (!name || !*name) return false;
  HKEY key;
  if (RegOpenKeyExW(parent, name, 0, MAXIMUM_ALLOWED, &key) != ERROR_SUCCESS) return true;
  for (;;) {
    WCHAR subkey[261];
    DWORD length = 261;
    if (RegEnumKeyExW(key, 0, subkey, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    // A subkey that refuses to go would come back at index 0 for ever.
    if (!DeleteKeyTree(key, subkey)) break;
  }
  RegCloseKey(key);
  return RegDeleteKeyW(parent, name) == ERROR_SUCCESS;
}

}  // namespace

HRESULT RegisterClassKeys(REFCLSID clsid, const WCHAR* name, const WCHAR* modulePath) {
  WCHAR path[64];
  ClassKeyPath(clsid, path);
  HKEY classKey = nullptr;
  LONG error = RegCreateKeyW(HKEY_CLASSES_ROOT, path, &classKey);
  if (error != ERROR_SUCCESS) return FromRegistryError(error);
  error = RegSetValueW(classKey, nullptr, REG_SZ, name,
                       static_cast<DWORD>((lstrlenW(name) + 1) * sizeof(WCHAR)));
  if (error != ERROR_SUCCESS) {
    RegCloseKey(classKey);
    return FromRegistryError(error);
  }
  HKEY serverKey = nullptr;
  error = RegCreateKeyW(classKey, L"InprocServer32", &serverKey);
  if (error == ERROR_SUCCESS) {
    error = RegSetValueW(serverKey, nullptr, REG_SZ, modulePath,
                         static_cast<DWORD>((lstrlenW(modulePath) + 1) * sizeof(WCHAR)));
    if (error == ERROR_SUCCESS) {
      static const WCHAR kBoth[] = L"Both";
      error = RegSetValueExW(serverKey, L"ThreadingModel", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(kBoth), sizeof(kBoth));
    }
    RegCloseKey(serverKey);
  }
  RegCloseKey(classKey);
  return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error);
}

HRESULT RemoveClassKeys(REFCLSID clsid) {
  WCHAR path[64];
  ClassKeyPath(clsid, path);
  // Removal is best effort: what cannot be opened or deleted is left alone,
  // and a later registration overwrites it.
  DeleteKeyTree(HKEY_CLASSES_ROOT, path);
  return S_OK;
}

HRESULT RegisterFilterSetup(IFilterMapper2* mapper, const AMOVIESETUP_FILTER* setup,
                            bool doRegister) {
  HRESULT hr = mapper->UnregisterFilter(nullptr, nullptr, *setup->clsID);
  if (doRegister) {
    REGFILTER2 filter = {};
    filter.dwVersion = 1;
    filter.dwMerit = setup->dwMerit;
    filter.cPins = setup->nPins;
    filter.rgPins = setup->lpPin;
    // No category: the filter goes into the default (legacy) filter category
    // under its class identifier.
    hr = mapper->RegisterFilter(*setup->clsID, setup->strName, nullptr, nullptr, nullptr, &filter);
  }
  return hr == kNotRegistered ? S_OK : hr;
}

HRESULT RegisterFilterSetup(IFilterMapper* mapper, const AMOVIESETUP_FILTER* setup,
                            bool doRegister) {
  HRESULT hr = mapper->UnregisterFilter(*setup->clsID);
  if (doRegister) {
    hr = mapper->RegisterFilter(*setup->clsID, setup->strName, setup->dwMerit);
    for (UINT p = 0; SUCCEEDED(hr) && p < setup->nPins; ++p) {
      const AMOVIESETUP_PIN& pin = setup->lpPin[p];
      hr = mapper->RegisterPin(*setup->clsID, pin.strName, pin.bRendered, pin.bOutput, pin.bZero,
                               pin.bMany,
                               pin.clsConnectsToFilter ? *pin.clsConnectsToFilter : CLSID_NULL,
                               pin.strConnectsToPin);
      for (UINT t = 0; SUCCEEDED(hr) && t < pin.nMediaTypes; ++t) {
        const AMOVIESETUP_MEDIATYPE& type = pin.lpMediaType[t];
        hr = mapper->RegisterPinType(*setup->clsID, pin.strName, *type.clsMajorType,
                                     *type.clsMinorType);
      }
    }
  }
  return hr == kNotRegistered ? S_OK : hr;
}
