// The registry side of registration, run on the framework's helpers with a
// class identifier of the tests' own (so the module's classes stay out of
// this prefix): the COM class keys and their removal, and a filter's entry
// with IFilterMapper2 and with the older IFilterMapper, which the module
// falls back to.
#include <windows.h>
#include <strmif.h>
#include <uuids.h>

#include <cstring>
#include <cwchar>

#include "check.h"
#include "filter_registration.h"
#include "mapper_support.h"
#include "registry_support.h"
#include "zdc_guids.h"

namespace {

// {6C1F0B3E-2D5A-4E8B-9A71-3F0E9C2B7D14}
const CLSID kTestClass = {
    0x6c1f0b3e, 0x2d5a, 0x4e8b, {0x9a, 0x71, 0x3f, 0x0e, 0x9c, 0x2b, 0x7d, 0x14}};
// A subtype no other filter of the prefix takes.
const GUID kTestSubtype = FourCCSubtype(MakeFourCC('Q', 'Z', 'T', '9'));

WCHAR kInput[] = L"Input";
WCHAR kOutput[] = L"Output";
const REGPINTYPES kInputTypes[] = {{&MEDIATYPE_Video, &kTestSubtype},
                                   {&MEDIATYPE_Video, &MEDIASUBTYPE_QZV3}};
const REGPINTYPES kOutputTypes[] = {{&MEDIATYPE_Video, &GUID_NULL}};
const AMOVIESETUP_PIN kPins[] = {
    {kInput, FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, nullptr, 2, kInputTypes},
    {kOutput, FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, kOutputTypes},
};
const AMOVIESETUP_FILTER kSetup = {&kTestClass, L"Test\u00AE Filter", 0x00600000, 2, kPins};

const WCHAR* ClassKey() {
  static WCHAR path[64];
  WCHAR guid[39];
  StringFromGUID2(kTestClass, guid, 39);
  std::swprintf(path, 64, L"CLSID\\%ls", guid);
  return path;
}

void TestClassKeys() {
  BeginGroup("class keys");
  const WCHAR* key = ClassKey();
  ok(!KeyExists(HKEY_CLASSES_ROOT, key), "the test class is registered already\n");
  const WCHAR* modulePath = L"C:\\Program Files\\Z\u00E9lvo\\ZDC.dll";
  HRESULT hr = RegisterClassKeys(kTestClass, kSetup.strName, modulePath);
  ok(hr == S_OK, "RegisterClassKeys: hr %#lx\n", hr);

  WCHAR server[80];
  std::swprintf(server, 80, L"%ls\\InprocServer32", key);
  struct {
    const WCHAR* key;
    const WCHAR* value;
    const WCHAR* data;
  } values[] = {
      {key, nullptr, L"Test\u00AE Filter"},
      {server, nullptr, modulePath},
      {server, L"ThreadingModel", L"Both"},
  };
  for (const auto& v : values) {
    RegistryString got = ReadRegistryString(HKEY_CLASSES_ROOT, v.key, v.value);
    ok(got.found && got.type == REG_SZ && got.text == v.data, "%ls [%ls]: %ls\n", v.key,
       v.value ? v.value : L"(default)", got.text.c_str());
    ok(got.bytes == (std::wcslen(v.data) + 1) * sizeof(WCHAR), "%ls [%ls]: %lu bytes\n", v.key,
       v.value ? v.value : L"(default)", got.bytes);
  }

  // Registering again overwrites.
  hr = RegisterClassKeys(kTestClass, L"Other name", L"C:\\other.dll");
  ok(hr == S_OK && ReadRegistryString(HKEY_CLASSES_ROOT, key, nullptr).text == L"Other name",
     "second registration: hr %#lx\n", hr);

  // Removal takes everything below the class key, however deep.
  const WCHAR* extra[] = {L"InprocServer32\\Deeper\\Deepest", L"Pins\\Input\\Types\\A\\B",
                          L"Instance"};
  for (const WCHAR* sub : extra) {
    WCHAR path[160];
    std::swprintf(path, 160, L"%ls\\%ls", key, sub);
    HKEY created = nullptr;
    ok(RegCreateKeyW(HKEY_CLASSES_ROOT, path, &created) == ERROR_SUCCESS, "create %ls\n", path);
    if (created) {
      RegSetValueExW(created, L"v", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&hr), 4);
      RegCloseKey(created);
    }
  }
  hr = RemoveClassKeys(kTestClass);
  ok(hr == S_OK, "RemoveClassKeys: hr %#lx\n", hr);
  ok(!KeyExists(HKEY_CLASSES_ROOT, key), "the class key is still there\n");
  hr = RemoveClassKeys(kTestClass);
  ok(hr == S_OK, "removing a missing class key: hr %#lx\n", hr);
}

// Whether IFilterMapper2 lists the test filter for an input of `subtype`.
bool MapperFinds(IFilterMapper2* mapper, const GUID& subtype, DWORD merit) {
  bool found = false;
  for (IMoniker* moniker : MatchingFilters(mapper, MEDIATYPE_Video, subtype, merit)) {
    found = found || MonikerClass(moniker) == kTestClass;
    moniker->Release();
  }
  return found;
}

void TestMapper2() {
  BeginGroup("filter mapper entry");
  IFilterMapper2* mapper = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFilterMapper2, reinterpret_cast<void**>(&mapper));
  ok(hr == S_OK, "IFilterMapper2: hr %#lx\n", hr);
  if (!mapper) return;
  hr = RegisterFilterSetup(mapper, &kSetup, false);
  ok(hr == S_OK, "unregistering an unknown filter: hr %#lx\n", hr);
  ok(!MapperFinds(mapper, kTestSubtype, 0), "found before registration\n");

  hr = RegisterFilterSetup(mapper, &kSetup, true);
  ok(hr == S_OK, "registration: hr %#lx\n", hr);
  struct {
    const char* name;
    const GUID* subtype;
    DWORD merit;
    bool found;
  } queries[] = {
      {"first input type", &kTestSubtype, 0x00600000, true},
      {"second input type", &MEDIASUBTYPE_QZV3, 0x00600000, true},
      {"another subtype", &MEDIASUBTYPE_QZV4, 0x00200000, false},
      {"above the merit", &kTestSubtype, 0x00600001, false},
  };
  for (const auto& q : queries)
    ok(MapperFinds(mapper, *q.subtype, q.merit) == q.found, "%s: found %d\n", q.name, !q.found);
  // Registering twice leaves one entry.
  ok(RegisterFilterSetup(mapper, &kSetup, true) == S_OK, "second registration\n");

  for (int i = 0; i < 2; ++i) {
    hr = RegisterFilterSetup(mapper, &kSetup, false);
    ok(hr == S_OK, "unregistration %d: hr %#lx\n", i + 1, hr);
  }
  ok(!MapperFinds(mapper, kTestSubtype, 0), "found after unregistration\n");
  ULONG left = mapper->Release();
  ok(left == 0, "mapper left with %lu references\n", left);
}

// The older mapper keeps the filter under Filter\{class} and its pins, by
// name, under CLSID\{class}\Pins.
void TestMapper1() {
  BeginGroup("filter mapper entry, older interface");
  IFilterMapper* mapper = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFilterMapper, reinterpret_cast<void**>(&mapper));
  if (FAILED(hr)) {
    skip("no IFilterMapper: hr %#lx\n", hr);
    return;
  }
  hr = RegisterFilterSetup(mapper, &kSetup, true);
  ok(hr == S_OK, "registration: hr %#lx\n", hr);

  WCHAR guid[39];
  StringFromGUID2(kTestClass, guid, 39);
  WCHAR filterKey[64];
  std::swprintf(filterKey, 64, L"Filter\\%ls", guid);
  RegistryString name = ReadRegistryString(HKEY_CLASSES_ROOT, filterKey, nullptr);
  ok(name.found && name.text == kSetup.strName, "filter name %ls\n", name.text.c_str());
  const WCHAR* key = ClassKey();
  WCHAR path[200];
  for (const AMOVIESETUP_PIN& pin : kPins) {
    std::swprintf(path, 200, L"%ls\\Pins\\%ls", key, pin.strName);
    ok(KeyExists(HKEY_CLASSES_ROOT, path), "pin %ls missing\n", pin.strName);
    DWORD direction = 0;
    ok(ReadRegistryDword(HKEY_CLASSES_ROOT, path, L"Direction", &direction) &&
           direction == static_cast<DWORD>(pin.bOutput),
       "pin %ls: direction %lu\n", pin.strName, direction);
    for (UINT t = 0; t < pin.nMediaTypes; ++t) {
      WCHAR major[39], minor[39];
      StringFromGUID2(*pin.lpMediaType[t].clsMajorType, major, 39);
      StringFromGUID2(*pin.lpMediaType[t].clsMinorType, minor, 39);
      std::swprintf(path, 200, L"%ls\\Pins\\%ls\\Types\\%ls\\%ls", key, pin.strName, major, minor);
      ok(KeyExists(HKEY_CLASSES_ROOT, path), "pin %ls: type %ls missing\n", pin.strName, minor);
    }
  }
  DWORD merit = 0;
  ok(ReadRegistryDword(HKEY_CLASSES_ROOT, key, L"Merit", &merit) && merit == 0x00600000,
     "merit %#lx\n", merit);

  for (int i = 0; i < 2; ++i) {
    hr = RegisterFilterSetup(mapper, &kSetup, false);
    ok(hr == S_OK, "unregistration %d: hr %#lx\n", i + 1, hr);
  }
  ok(!KeyExists(HKEY_CLASSES_ROOT, filterKey), "filter key left\n");
  ULONG left = mapper->Release();
  ok(left == 0, "mapper left with %lu references\n", left);
  RemoveClassKeys(kTestClass);
  ok(!KeyExists(HKEY_CLASSES_ROOT, key), "class key left\n");
}

}  // namespace

void RunFilterRegistrationTests() {
  TestClassKeys();
  TestMapper2();
  TestMapper1();
}
