// The decompressor's tests under Windows or Wine, loading ZDC.dll at run time:
//   zdc_filter_tests [ZDC.dll]
// This file: the module as a COM server (class objects, factories, creation,
// aggregation, server locks), the filter object (interfaces, pins, states)
// and the framework's registration through the older filter mapper.
#include "test_filters.h"

#include <ocidl.h>
#include <uuids.h>

#include <cwchar>

#include "check.h"
#include "filter_registration.h"

void TestMediaTypes();
void TestStreaming();
void TestSettings();
void TestPropertyPage();

namespace {

IUnknown* const kUntouched = reinterpret_cast<IUnknown*>(static_cast<uintptr_t>(0xdeadbeef));

void TestClassObjects() {
  const struct {
    const CLSID* clsid;
    const IID* iid;
    HRESULT expected;
  } tests[] = {
      {&CLSID_DecompressorFilter, &IID_IClassFactory, S_OK},
      {&CLSID_DecompressorPropertyPage, &IID_IUnknown, S_OK},
      {&CLSID_DecompressorPropertyPage, &IID_IPropertyPage, E_NOINTERFACE},
      {&CLSID_DecompressorFilter, &IID_IBaseFilter, E_NOINTERFACE},
      {&CLSID_NULL, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
      {&IID_IDecompressorSettings, &IID_IUnknown, CLASS_E_CLASSNOTAVAILABLE},
      {&CLSID_NULL, &IID_IPersist, E_NOINTERFACE},  // the interface is looked at first
  };
  for (size_t i = 0; i < ARRAYSIZE(tests); ++i) {
    IUnknown* out = kUntouched;
    HRESULT hr = GetDecompressorClassObject(*tests[i].clsid, *tests[i].iid, (void**)&out);
    ok(hr == tests[i].expected, "Test %zu: got hr %#lx.\n", i, hr);
    if (FAILED(hr)) {
      ok(out == kUntouched, "Test %zu: got out %p.\n", i, out);
      continue;
    }
    hr = ModuleCanUnloadNow();
    ok(hr == S_FALSE, "Test %zu: a factory alive, DllCanUnloadNow got hr %#lx.\n", i, hr);
    ReleaseLast(out, "factory");
  }

  IClassFactory* factory = nullptr;
  GetDecompressorClassObject(CLSID_DecompressorPropertyPage, IID_IClassFactory, (void**)&factory);
  const IID* iids[] = {&IID_IUnknown, &IID_IClassFactory, &IID_IClassFactory2, &IID_IMarshal};
  for (size_t i = 0; i < ARRAYSIZE(iids); ++i) {
    IUnknown* out = kUntouched;
    HRESULT hr = factory->QueryInterface(*iids[i], (void**)&out);
    ok(hr == (i < 2 ? S_OK : E_NOINTERFACE), "Interface %zu: got hr %#lx.\n", i, hr);
    ok(out == (i < 2 ? factory : nullptr), "Interface %zu: got %p.\n", i, out);
    if (out) out->Release();
  }
  HRESULT hr = factory->QueryInterface(IID_IClassFactory, nullptr);
  ok(hr == E_POINTER, "Got hr %#lx.\n", hr);
  hr = factory->CreateInstance(nullptr, IID_IPropertyPage, nullptr);
  ok(hr == E_POINTER, "Got hr %#lx.\n", hr);

  // Server locks belong to the module: the other class's factory takes them off.
  ok(factory->LockServer(TRUE) == S_OK && factory->LockServer(TRUE) == S_OK, "LockServer.\n");
  factory->Release();
  hr = ModuleCanUnloadNow();
  ok(hr == S_FALSE, "Locked: got hr %#lx.\n", hr);
  GetDecompressorClassObject(CLSID_DecompressorFilter, IID_IClassFactory, (void**)&factory);
  factory->LockServer(FALSE);
  factory->LockServer(FALSE);
  ReleaseLast(factory, "unlocked factory");
}

void TestCreation() {
  const struct {
    const CLSID* clsid;
    bool aggregated;
    const IID* iid;
    HRESULT expected;
  } tests[] = {
      {&CLSID_DecompressorPropertyPage, false, &IID_IPropertyPage, S_OK},
      {&CLSID_DecompressorPropertyPage, false, &IID_IBaseFilter, E_NOINTERFACE},
      {&CLSID_DecompressorPropertyPage, true, &IID_IPropertyPage, E_NOINTERFACE},
      {&CLSID_DecompressorFilter, false, &IID_IBaseFilter, S_OK},
      {&CLSID_DecompressorFilter, false, &IID_IPropertyPage, E_NOINTERFACE},
      {&CLSID_DecompressorFilter, true, &IID_IDecompressorSettings, E_NOINTERFACE},
  };
  for (size_t i = 0; i < ARRAYSIZE(tests); ++i) {
    AggregatingOuter outer;
    IUnknown* out = kUntouched;
    HRESULT hr = CreateObject(*tests[i].clsid, tests[i].aggregated ? &outer : nullptr,
                              *tests[i].iid, (void**)&out);
    ok(hr == tests[i].expected, "Test %zu: got hr %#lx.\n", i, hr);
    // An aggregate is refused before anything is made; else made and destroyed.
    if (FAILED(hr))
      ok(out == (tests[i].aggregated ? kUntouched : nullptr), "Test %zu: got %p.\n", i, out);
    else
      ReleaseLast(out, "object");
    ok(outer.refs == 1, "Test %zu: got %ld outer references.\n", i, outer.refs);
  }

  // Aggregation: the inner IUnknown is the object's own, every other
  // interface delegates to the outer object.
  const IID* iids[] = {&IID_IBaseFilter, &IID_IPropertyPage};
  const CLSID* clsids[] = {&CLSID_DecompressorFilter, &CLSID_DecompressorPropertyPage};
  for (int i = 0; i < 2; ++i) {
    AggregatingOuter outer;
    HRESULT hr = CreateObject(*clsids[i], &outer, IID_IUnknown, (void**)&outer.inner);
    ok(hr == S_OK, "Class %d: got hr %#lx.\n", i, hr);
    ok(outer.inner != &outer && RefCount(outer.inner) == 1, "Class %d: got %lu references.\n", i,
       RefCount(outer.inner));
    IUnknown *object = nullptr, *unknown = nullptr, *again = nullptr;
    outer.inner->QueryInterface(*iids[i], (void**)&object);
    ok(outer.refs == 2, "Class %d: got %ld outer references.\n", i, outer.refs);
    object->QueryInterface(IID_IUnknown, (void**)&unknown);
    ok(unknown == &outer, "Class %d: got IUnknown %p, outer %p.\n", i, unknown, &outer);
    hr = object->QueryInterface(i ? IID_IPropertyPage : IID_IDecompressorSettings, (void**)&again);
    ok(hr == S_OK, "Class %d: got hr %#lx.\n", i, hr);
    again->Release();
    unknown->Release();
    object->Release();
    ok(outer.refs == 1, "Class %d: got %ld outer references.\n", i, outer.refs);
    ReleaseLast(outer.inner, "inner object");
  }
}

void TestInterfaces() {
  IBaseFilter* filter = NewDecompressor();
  const struct {
    const IID* iid;
    HRESULT expected;
  } tests[] = {
      {&IID_IUnknown, S_OK},        {&IID_IBaseFilter, S_OK},
      {&IID_IMediaFilter, S_OK},    {&IID_IPersist, S_OK},
      {&IID_IAMovieSetup, S_OK},    {&IID_ISpecifyPropertyPages, S_OK},
      {&IID_IDecompressorSettings, S_OK}, {&IID_IPin, E_NOINTERFACE},
      {&IID_IMemInputPin, E_NOINTERFACE}, {&IID_IQualityControl, E_NOINTERFACE},
      {&IID_IMediaSeeking, E_NOINTERFACE},
  };
  for (size_t i = 0; i < ARRAYSIZE(tests); ++i) {
    IUnknown* out = kUntouched;
    HRESULT hr = filter->QueryInterface(*tests[i].iid, (void**)&out);
    ok(hr == tests[i].expected, "Interface %zu: got hr %#lx.\n", i, hr);
    ok(SUCCEEDED(hr) ? RefCount(filter) == 2 : !out, "Interface %zu: got %p, %lu references.\n",
       i, out, RefCount(filter));
    if (out) out->Release();
  }

  CLSID clsid = {};
  HRESULT hr = filter->GetClassID(&clsid);
  ok(hr == S_OK && clsid == CLSID_DecompressorFilter, "GetClassID: got hr %#lx.\n", hr);
  ISpecifyPropertyPages* specify = nullptr;
  filter->QueryInterface(IID_ISpecifyPropertyPages, (void**)&specify);
  CAUUID pages = {};
  hr = specify->GetPages(&pages);
  ok(hr == S_OK && pages.cElems == 1 && pages.pElems[0] == CLSID_DecompressorPropertyPage,
     "GetPages: got hr %#lx, %lu pages.\n", hr, pages.cElems);
  CoTaskMemFree(pages.pElems);
  specify->Release();
  IAMovieSetup* setup = nullptr;
  filter->QueryInterface(IID_IAMovieSetup, (void**)&setup);
  ok(setup->Register() == S_FALSE && setup->Unregister() == S_FALSE, "IAMovieSetup.\n");
  setup->Release();
  ReleaseLast(filter, "filter");
}

void TestPinsAndStates() {
  IBaseFilter* filter = NewDecompressor();
  IEnumPins* enumerator = nullptr;
  filter->EnumPins(&enumerator);
  IPin* pins[3] = {};
  ULONG count = 0;
  HRESULT hr = enumerator->Next(3, pins, &count);
  ok(hr == S_FALSE && count == 2, "Next: got hr %#lx, %lu pins.\n", hr, count);
  ok(RefCount(filter) == 4, "Got %lu references.\n", RefCount(filter));  // enumerator, pins
  ok(enumerator->Reset() == S_OK && enumerator->Skip(2) == S_OK && enumerator->Skip(1) == S_FALSE,
     "Reset and Skip.\n");
  enumerator->Release();
  const wchar_t* names[] = {L"XForm In", L"XForm Out"};
  const wchar_t* ids[] = {L"In", L"Out"};
  for (int i = 0; i < 2; ++i) {
    PIN_INFO info = {};
    pins[i]->QueryPinInfo(&info);
    ok(!std::wcscmp(info.achName, names[i]) && info.dir == i && info.pFilter == filter,
       "Pin %d: got name %ls, direction %d.\n", i, info.achName, info.dir);
    info.pFilter->Release();
    IPin *byId = nullptr, *peer = reinterpret_cast<IPin*>(1);
    filter->FindPin(ids[i], &byId);
    ok(byId == pins[i], "Pin %d: FindPin got %p.\n", i, byId);
    byId->Release();
    hr = pins[i]->ConnectedTo(&peer);
    ok(hr == VFW_E_NOT_CONNECTED && !peer, "Pin %d: got hr %#lx.\n", i, hr);
    // Unconnected, neither pin offers a type; the output pin accepts none.
    IEnumMediaTypes* types = nullptr;
    pins[i]->EnumMediaTypes(&types);
    AM_MEDIA_TYPE* type = nullptr;
    hr = types->Next(1, &type, &count);
    ok(hr == S_FALSE && !count, "Pin %d: got hr %#lx, %lu types.\n", i, hr, count);
    types->Release();
  }
  CMediaType yvu9 = InputType(MEDIASUBTYPE_YVU9, false, 320, 240);
  hr = pins[1]->QueryAccept(&yvu9);
  ok(hr == S_FALSE, "QueryAccept: got hr %#lx.\n", hr);
  IPin* byName = reinterpret_cast<IPin*>(1);
  hr = filter->FindPin(L"XForm In", &byName);
  ok(hr == VFW_E_NOT_FOUND && !byName, "FindPin by name: got hr %#lx.\n", hr);
  pins[0]->Release();
  pins[1]->Release();

  FILTER_STATE state;
  ok(filter->Pause() == S_OK && filter->GetState(0, &state) == S_OK && state == State_Paused,
     "Pause: got state %d.\n", state);
  ok(filter->Run(0) == S_OK && filter->GetState(0, &state) == S_OK && state == State_Running,
     "Run: got state %d.\n", state);
  ok(filter->Stop() == S_OK && filter->GetState(0, &state) == S_OK && state == State_Stopped,
     "Stop: got state %d.\n", state);
  ReleaseLast(filter, "filter");
}

bool KeyExists(const wchar_t* key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key, 0, KEY_READ, &opened)) return false;
  RegCloseKey(opened);
  return true;
}

bool ReadDword(const wchar_t* key, const wchar_t* value, DWORD* data) {
  DWORD size = sizeof(DWORD);
  return !RegGetValueW(HKEY_CLASSES_ROOT, key, value, RRF_RT_DWORD, nullptr, data, &size);
}

// Without IFilterMapper2 the module registers through IFilterMapper, which
// keeps the filter under Filter\{class} and its pins under CLSID\{class}\Pins.
void TestOlderMapper() {
  const CLSID testClass = {0x6c1f0b3e, 0x2d5a, 0x4e8b, {0x9a, 0x71, 0x3f, 0x0e, 0x9c, 0x2b, 0x7d, 0x14}};
  WCHAR input[] = L"Input", output[] = L"Output";
  const REGPINTYPES types[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_QZV3}};
  const AMOVIESETUP_PIN pins[] = {{input, 0, 0, 0, 0, &CLSID_NULL, nullptr, 1, types},
                                  {output, 0, 1, 0, 0, &CLSID_NULL, nullptr, 1, types}};
  const AMOVIESETUP_FILTER setup = {&testClass, L"Test Filter", 0x00600000, 2, pins};
  IFilterMapper* mapper = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFilterMapper, (void**)&mapper);
  if (FAILED(hr)) return skip("No IFilterMapper: got hr %#lx.\n", hr);
  WCHAR guid[39], key[160];
  StringFromGUID2(testClass, guid, 39);
  hr = RegisterFilterSetup(mapper, &setup, true);
  ok(hr == S_OK, "Got hr %#lx.\n", hr);
  DWORD direction = 7, merit = 0;
  std::swprintf(key, 160, L"CLSID\\%ls", guid);
  ok(ReadDword(key, L"Merit", &merit) && merit == 0x00600000, "Got merit %#lx.\n", merit);
  std::swprintf(key, 160, L"CLSID\\%ls\\Pins\\Output", guid);
  ok(ReadDword(key, L"Direction", &direction) && direction == 1, "Got direction %lu.\n", direction);
  std::swprintf(key, 160, L"CLSID\\%ls\\Pins\\Input\\Types\\{73646976-0000-0010-8000-00AA00389B71}"
                L"\\{33565A51-0000-0010-8000-00AA00389B71}", guid);
  ok(KeyExists(key), "No input type.\n");
  for (int i = 0; i < 2; ++i) {
    hr = RegisterFilterSetup(mapper, &setup, false);
    ok(hr == S_OK, "Unregistration %d: got hr %#lx.\n", i, hr);
  }
  std::swprintf(key, 160, L"Filter\\%ls", guid);
  ok(!KeyExists(key), "Filter key left.\n");
  ReleaseLast(mapper, "mapper");
  // The class key, however deep, goes with RemoveClassKeys.
  std::swprintf(key, 160, L"CLSID\\%ls", guid);
  hr = RemoveClassKeys(testClass);
  ok(hr == S_OK && !KeyExists(key), "RemoveClassKeys: got hr %#lx.\n", hr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const wchar_t* module = argc > 1 ? argv[1] : L"ZDC.dll";
  if (!LoadDecompressorModule(module)) {
    ok(false, "Cannot load %ls: error %lu.\n", module, GetLastError());
    return CheckSummary();
  }
  CoInitialize(nullptr);
  TestClassObjects();
  TestCreation();
  TestInterfaces();
  TestPinsAndStates();
  TestMediaTypes();
  TestStreaming();
  TestSettings();
  TestPropertyPage();
  TestOlderMapper();
  HRESULT hr = ModuleCanUnloadNow();
  ok(hr == S_OK, "DllCanUnloadNow: got hr %#lx.\n", hr);
  CoUninitialize();
  UnloadDecompressorModule();
  return CheckSummary();
}
