#include "registry_support.h"

RegistryString ReadRegistryString(HKEY root, const wchar_t* key, const wchar_t* value) {
  RegistryString result;
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return result;
  DWORD bytes = 0;
  if (RegQueryValueExW(opened, value, nullptr, &result.type, nullptr, &bytes) == ERROR_SUCCESS) {
    result.raw.resize(bytes);
    if (RegQueryValueExW(opened, value, nullptr, &result.type, result.raw.data(), &bytes) ==
        ERROR_SUCCESS) {
      result.found = true;
      result.bytes = bytes;
      const auto* text = reinterpret_cast<const wchar_t*>(result.raw.data());
      size_t length = 0;
      while (length < bytes / sizeof(wchar_t) && text[length]) ++length;
      result.text.assign(text, length);
    }
  }
  RegCloseKey(opened);
  return result;
}

bool ReadRegistryDword(HKEY root, const wchar_t* key, const wchar_t* value, DWORD* data) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  DWORD type = REG_NONE, bytes = sizeof(*data);
  LONG error =
      RegQueryValueExW(opened, value, nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes);
  RegCloseKey(opened);
  return error == ERROR_SUCCESS && type == REG_DWORD;
}

bool KeyExists(HKEY root, const wchar_t* key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}
