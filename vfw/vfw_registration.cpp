#include "vfw_registration.h"

#include <cwchar>

#include "class_factory.h"

namespace {

constexpr wchar_t kDrivers32[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
constexpr const wchar_t* kValues[] = {L"vidc.QZV2", L"vidc.QZV3", L"vidc.QZV4"};

HRESULT FromWin32(LONG error) { return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error); }

bool ModulePath(wchar_t (&path)[MAX_PATH]) {
  const DWORD length = GetModuleFileNameW(ModuleInstance(), path, MAX_PATH);
  return length != 0 && length < MAX_PATH;
}

}  // namespace

HRESULT RegisterVfwCodec() {
  wchar_t path[MAX_PATH];
  if (!ModulePath(path)) return E_FAIL;
  HKEY key = nullptr;
  LONG error = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDrivers32, 0, nullptr, 0, KEY_SET_VALUE,
                               nullptr, &key, nullptr);
  if (error != ERROR_SUCCESS) return FromWin32(error);
  const DWORD bytes = static_cast<DWORD>((std::wcslen(path) + 1) * sizeof(wchar_t));
  for (const wchar_t* name : kValues) {
    if (error == ERROR_SUCCESS)
      error = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), bytes);
  }
  RegCloseKey(key);
  return FromWin32(error);
}

HRESULT UnregisterVfwCodec() {
  wchar_t path[MAX_PATH];
  if (!ModulePath(path)) return E_FAIL;
  HKEY key = nullptr;
  LONG error = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDrivers32, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                             &key);
  if (error == ERROR_FILE_NOT_FOUND) return S_OK;
  if (error != ERROR_SUCCESS) return FromWin32(error);
  for (const wchar_t* name : kValues) {
    wchar_t value[MAX_PATH + 1] = {};
    DWORD type = 0, bytes = sizeof(value) - sizeof(wchar_t);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes) ==
            ERROR_SUCCESS &&
        type == REG_SZ && _wcsicmp(value, path) == 0) {
      const LONG deleted = RegDeleteValueW(key, name);
      if (deleted != ERROR_SUCCESS && error == ERROR_SUCCESS) error = deleted;
    }
  }
  RegCloseKey(key);
  return FromWin32(error);
}
