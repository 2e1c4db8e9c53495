// Registration of ZDC.dll as a host does it, in a fresh prefix: regsvr32
// writes the class keys and the filter mapper's entry, both classes are made
// through the registry alone (this program never loads the module itself),
// and regsvr32 /u, run twice, takes everything away again.
//   zdc_registration_tests [ZDC.dll]
#include <windows.h>
#include <strmif.h>
#include <ocidl.h>
#include <uuids.h>

#include <cwchar>
#include <string>

#include "check.h"
#include "regsvr32.h"
#include "zdc_guids.h"

namespace {

const CLSID* const kClasses[] = {&CLSID_DecompressorFilter, &CLSID_DecompressorPropertyPage};
const wchar_t* const kNames[] = {L"Zelvo\u00AE Frame Decompressor",
                                 L"Zelvo\u00AE Frame Decompressor Property Page"};

std::wstring Key(const wchar_t* prefix, REFGUID guid, const wchar_t* suffix = L"") {
  wchar_t text[39];
  StringFromGUID2(guid, text, 39);
  return prefix + std::wstring(text) + suffix;
}

// A REG_SZ value, empty when there is none.
std::wstring ReadString(const std::wstring& key, const wchar_t* value) {
  wchar_t text[MAX_PATH] = L"";
  DWORD bytes = sizeof(text);
  RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), value, RRF_RT_REG_SZ, nullptr, text, &bytes);
  return text;
}

// Whether the mapper lists the decompressor for this input (and output) at
// `merit`: a moniker whose display name ends in the filter's class.
bool Listed(const GUID& major, const GUID& minor, DWORD merit, const GUID* outMinor = nullptr) {
  IFilterMapper2* mapper = nullptr;
  CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                   (void**)&mapper);
  GUID input[2] = {major, minor}, output[2] = {MEDIATYPE_Video, outMinor ? *outMinor : GUID_NULL};
  IEnumMoniker* monikers = nullptr;
  mapper->EnumMatchingFilters(&monikers, 0, FALSE, merit, TRUE, 1, input, nullptr, nullptr, FALSE,
                              outMinor != nullptr, outMinor ? 1 : 0, output, nullptr, nullptr);
  const std::wstring filter = Key(L"", CLSID_DecompressorFilter);
  bool found = false;
  IMoniker* moniker = nullptr;
  while (monikers->Next(1, &moniker, nullptr) == S_OK) {
    LPOLESTR name = nullptr;
    moniker->GetDisplayName(nullptr, nullptr, &name);
    found = found || (name && std::wcsstr(name, filter.c_str()));
    CoTaskMemFree(name);
    moniker->Release();
  }
  monikers->Release();
  mapper->Release();
  return found;
}

// The class keys (name, threading model; the server shows in TestCreation),
// the category entry, and what the mapper lists.
void TestRegistered() {
  for (int i = 0; i < 2; ++i) {
    const std::wstring key = Key(L"CLSID\\", *kClasses[i]), name = ReadString(key, nullptr);
    const std::wstring model = ReadString(key + L"\\InprocServer32", L"ThreadingModel");
    ok(name == kNames[i] && model == L"Both", "Class %d: got name %ls, model %ls.\n", i,
       name.c_str(), model.c_str());
  }
  // The filter's entry in the mapper's default category.
  const std::wstring entry = Key(L"CLSID\\", CLSID_LegacyAmFilterCategory, L"\\Instance\\");
  std::wstring name = ReadString(entry + Key(L"", CLSID_DecompressorFilter), L"FriendlyName");
  ok(name == kNames[0], "Category entry: got name %ls.\n", name.c_str());

  const GUID &video = MEDIATYPE_Video, qzv5 = FourCCSubtype(MakeFourCC('Q', 'Z', 'V', '5'));
  const struct { const GUID *major, *minor; DWORD merit; const GUID* outMinor; bool listed; }
      tests[] = {
          {&video, &MEDIASUBTYPE_QZV2, 0x00600000, nullptr, true},
          {&video, &MEDIASUBTYPE_QZV3, 0x00600000, nullptr, true},
          {&video, &MEDIASUBTYPE_QZV4, 0x00600000, nullptr, true},
          {&video, &MEDIASUBTYPE_QZV2, 0x00600000, &MEDIASUBTYPE_YVU9, true},
          {&video, &MEDIASUBTYPE_QZV2, 0x00600001, nullptr, false},
          {&video, &qzv5, 0, nullptr, false},
          {&MEDIATYPE_Audio, &MEDIASUBTYPE_QZV2, 0, nullptr, false},
      };
  for (size_t i = 0; i < ARRAYSIZE(tests); ++i) {
    bool listed = Listed(*tests[i].major, *tests[i].minor, tests[i].merit, tests[i].outMinor);
    ok(listed == tests[i].listed, "Query %zu: got %d.\n", i, listed);
  }
}

// Made through CoCreateInstance, which finds the module in the registry.
void TestCreation(const wchar_t* module) {
  ok(!GetModuleHandleW(L"ZDC.dll"), "The module is loaded already.\n");
  IUnknown *filter = nullptr, *page = nullptr;
  CoCreateInstance(CLSID_DecompressorFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                   (void**)&filter);
  CoCreateInstance(CLSID_DecompressorPropertyPage, nullptr, CLSCTX_INPROC_SERVER,
                   IID_IPropertyPage, (void**)&page);
  wchar_t path[MAX_PATH] = L"";
  GetModuleFileNameW(GetModuleHandleW(L"ZDC.dll"), path, MAX_PATH);
  ok(filter && page && !lstrcmpiW(path, module), "Got %p and %p from %ls.\n", filter, page, path);
  if (filter) filter->Release();
  if (page) page->Release();
}

// Neither class can be made, and the mapper does not list the filter.
void TestUnregistered() {
  for (int i = 0; i < 2; ++i) {
    IUnknown* object = nullptr;
    HRESULT hr = CoCreateInstance(*kClasses[i], nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                  (void**)&object);
    ok(hr == REGDB_E_CLASSNOTREG && !object, "Class %d: got hr %#lx.\n", i, hr);
  }
  ok(!Listed(MEDIATYPE_Video, MEDIASUBTYPE_QZV2, 0), "The mapper lists the filter.\n");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  wchar_t module[MAX_PATH];
  GetFullPathNameW(argc > 1 ? argv[1] : L"ZDC.dll", MAX_PATH, module, nullptr);
  CoInitialize(nullptr);
  DWORD code = RunRegsvr32(L"", module);
  ok(code == 0, "regsvr32: got %lu.\n", code);
  TestRegistered();
  TestCreation(module);
  for (int i = 0; i < 2; ++i) {
    code = RunRegsvr32(L"/u", module);
    ok(code == 0, "regsvr32 /u, run %d: got %lu.\n", i, code);
  }
  TestUnregistered();
  CoUninitialize();
  return CheckSummary();
}
