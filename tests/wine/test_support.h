// Shared pieces of the filter tests: loading ZDC.dll and creating the filter
// through its class factory, media types for the input pin, pins by name,
// reference counts, and waiting for a graph event.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <control.h>
#include <vfwmsgs.h>

#include <vector>

#include "media_type.h"

// Loads the module (once) from `path`; false when it cannot be loaded.
bool LoadDecompressorModule(const wchar_t* path);
void UnloadDecompressorModule();
HMODULE DecompressorModule();
// An exported function of the module, or null.
template <class Function>
Function ModuleExport(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(DecompressorModule(), name)));
}
// DllCanUnloadNow of the module: S_OK once no object and no lock is left.
HRESULT ModuleCanUnloadNow();
// DllGetClassObject of the module, for the factory tests.
HRESULT GetDecompressorClassObject(REFCLSID clsid, REFIID iid, void** out);
// A new decompressor filter, asked for `iid` (IBaseFilter unless given).
HRESULT CreateDecompressor(IUnknown* outer, REFIID iid, void** out);
IBaseFilter* NewDecompressor();

// The current reference count of `object` (AddRef, then Release's answer).
ULONG RefCount(IUnknown* object);
// Releases what must be the last reference to `object` and checks that it
// was, and that the module then holds no object or lock.
void ReleaseLastReference(IUnknown* object, const char* name);

// A controlling object for aggregation checks: it counts its references and
// answers IUnknown itself and every other interface through `inner`.
struct AggregatingOuter : IUnknown {
  LONG refs = 1;
  IUnknown* inner = nullptr;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown)) {
      *out = this;
      AddRef();
      return S_OK;
    }
    return inner ? inner->QueryInterface(iid, out) : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};

// A compressed video input type: `subtype` with a VIDEOINFOHEADER, or a
// VIDEOINFOHEADER2 when `info2`, of `width` x `height`.
CMediaType InputType(const GUID& subtype, bool info2, LONG width, LONG height,
                     REFERENCE_TIME avgTimePerFrame = 400000);

// The filter's pin with this identifier (a reference added), or null.
IPin* FindPin(IBaseFilter* filter, const wchar_t* id);

// Waits for `code` from the graph, up to `timeoutMs` (only so that a broken
// graph cannot hang the test); collects every event seen on the way.
struct GraphEvent {
  long code;
  LONG_PTR param1;
  LONG_PTR param2;
};
bool WaitForEvent(IMediaEvent* events, long code, DWORD timeoutMs, std::vector<GraphEvent>* seen);

// The bitmap header of a video type (after the VIDEOINFOHEADER or
// VIDEOINFOHEADER2 part).
BITMAPINFOHEADER* BitmapHeader(AM_MEDIA_TYPE& type);
