// Reading the registry back in the registration tests: values with their
// type and exact size, and whether a key exists.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct RegistryString {
  bool found = false;
  DWORD type = REG_NONE;
  DWORD bytes = 0;          // the value's size as stored, terminator included
  std::vector<BYTE> raw;    // the stored bytes
  std::wstring text;        // up to the first zero
};

// The value `value` (null: the default value) of `root`\`key`.
RegistryString ReadRegistryString(HKEY root, const wchar_t* key, const wchar_t* value);
bool ReadRegistryDword(HKEY root, const wchar_t* key, const wchar_t* value, DWORD* data);
bool KeyExists(HKEY root, const wchar_t* key);
