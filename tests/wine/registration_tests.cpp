// Registration of ZDC.dll as a host does it, in a fresh Wine prefix: regsvr32
// registers the module, the registry and the filter mapper are read back,
// both classes are created through the registry alone (this program never
// loads the module itself), and regsvr32 /u, run twice, takes it all away.
//   zdc_registration_tests path\to\ZDC.dll
#include <windows.h>
#include <strmif.h>
#include <ocidl.h>
#include <uuids.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "check.h"
#include "mapper_support.h"
#include "registry_support.h"
#include "zdc_guids.h"

namespace {

struct RegisteredClass {
  const CLSID* clsid;
  const wchar_t* name;
};
const RegisteredClass kClasses[] = {
    {&CLSID_DecompressorFilter, L"Zelvo\u00AE Frame Decompressor"},
    {&CLSID_DecompressorPropertyPage, L"Zelvo\u00AE Frame Decompressor Property Page"},
};

std::wstring GuidText(REFGUID guid) {
  wchar_t text[39];
  StringFromGUID2(guid, text, 39);
  return text;
}

std::wstring ClassKey(REFCLSID clsid) { return L"CLSID\\" + GuidText(clsid); }

// The filter's entry in the default filter category.
std::wstring InstanceKey() {
  return ClassKey(CLSID_LegacyAmFilterCategory) + L"\\Instance\\" +
         GuidText(CLSID_DecompressorFilter);
}

// UTF-16LE bytes of `ascii`, appended.
void AppendUtf16(std::vector<BYTE>* bytes, const char* ascii) {
  for (; *ascii; ++ascii) {
    bytes->push_back(static_cast<BYTE>(*ascii));
    bytes->push_back(0);
  }
}

// The registry bytes of a name "Zelvo<U+00AE> Frame Decompressor<suffix>",
// terminator included, spelled out byte by byte so that the check does not
// rest on how the compiler converts the name.
std::vector<BYTE> NameBytes(const char* suffix) {
  std::vector<BYTE> bytes;
  AppendUtf16(&bytes, "Zelvo");
  bytes.push_back(0xAE);
  bytes.push_back(0x00);
  AppendUtf16(&bytes, " Frame Decompressor");
  AppendUtf16(&bytes, suffix);
  bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

// Runs the platform's regsvr32 silently on `module`; its exit code.
DWORD RunRegsvr32(const std::wstring& module, bool unregister) {
  std::wstring command = L"regsvr32.exe /s ";
  if (unregister) command += L"/u ";
  command += L"\"" + module + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  std::vector<wchar_t> line(command.begin(), command.end());
  line.push_back(0);
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    ok(false, "regsvr32 could not be started: error %lu\n", GetLastError());
    return ~0u;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = ~0u;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

IFilterMapper2* NewMapper() {
  IFilterMapper2* mapper = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFilterMapper2, reinterpret_cast<void**>(&mapper));
  ok(hr == S_OK, "IFilterMapper2: hr %#lx\n", hr);
  return mapper;
}

// The mapper's moniker of the decompressor among the filters for this input
// (and output, when given), with a reference; null when it is not listed.
IMoniker* FindDecompressor(IFilterMapper2* mapper, const GUID& major, const GUID& minor,
                           DWORD merit, const GUID* outMajor = nullptr,
                           const GUID* outMinor = nullptr) {
  IMoniker* found = nullptr;
  for (IMoniker* moniker : MatchingFilters(mapper, major, minor, merit, outMajor, outMinor)) {
    if (!found && MonikerClass(moniker) == CLSID_DecompressorFilter) {
      found = moniker;
    } else {
      moniker->Release();
    }
  }
  return found;
}

bool Listed(IFilterMapper2* mapper, const GUID& major, const GUID& minor, DWORD merit,
            const GUID* outMajor = nullptr, const GUID* outMinor = nullptr) {
  IMoniker* moniker = FindDecompressor(mapper, major, minor, merit, outMajor, outMinor);
  if (moniker) moniker->Release();
  return moniker != nullptr;
}

void TestFreshPrefix() {
  BeginGroup("fresh prefix");
  for (const RegisteredClass& c : kClasses)
    ok(!KeyExists(HKEY_CLASSES_ROOT, ClassKey(*c.clsid).c_str()), "%ls is registered already\n",
       c.name);
  if (IFilterMapper2* mapper = NewMapper()) {
    ok(!Listed(mapper, MEDIATYPE_Video, MEDIASUBTYPE_QZV2, 0), "the mapper knows the filter\n");
    mapper->Release();
  }
}

void TestRegistryLayout(const std::wstring& module) {
  BeginGroup("registry layout");
  const std::vector<BYTE> names[] = {NameBytes(""), NameBytes(" Property Page")};
  for (size_t i = 0; i < 2; ++i) {
    const RegisteredClass& c = kClasses[i];
    const std::wstring key = ClassKey(*c.clsid);
    const std::wstring server = key + L"\\InprocServer32";
    RegistryString name = ReadRegistryString(HKEY_CLASSES_ROOT, key.c_str(), nullptr);
    ok(name.found && name.type == REG_SZ && name.raw == names[i],
       "%ls: name \"%ls\" of type %lu, %lu bytes\n", c.name, name.text.c_str(), name.type,
       name.bytes);
    RegistryString path = ReadRegistryString(HKEY_CLASSES_ROOT, server.c_str(), nullptr);
    ok(path.found && path.type == REG_SZ && lstrcmpiW(path.text.c_str(), module.c_str()) == 0,
       "%ls: server \"%ls\"\n", c.name, path.text.c_str());
    RegistryString model = ReadRegistryString(HKEY_CLASSES_ROOT, server.c_str(), L"ThreadingModel");
    ok(model.found && model.type == REG_SZ && model.text == L"Both" && model.bytes == 10,
       "%ls: threading model \"%ls\", %lu bytes\n", c.name, model.text.c_str(), model.bytes);
  }
  // The mapper's copy of the name, in the filter category.
  RegistryString friendly = ReadRegistryString(HKEY_CLASSES_ROOT, InstanceKey().c_str(),
                                               L"FriendlyName");
  ok(friendly.found && friendly.raw == names[0], "category entry: name \"%ls\"\n",
     friendly.text.c_str());
}

void TestMapperEntry() {
  BeginGroup("filter mapper entry");
  IFilterMapper2* mapper = NewMapper();
  if (!mapper) return;
  IMoniker* moniker = FindDecompressor(mapper, MEDIATYPE_Video, MEDIASUBTYPE_QZV2, 0x00600000);
  ok(moniker != nullptr, "not listed for QZV2 at merit 0x00600000\n");
  if (moniker) {
    std::wstring name = MonikerFriendlyName(moniker);
    ok(name == kClasses[0].name && name.size() > 5 && name[5] == 0x00AE, "friendly name \"%ls\"\n",
       name.c_str());
    FilterData data = ParseFilterData(MonikerFilterData(moniker));
    ok(data.valid && data.merit == 0x00600000 && data.pins.size() == 2,
       "filter data: merit %#lx, %zu pins\n", data.merit, data.pins.size());
    // The pins' names ("Input", "Output") are not part of the mapper's data;
    // their flags and types are.
    if (data.pins.size() == 2) {
      const FilterDataPin& input = data.pins[0];
      const FilterDataPin& output = data.pins[1];
      ok(input.flags == 0 && input.types.size() == 3, "input pin: flags %#lx, %zu types\n",
         input.flags, input.types.size());
      const GUID* subtypes[] = {&MEDIASUBTYPE_QZV2, &MEDIASUBTYPE_QZV3, &MEDIASUBTYPE_QZV4};
      for (size_t t = 0; t < input.types.size() && t < 3; ++t)
        ok(input.types[t].first == MEDIATYPE_Video && input.types[t].second == *subtypes[t],
           "input type %zu is %ls\n", t, GuidText(input.types[t].second).c_str());
      ok(output.flags == REG_PINFLAG_B_OUTPUT && output.types.size() == 1 &&
             output.types[0].first == MEDIATYPE_Video && output.types[0].second == GUID_NULL,
         "output pin: flags %#lx, %zu types\n", output.flags, output.types.size());
    }
    moniker->Release();
  }

  const GUID qzv5 = FourCCSubtype(MakeFourCC('Q', 'Z', 'V', '5'));
  struct {
    const char* name;
    const GUID* major;
    const GUID* minor;
    DWORD merit;
    const GUID* outMinor;  // with an output of video of this subtype
    bool listed;
  } queries[] = {
      {"QZV3", &MEDIATYPE_Video, &MEDIASUBTYPE_QZV3, 0x00600000, nullptr, true},
      {"QZV4", &MEDIATYPE_Video, &MEDIASUBTYPE_QZV4, 0x00600000, nullptr, true},
      {"QZV2 to YVU9", &MEDIATYPE_Video, &MEDIASUBTYPE_QZV2, 0x00600000, &MEDIASUBTYPE_YVU9, true},
      {"QZV2 above its merit", &MEDIATYPE_Video, &MEDIASUBTYPE_QZV2, 0x00600001, nullptr, false},
      {"QZV5", &MEDIATYPE_Video, &qzv5, 0, nullptr, false},
      {"audio", &MEDIATYPE_Audio, &MEDIASUBTYPE_QZV2, 0, nullptr, false},
  };
  for (const auto& q : queries) {
    bool listed = Listed(mapper, *q.major, *q.minor, q.merit,
                         q.outMinor ? &MEDIATYPE_Video : nullptr, q.outMinor);
    ok(listed == q.listed, "%s: listed %d\n", q.name, listed);
  }
  mapper->Release();
}

// Created through CoCreateInstance, which finds the module only through
// the registry; the module's unload check follows the objects.
void TestCreationThroughRegistry(const std::wstring& module) {
  BeginGroup("creation through the registry");
  ok(GetModuleHandleW(L"ZDC.dll") == nullptr, "the module is loaded already\n");
  IBaseFilter* filter = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_DecompressorFilter, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IBaseFilter, reinterpret_cast<void**>(&filter));
  ok(hr == S_OK && filter, "filter: hr %#lx\n", hr);
  IPropertyPage* page = nullptr;
  hr = CoCreateInstance(CLSID_DecompressorPropertyPage, nullptr, CLSCTX_INPROC_SERVER,
                        IID_IPropertyPage, reinterpret_cast<void**>(&page));
  ok(hr == S_OK && page, "page: hr %#lx\n", hr);

  HMODULE loaded = GetModuleHandleW(L"ZDC.dll");
  wchar_t path[MAX_PATH] = L"";
  if (loaded) GetModuleFileNameW(loaded, path, MAX_PATH);
  ok(loaded && lstrcmpiW(path, module.c_str()) == 0, "the classes came from \"%ls\"\n", path);
  auto canUnload = loaded ? reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(
                                GetProcAddress(loaded, "DllCanUnloadNow")))
                          : nullptr;
  if (canUnload) ok(canUnload() == S_FALSE, "objects alive, yet the module may go\n");

  if (filter) {
    CLSID clsid = CLSID_NULL;
    ok(filter->GetClassID(&clsid) == S_OK && clsid == CLSID_DecompressorFilter, "GetClassID\n");
    ISpecifyPropertyPages* specify = nullptr;
    filter->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&specify));
    CAUUID pages = {};
    ok(specify && specify->GetPages(&pages) == S_OK && pages.cElems == 1 &&
           pages.pElems[0] == CLSID_DecompressorPropertyPage,
       "the filter names the registered page\n");
    CoTaskMemFree(pages.pElems);
    if (specify) specify->Release();
  }
  if (page) {
    PROPPAGEINFO info = {};
    hr = page->GetPageInfo(&info);
    ok(hr == S_OK && info.pszTitle &&
           std::wcscmp(info.pszTitle, L"Zelvo Frame Decompressor Properties") == 0,
       "page title %ls\n", info.pszTitle);
    CoTaskMemFree(info.pszTitle);
    ULONG left = page->Release();
    ok(left == 0, "page left with %lu references\n", left);
  }
  if (filter) {
    ULONG left = filter->Release();
    ok(left == 0, "filter left with %lu references\n", left);
  }
  if (canUnload) ok(canUnload() == S_OK, "objects left behind\n");
}

void TestUnregistration() {
  BeginGroup("unregistration");
  for (const RegisteredClass& c : kClasses)
    ok(!KeyExists(HKEY_CLASSES_ROOT, ClassKey(*c.clsid).c_str()), "%ls: class key left\n", c.name);
  ok(!KeyExists(HKEY_CLASSES_ROOT, InstanceKey().c_str()), "category entry left\n");
  if (IFilterMapper2* mapper = NewMapper()) {
    ok(!Listed(mapper, MEDIATYPE_Video, MEDIASUBTYPE_QZV2, 0), "the mapper still lists it\n");
    mapper->Release();
  }
  IUnknown* object = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_DecompressorPropertyPage, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IUnknown, reinterpret_cast<void**>(&object));
  ok(hr == REGDB_E_CLASSNOTREG && !object, "page after unregistration: hr %#lx\n", hr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  wchar_t module[MAX_PATH];
  if (argc < 2 || !GetFullPathNameW(argv[1], MAX_PATH, module, nullptr) ||
      GetFileAttributesW(module) == INVALID_FILE_ATTRIBUTES) {
    std::printf("usage: zdc_registration_tests path\\to\\ZDC.dll\n0 passed, 1 failed, 0 skipped\n");
    return 1;
  }
  CoInitialize(nullptr);
  TestFreshPrefix();

  BeginGroup("regsvr32");
  DWORD code = RunRegsvr32(module, false);
  ok(code == 0, "regsvr32: exit code %lu\n", code);
  TestRegistryLayout(module);
  TestMapperEntry();
  TestCreationThroughRegistry(module);

  BeginGroup("regsvr32 /u");
  for (int i = 1; i <= 2; ++i) {
    code = RunRegsvr32(module, true);
    ok(code == 0, "regsvr32 /u, run %d: exit code %lu\n", i, code);
  }
  TestUnregistration();
  CoUninitialize();

  std::printf("%d passed, %d failed, %d skipped\n", PassedChecks(), FailedChecks(),
              SkippedChecks());
  return FailedChecks() == 0 ? 0 : 1;
}
