// The filter as a COM object: its interfaces, aggregation, and its pins and
// their enumeration. (Its class factory is tested with the module.)
#include <ocidl.h>
#include <uuids.h>

#include <cstring>
#include <cwchar>

#include "check.h"
#include "test_support.h"
#include "zdc_guids.h"

namespace {

void TestInterfaces() {
  BeginGroup("interfaces");
  IBaseFilter* filter = NewDecompressor();
  ok(filter != nullptr, "no filter\n");
  if (!filter) return;
  struct {
    const IID* iid;
    HRESULT expected;
    const char* name;
  } cases[] = {
      {&IID_IUnknown, S_OK, "IUnknown"},
      {&IID_IBaseFilter, S_OK, "IBaseFilter"},
      {&IID_IMediaFilter, S_OK, "IMediaFilter"},
      {&IID_IPersist, S_OK, "IPersist"},
      {&IID_IAMovieSetup, S_OK, "IAMovieSetup"},
      {&IID_ISpecifyPropertyPages, S_OK, "ISpecifyPropertyPages"},
      {&IID_IDecompressorSettings, S_OK, "IDecompressorSettings"},
      {&IID_IPin, E_NOINTERFACE, "IPin"},
      {&IID_IMemInputPin, E_NOINTERFACE, "IMemInputPin"},
      {&IID_IQualityControl, E_NOINTERFACE, "IQualityControl"},
      {&IID_IMediaSeeking, E_NOINTERFACE, "IMediaSeeking"},
  };
  for (const auto& c : cases) {
    IUnknown* unknown = reinterpret_cast<IUnknown*>(1);
    HRESULT hr = filter->QueryInterface(*c.iid, reinterpret_cast<void**>(&unknown));
    ok(hr == c.expected, "%s: got hr %#lx, expected %#lx\n", c.name, hr, c.expected);
    if (SUCCEEDED(hr)) {
      ok(RefCount(filter) == 2, "%s: reference count %lu\n", c.name, RefCount(filter));
      unknown->Release();
    } else {
      ok(unknown == nullptr, "%s: out not cleared\n", c.name);
    }
  }
  ok(filter->QueryInterface(IID_IBaseFilter, nullptr) == E_POINTER, "null out\n");

  CLSID clsid = {};
  ok(filter->GetClassID(&clsid) == S_OK && IsEqualCLSID(clsid, CLSID_DecompressorFilter),
     "GetClassID\n");

  ISpecifyPropertyPages* pages = nullptr;
  filter->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&pages));
  CAUUID uuids = {};
  HRESULT hr = pages->GetPages(&uuids);
  ok(hr == S_OK && uuids.cElems == 1 && uuids.pElems &&
         IsEqualGUID(uuids.pElems[0], CLSID_DecompressorPropertyPage),
     "GetPages: hr %#lx, %lu pages\n", hr, uuids.cElems);
  CoTaskMemFree(uuids.pElems);
  ok(pages->GetPages(nullptr) == E_POINTER, "GetPages(null)\n");
  pages->Release();

  IAMovieSetup* setup = nullptr;
  filter->QueryInterface(IID_IAMovieSetup, reinterpret_cast<void**>(&setup));
  ok(setup->Register() == S_FALSE && setup->Unregister() == S_FALSE, "IAMovieSetup\n");
  setup->Release();

  ReleaseLastReference(filter, "filter");
}

void TestAggregation() {
  BeginGroup("aggregation");
  AggregatingOuter outer;
  IBaseFilter* filter = reinterpret_cast<IBaseFilter*>(1);
  HRESULT hr = CreateDecompressor(&outer, IID_IBaseFilter, reinterpret_cast<void**>(&filter));
  ok(hr == E_NOINTERFACE, "aggregate asked for IBaseFilter: hr %#lx\n", hr);

  IUnknown* inner = nullptr;
  hr = CreateDecompressor(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner));
  ok(hr == S_OK && inner, "aggregate: hr %#lx\n", hr);
  if (!inner) return;
  outer.inner = inner;
  ok(outer.refs == 1, "outer references %ld\n", outer.refs);

  hr = inner->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter));
  ok(hr == S_OK, "inner QueryInterface: hr %#lx\n", hr);
  ok(outer.refs == 2, "an interface of the aggregate counts on the outer object: %ld\n",
     outer.refs);
  IUnknown* unknown = nullptr;
  filter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown));
  ok(unknown == &outer, "IUnknown of the aggregate is the outer object\n");
  unknown->Release();
  IDecompressorSettings* settings = nullptr;
  hr = filter->QueryInterface(IID_IDecompressorSettings, reinterpret_cast<void**>(&settings));
  ok(hr == S_OK, "settings through the outer object: hr %#lx\n", hr);
  if (settings) settings->Release();
  filter->Release();
  ok(outer.refs == 1, "outer references %ld\n", outer.refs);
  ULONG left = inner->Release();
  ok(left == 0, "inner left with %lu references\n", left);
  ok(ModuleCanUnloadNow() == S_OK, "objects left behind\n");
}

void TestPins() {
  BeginGroup("pins");
  IBaseFilter* filter = NewDecompressor();
  IEnumPins* pins = nullptr;
  HRESULT hr = filter->EnumPins(&pins);
  ok(hr == S_OK, "EnumPins: hr %#lx\n", hr);
  ok(RefCount(filter) == 2, "the enumerator holds the filter: %lu\n", RefCount(filter));

  IPin* found[3] = {};
  ULONG fetched = 0;
  hr = pins->Next(3, found, &fetched);
  ok(hr == S_FALSE && fetched == 2, "Next(3): hr %#lx, %lu fetched\n", hr, fetched);
  ok(RefCount(filter) == 4, "each pin holds the filter: %lu\n", RefCount(filter));
  struct {
    const wchar_t* name;
    const wchar_t* id;
    PIN_DIRECTION dir;
  } expected[] = {{L"XForm In", L"In", PINDIR_INPUT}, {L"XForm Out", L"Out", PINDIR_OUTPUT}};
  for (int i = 0; i < 2 && i < static_cast<int>(fetched); ++i) {
    PIN_INFO info = {};
    found[i]->QueryPinInfo(&info);
    ok(std::wcscmp(info.achName, expected[i].name) == 0, "pin %d is named %ls\n", i, info.achName);
    ok(info.dir == expected[i].dir && info.pFilter == filter, "pin %d: direction %d\n", i,
       info.dir);
    if (info.pFilter) info.pFilter->Release();
    LPWSTR id = nullptr;
    found[i]->QueryId(&id);
    ok(id && std::wcscmp(id, expected[i].id) == 0, "pin %d has identifier %ls\n", i, id);
    CoTaskMemFree(id);
    IPin* byId = nullptr;
    ok(filter->FindPin(expected[i].id, &byId) == S_OK && byId == found[i], "FindPin(%ls)\n",
       expected[i].id);
    if (byId) byId->Release();
    IPin* connected = reinterpret_cast<IPin*>(1);
    ok(found[i]->ConnectedTo(&connected) == VFW_E_NOT_CONNECTED && connected == nullptr,
       "pin %d unconnected\n", i);
    AM_MEDIA_TYPE type;
    ok(found[i]->ConnectionMediaType(&type) == VFW_E_NOT_CONNECTED, "pin %d has no type\n", i);
  }
  IPin* byName = reinterpret_cast<IPin*>(1);
  hr = filter->FindPin(L"XForm In", &byName);
  ok(hr == VFW_E_NOT_FOUND && byName == nullptr, "FindPin by name: hr %#lx\n", hr);

  hr = pins->Reset();
  ok(pins->Skip(2) == S_OK && pins->Skip(1) == S_FALSE, "Skip\n");
  for (IPin* pin : found)
    if (pin) pin->Release();
  pins->Release();

  // Unconnected, the output pin offers no types and accepts none.
  IPin* output = FindPin(filter, L"Out");
  IEnumMediaTypes* types = nullptr;
  output->EnumMediaTypes(&types);
  AM_MEDIA_TYPE* type = nullptr;
  hr = types->Next(1, &type, &fetched);
  ok(hr == S_FALSE && fetched == 0, "output types while the input is unconnected: hr %#lx\n", hr);
  types->Release();
  CMediaType yvu9 = InputType(MEDIASUBTYPE_YVU9, false, 320, 240);
  ok(output->QueryAccept(&yvu9) == S_FALSE, "output QueryAccept while unconnected\n");
  IPin* input = FindPin(filter, L"In");
  input->EnumMediaTypes(&types);
  hr = types->Next(1, &type, &fetched);
  ok(hr == S_FALSE && fetched == 0, "the input pin offers no types: hr %#lx\n", hr);
  types->Release();
  input->Release();
  output->Release();

  // State changes while unconnected and outside a graph.
  FILTER_STATE state;
  ok(filter->Pause() == S_OK && filter->GetState(0, &state) == S_OK && state == State_Paused,
     "Pause\n");
  ok(filter->Run(0) == S_OK && filter->GetState(0, &state) == S_OK && state == State_Running,
     "Run\n");
  ok(filter->Stop() == S_OK && filter->GetState(0, &state) == S_OK && state == State_Stopped,
     "Stop\n");
  ReleaseLastReference(filter, "filter");
}

}  // namespace

void RunFilterObjectTests() {
  TestInterfaces();
  TestAggregation();
  TestPins();
}
