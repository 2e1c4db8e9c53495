// Runs `regsvr32 /s OPTIONS "module"` as a host's installer does and returns
// its exit code (or the error that kept it from starting).
#pragma once

#include <windows.h>

#include <string>

inline DWORD RunRegsvr32(const wchar_t* options, const std::wstring& module) {
  std::wstring line = L"regsvr32.exe /s " + std::wstring(options) + L" \"" + module + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return GetLastError();
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = ~0u;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}
