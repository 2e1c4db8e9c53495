// The decompressor's tests under Windows or Wine, loading ZDC.dll at run time:
//   zdc_filter_tests [ZDC.dll]
// This file: the module as a COM server (class objects, factories, creation)
// and the filter object (interfaces, pins).
#include "test_filters.h"

#include <ocidl.h>
#include <uuids.h>

#include <cwchar>

#include "check.h"

void TestMediaTypes();
void TestStreaming();
void TestRenderer();
void TestPropertyPage();

namespace {

// A controlling object offered for aggregation: it only counts its
// references, which a refused aggregate must leave alone.
struct AggregatingOuter : IUnknown {
  LONG refs = 1;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    return *out = nullptr, E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};

IUnknown* const kUntouched = reinterpret_cast<IUnknown*>(static_cast<uintptr_t>(0xdeadbeef));

// Class objects, and objects made by their factories, for each interface.
// A failed call leaves the pointer alone when nothing was made (class
// objects; aggregates, refused before anything is made), else sets it to
// null; whatever is alive keeps the module.
void TestClassObjects() {
  enum Way { kClassObject, kCreate, kAggregate };
  const CLSID &filter = CLSID_DecompressorFilter, &page = CLSID_DecompressorPropertyPage;
  const struct { Way way; const CLSID* clsid; const IID* iid; HRESULT expected; } tests[] = {
      {kClassObject, &filter, &IID_IClassFactory, S_OK},
      {kClassObject, &page, &IID_IUnknown, S_OK},
      {kClassObject, &page, &IID_IPropertyPage, E_NOINTERFACE},
      {kClassObject, &filter, &IID_IBaseFilter, E_NOINTERFACE},
      {kClassObject, &CLSID_NULL, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
      {kClassObject, &IID_IDecompressorSettings, &IID_IUnknown, CLASS_E_CLASSNOTAVAILABLE},
      {kClassObject, &CLSID_NULL, &IID_IPersist, E_NOINTERFACE},  // the interface comes first
      {kCreate, &page, &IID_IPropertyPage, S_OK},
      {kCreate, &page, &IID_IBaseFilter, E_NOINTERFACE},
      {kAggregate, &page, &IID_IPropertyPage, E_NOINTERFACE},
      {kCreate, &filter, &IID_IBaseFilter, S_OK},
      {kCreate, &filter, &IID_IPropertyPage, E_NOINTERFACE},
      {kAggregate, &filter, &IID_IDecompressorSettings, E_NOINTERFACE},
  };
  for (size_t i = 0; i < ARRAYSIZE(tests); ++i) {
    const auto& t = tests[i];
    AggregatingOuter outer;
    IUnknown* out = kUntouched;
    HRESULT hr = t.way == kClassObject
                     ? GetDecompressorClassObject(*t.clsid, *t.iid, (void**)&out)
                     : CreateObject(*t.clsid, t.way == kAggregate ? &outer : nullptr, *t.iid,
                                    (void**)&out);
    const HRESULT alive = SUCCEEDED(hr) ? ModuleCanUnloadNow() : S_FALSE;
    ok(hr == t.expected && outer.refs == 1 && alive == S_FALSE &&
           (SUCCEEDED(hr) || out == (t.way == kCreate ? nullptr : kUntouched)),
       "Test %zu: got hr %#lx, %p, %ld outer references, DllCanUnloadNow hr %#lx.\n", i, hr, out,
       outer.refs, alive);
    if (SUCCEEDED(hr)) ReleaseLast(out, "object");
  }
}

// The filter object: its interfaces, its page, its pins.
void TestFilterObject() {
  IBaseFilter* filter = NewDecompressor();
  const struct { const IID* iid; HRESULT expected; } tests[] = {
      {&IID_IUnknown, S_OK},          {&IID_IBaseFilter, S_OK},
      {&IID_IMediaFilter, S_OK},      {&IID_IPersist, S_OK},
      {&IID_IAMovieSetup, S_OK},      {&IID_ISpecifyPropertyPages, S_OK},
      {&IID_IDecompressorSettings, S_OK}, {&IID_IPin, E_NOINTERFACE},
  };
  for (size_t i = 0; i < ARRAYSIZE(tests); ++i) {
    IUnknown* out = kUntouched;
    HRESULT hr = filter->QueryInterface(*tests[i].iid, (void**)&out);
    ok(hr == tests[i].expected && (SUCCEEDED(hr) ? RefCount(filter) == 2 : !out),
       "Interface %zu: got hr %#lx, %p, %lu references.\n", i, hr, out, RefCount(filter));
    if (out) out->Release();
  }
  // The class hosts find the page by.
  ISpecifyPropertyPages* specify = nullptr;
  filter->QueryInterface(IID_ISpecifyPropertyPages, (void**)&specify);
  CAUUID pages = {};
  HRESULT hr = specify->GetPages(&pages);
  ok(hr == S_OK && pages.cElems == 1 && pages.pElems[0] == CLSID_DecompressorPropertyPage,
     "GetPages: got hr %#lx, %lu pages.\n", hr, pages.cElems);
  CoTaskMemFree(pages.pElems);
  specify->Release();

  // The two pins. (The filter's states are driven by the graph and pin tests.)
  IEnumPins* enumerator = nullptr;
  filter->EnumPins(&enumerator);
  IPin* pins[3] = {};
  ULONG count = 0;
  hr = enumerator->Next(3, pins, &count);
  ok(hr == S_FALSE && count == 2 && RefCount(filter) == 4,  // the enumerator and the pins
     "Next: got hr %#lx, %lu pins, %lu references.\n", hr, count, RefCount(filter));
  enumerator->Release();
  const wchar_t* names[] = {L"XForm In", L"XForm Out"};
  for (int i = 0; i < 2; ++i) {
    PIN_INFO info = {};
    pins[i]->QueryPinInfo(&info);
    info.pFilter->Release();
    // Unconnected, neither pin offers a type.
    IEnumMediaTypes* types = nullptr;
    pins[i]->EnumMediaTypes(&types);
    AM_MEDIA_TYPE* type = nullptr;
    HRESULT next = types->Next(1, &type, &count);
    types->Release();
    ok(!std::wcscmp(info.achName, names[i]) && info.dir == i && info.pFilter == filter &&
           next == S_FALSE && !count,
       "Pin %d: got %ls, direction %d; Next hr %#lx.\n", i, info.achName, info.dir, next);
  }
  CMediaType yvu9 = InputType(MEDIASUBTYPE_YVU9, false, 320, 240);
  hr = pins[1]->QueryAccept(&yvu9);
  ok(hr == S_FALSE, "QueryAccept: got hr %#lx.\n", hr);
  pins[0]->Release();
  pins[1]->Release();
  ReleaseLast(filter, "filter");
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
  TestFilterObject();
  if (TestGraph().in) {  // else the graph tests cannot run
    TestMediaTypes();
    TestStreaming();
    TestRenderer();
    TestPropertyPage();
  }
  HRESULT hr = ModuleCanUnloadNow();
  ok(hr == S_OK, "DllCanUnloadNow: got hr %#lx.\n", hr);
  CoUninitialize();
  return CheckSummary();
}
