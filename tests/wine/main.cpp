// The decompressor's tests under Windows (or Wine): the module as a COM
// server, the filter object, the settings interface, media type negotiation,
// streaming in the platform's filter graph, the property page in a window,
// and the registry side of registration.
//   zdc_filter_tests [path of ZDC.dll]
#include <windows.h>

#include <cstdio>

#include "check.h"
#include "test_support.h"

void RunModuleTests();
void RunFilterObjectTests();
void RunSettingsTests();
void RunNegotiationTests();
void RunGraphTests();
void RunPlatformSourceTests();
void RunPropertyPageTests();
void RunFilterRegistrationTests();

int wmain(int argc, wchar_t** argv) {
  const wchar_t* module = argc > 1 ? argv[1] : L"ZDC.dll";
  if (!LoadDecompressorModule(module)) {
    std::printf("cannot load %ls (error %lu)\n", module, GetLastError());
    std::printf("0 passed, 1 failed\n");
    return 1;
  }
  CoInitialize(nullptr);
  RunModuleTests();
  RunFilterObjectTests();
  RunSettingsTests();
  RunNegotiationTests();
  RunGraphTests();
  RunPlatformSourceTests();
  RunPropertyPageTests();
  RunFilterRegistrationTests();

  BeginGroup("module");
  auto canUnload = ModuleExport<HRESULT(WINAPI*)()>("DllCanUnloadNow");
  ok(canUnload && canUnload() == S_OK, "objects of the module are still alive\n");
  CoUninitialize();
  UnloadDecompressorModule();

  std::printf("%d passed, %d failed, %d skipped\n", PassedChecks(), FailedChecks(),
              SkippedChecks());
  return FailedChecks() == 0 ? 0 : 1;
}
