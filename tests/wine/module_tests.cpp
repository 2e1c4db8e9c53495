// The module as a COM server: DllGetClassObject for both classes, the class
// factory's own interface, creation with and without an outer object, server
// locks, and DllCanUnloadNow, which every group ends with.
#include <ocidl.h>

#include "check.h"
#include "test_support.h"
#include "zdc_guids.h"

namespace {

// Stands in for out-parameters that a call must leave alone.
IUnknown* const kUntouched = reinterpret_cast<IUnknown*>(static_cast<uintptr_t>(0xdeadbeef));

IClassFactory* Factory(REFCLSID clsid) {
  IClassFactory* factory = nullptr;
  GetDecompressorClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  return factory;
}

void TestClassObjects() {
  BeginGroup("class objects");
  struct {
    const char* name;
    const CLSID* clsid;
    const IID* iid;
    HRESULT expected;
  } cases[] = {
      {"filter, IClassFactory", &CLSID_DecompressorFilter, &IID_IClassFactory, S_OK},
      {"filter, IUnknown", &CLSID_DecompressorFilter, &IID_IUnknown, S_OK},
      {"page, IClassFactory", &CLSID_DecompressorPropertyPage, &IID_IClassFactory, S_OK},
      {"page, IUnknown", &CLSID_DecompressorPropertyPage, &IID_IUnknown, S_OK},
      {"page, IPropertyPage", &CLSID_DecompressorPropertyPage, &IID_IPropertyPage, E_NOINTERFACE},
      {"filter, IBaseFilter", &CLSID_DecompressorFilter, &IID_IBaseFilter, E_NOINTERFACE},
      {"unknown class, IClassFactory", &CLSID_NULL, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
      {"settings interface as a class", &IID_IDecompressorSettings, &IID_IUnknown,
       CLASS_E_CLASSNOTAVAILABLE},
      // The interface is looked at before the class.
      {"unknown class, IPersist", &CLSID_NULL, &IID_IPersist, E_NOINTERFACE},
  };
  for (const auto& c : cases) {
    IUnknown* out = kUntouched;
    HRESULT hr = GetDecompressorClassObject(*c.clsid, *c.iid, reinterpret_cast<void**>(&out));
    ok(hr == c.expected, "%s: hr %#lx, expected %#lx\n", c.name, hr, c.expected);
    if (SUCCEEDED(hr)) {
      ok(RefCount(out) == 1, "%s: %lu references\n", c.name, RefCount(out));
      ok(ModuleCanUnloadNow() == S_FALSE, "%s: a factory lets the module go\n", c.name);
      ULONG left = out->Release();
      ok(left == 0, "%s: factory left with %lu references\n", c.name, left);
    } else {
      ok(out == kUntouched, "%s: out was written\n", c.name);
    }
  }
  ok(ModuleCanUnloadNow() == S_OK, "objects left behind\n");
}

void TestFactoryInterface() {
  BeginGroup("class factory interface");
  IClassFactory* factory = Factory(CLSID_DecompressorPropertyPage);
  ok(factory != nullptr, "no factory\n");
  if (!factory) return;
  ok(factory->QueryInterface(IID_IClassFactory, nullptr) == E_POINTER, "null out\n");
  struct {
    const char* name;
    const IID* iid;
    HRESULT expected;
  } cases[] = {
      {"IUnknown", &IID_IUnknown, S_OK},
      {"IClassFactory", &IID_IClassFactory, S_OK},
      {"IClassFactory2", &IID_IClassFactory2, E_NOINTERFACE},
      {"IPropertyPage", &IID_IPropertyPage, E_NOINTERFACE},
      {"IMarshal", &IID_IMarshal, E_NOINTERFACE},
  };
  for (const auto& c : cases) {
    IUnknown* out = kUntouched;
    HRESULT hr = factory->QueryInterface(*c.iid, reinterpret_cast<void**>(&out));
    ok(hr == c.expected, "%s: hr %#lx, expected %#lx\n", c.name, hr, c.expected);
    if (SUCCEEDED(hr)) {
      ok(out == factory, "%s: another object\n", c.name);
      ok(out->Release() == 1, "%s: reference count\n", c.name);
    } else {
      ok(out == nullptr, "%s: out not cleared\n", c.name);
    }
  }
  ok(factory->AddRef() == 2 && factory->Release() == 1, "AddRef and Release answer the count\n");
  HRESULT hr = factory->CreateInstance(nullptr, IID_IPropertyPage, nullptr);
  ok(hr == E_POINTER, "CreateInstance with null out: hr %#lx\n", hr);
  ULONG left = factory->Release();
  ok(left == 0, "factory left with %lu references\n", left);
  ok(ModuleCanUnloadNow() == S_OK, "objects left behind\n");
}

void TestCreation() {
  BeginGroup("creation through the factory");
  struct {
    const char* name;
    const CLSID* clsid;
    bool aggregated;
    const IID* iid;
    HRESULT expected;
  } cases[] = {
      {"page, IPropertyPage", &CLSID_DecompressorPropertyPage, false, &IID_IPropertyPage, S_OK},
      {"page, IUnknown", &CLSID_DecompressorPropertyPage, false, &IID_IUnknown, S_OK},
      {"page, IBaseFilter", &CLSID_DecompressorPropertyPage, false, &IID_IBaseFilter,
       E_NOINTERFACE},
      {"page aggregated, IPropertyPage", &CLSID_DecompressorPropertyPage, true,
       &IID_IPropertyPage, E_NOINTERFACE},
      {"page aggregated, IUnknown", &CLSID_DecompressorPropertyPage, true, &IID_IUnknown, S_OK},
      {"filter, IBaseFilter", &CLSID_DecompressorFilter, false, &IID_IBaseFilter, S_OK},
      {"filter, IPropertyPage", &CLSID_DecompressorFilter, false, &IID_IPropertyPage,
       E_NOINTERFACE},
      {"filter aggregated, IDecompressorSettings", &CLSID_DecompressorFilter, true,
       &IID_IDecompressorSettings, E_NOINTERFACE},
      {"filter aggregated, IUnknown", &CLSID_DecompressorFilter, true, &IID_IUnknown, S_OK},
  };
  for (const auto& c : cases) {
    IClassFactory* factory = Factory(*c.clsid);
    AggregatingOuter outer;
    IUnknown* out = kUntouched;
    HRESULT hr = factory->CreateInstance(c.aggregated ? &outer : nullptr, *c.iid,
                                         reinterpret_cast<void**>(&out));
    ok(hr == c.expected, "%s: hr %#lx, expected %#lx\n", c.name, hr, c.expected);
    ok(outer.refs == 1, "%s: outer object has %ld references\n", c.name, outer.refs);
    ULONG left = factory->Release();
    ok(left == 0, "%s: factory left with %lu references\n", c.name, left);
    if (SUCCEEDED(hr)) {
      ok(ModuleCanUnloadNow() == S_FALSE, "%s: a live object lets the module go\n", c.name);
      left = out->Release();
      ok(left == 0, "%s: object left with %lu references\n", c.name, left);
    } else if (c.aggregated) {
      // Refused before anything was made.
      ok(out == kUntouched, "%s: out was written\n", c.name);
    } else {
      // Made, asked, and destroyed again.
      ok(out == nullptr, "%s: out not cleared\n", c.name);
    }
    ok(ModuleCanUnloadNow() == S_OK, "%s: objects left behind\n", c.name);
  }
}

void TestPageAggregation() {
  BeginGroup("page aggregation");
  IClassFactory* factory = Factory(CLSID_DecompressorPropertyPage);
  AggregatingOuter outer;
  IUnknown* inner = nullptr;
  HRESULT hr = factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner));
  factory->Release();
  ok(hr == S_OK && inner, "aggregate: hr %#lx\n", hr);
  if (!inner) return;
  outer.inner = inner;
  ok(inner != &outer && RefCount(inner) == 1, "the inner IUnknown is the page's own\n");

  IPropertyPage* page = nullptr;
  hr = inner->QueryInterface(IID_IPropertyPage, reinterpret_cast<void**>(&page));
  ok(hr == S_OK && page, "inner QueryInterface: hr %#lx\n", hr);
  ok(outer.refs == 2, "the page's interface counts on the outer object: %ld\n", outer.refs);
  IUnknown* unknown = nullptr;
  page->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown));
  ok(unknown == &outer, "IUnknown through the page is the outer object\n");
  unknown->Release();
  IPropertyPage* again = nullptr;
  hr = page->QueryInterface(IID_IPropertyPage, reinterpret_cast<void**>(&again));
  ok(hr == S_OK && again == page, "IPropertyPage through the outer object: hr %#lx\n", hr);
  if (again) again->Release();
  page->Release();
  ok(outer.refs == 1, "outer references %ld\n", outer.refs);
  ULONG left = inner->Release();
  ok(left == 0, "inner left with %lu references\n", left);
  ok(ModuleCanUnloadNow() == S_OK, "objects left behind\n");
}

void TestServerLocks() {
  BeginGroup("server locks");
  ok(ModuleCanUnloadNow() == S_OK, "objects alive at the start\n");
  IClassFactory* factory = Factory(CLSID_DecompressorPropertyPage);
  ok(factory->LockServer(TRUE) == S_OK && factory->LockServer(TRUE) == S_OK, "LockServer(TRUE)\n");
  factory->Release();
  ok(ModuleCanUnloadNow() == S_FALSE, "two locks and no object\n");
  // The locks belong to the module: another factory, of the other class,
  // takes them off.
  factory = Factory(CLSID_DecompressorFilter);
  ok(factory->LockServer(FALSE) == S_OK, "LockServer(FALSE)\n");
  factory->Release();
  ok(ModuleCanUnloadNow() == S_FALSE, "one lock left\n");
  factory = Factory(CLSID_DecompressorFilter);
  factory->LockServer(FALSE);
  ok(ModuleCanUnloadNow() == S_FALSE, "the factory itself keeps the module\n");
  factory->Release();
  ok(ModuleCanUnloadNow() == S_OK, "unlocked\n");
}

}  // namespace

void RunModuleTests() {
  TestClassObjects();
  TestFactoryInterface();
  TestCreation();
  TestPageAggregation();
  TestServerLocks();
}
