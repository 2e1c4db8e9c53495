#include "test_support.h"

#include <amvideo.h>
#include <dvdmedia.h>
#include <uuids.h>

#include <cstring>

#include "check.h"
#include "zdc_guids.h"

namespace {

HMODULE g_module = nullptr;
typedef HRESULT(WINAPI* GetClassObjectFn)(REFCLSID, REFIID, void**);

}  // namespace

bool LoadDecompressorModule(const wchar_t* path) {
  if (!g_module) g_module = LoadLibraryW(path);
  return g_module != nullptr;
}

void UnloadDecompressorModule() {
  if (g_module) FreeLibrary(g_module);
  g_module = nullptr;
}

HMODULE DecompressorModule() { return g_module; }

HRESULT ModuleCanUnloadNow() {
  auto canUnload = ModuleExport<HRESULT(WINAPI*)()>("DllCanUnloadNow");
  return canUnload ? canUnload() : E_FAIL;
}

HRESULT GetDecompressorClassObject(REFCLSID clsid, REFIID iid, void** out) {
  auto getClassObject = ModuleExport<GetClassObjectFn>("DllGetClassObject");
  if (!getClassObject) return E_FAIL;
  return getClassObject(clsid, iid, out);
}

HRESULT CreateDecompressor(IUnknown* outer, REFIID iid, void** out) {
  IClassFactory* factory = nullptr;
  HRESULT hr = GetDecompressorClassObject(CLSID_DecompressorFilter, IID_IClassFactory,
                                          reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(outer, iid, out);
  factory->Release();
  return hr;
}

IBaseFilter* NewDecompressor() {
  IBaseFilter* filter = nullptr;
  if (FAILED(CreateDecompressor(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&filter))))
    return nullptr;
  return filter;
}

ULONG RefCount(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

void ReleaseLastReference(IUnknown* object, const char* name) {
  const ULONG left = object->Release();
  ok(left == 0, "%s left with %lu references\n", name, left);
  ok(ModuleCanUnloadNow() == S_OK, "objects left behind\n");
}

CMediaType InputType(const GUID& subtype, bool info2, LONG width, LONG height,
                     REFERENCE_TIME avgTimePerFrame) {
  CMediaType type;
  type.majortype = MEDIATYPE_Video;
  type.subtype = subtype;
  type.bFixedSizeSamples = FALSE;
  type.bTemporalCompression = TRUE;
  type.lSampleSize = 0;
  type.formattype = info2 ? FORMAT_VideoInfo2 : FORMAT_VideoInfo;
  ULONG size = info2 ? sizeof(VIDEOINFOHEADER2) : sizeof(VIDEOINFOHEADER);
  BYTE* format = type.AllocFormatBuffer(size);
  std::memset(format, 0, size);
  BITMAPINFOHEADER* header = BitmapHeader(type);
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = width;
  header->biHeight = height;
  header->biPlanes = 1;
  header->biBitCount = 24;
  header->biCompression = subtype.Data1;
  header->biSizeImage = static_cast<DWORD>(width * height);
  header->biXPelsPerMeter = 2835;
  header->biYPelsPerMeter = 2836;
  reinterpret_cast<VIDEOINFOHEADER*>(format)->AvgTimePerFrame = avgTimePerFrame;
  return type;
}

BITMAPINFOHEADER* BitmapHeader(AM_MEDIA_TYPE& type) {
  size_t offset = IsEqualGUID(type.formattype, FORMAT_VideoInfo2)
                      ? offsetof(VIDEOINFOHEADER2, bmiHeader)
                      : offsetof(VIDEOINFOHEADER, bmiHeader);
  return reinterpret_cast<BITMAPINFOHEADER*>(type.pbFormat + offset);
}

IPin* FindPin(IBaseFilter* filter, const wchar_t* id) {
  IPin* pin = nullptr;
  if (FAILED(filter->FindPin(id, &pin))) return nullptr;
  return pin;
}

bool WaitForEvent(IMediaEvent* events, long code, DWORD timeoutMs, std::vector<GraphEvent>* seen) {
  DWORD begin = GetTickCount();
  for (;;) {
    long got = 0;
    LONG_PTR param1 = 0, param2 = 0;
    if (events->GetEvent(&got, &param1, &param2, 50) == S_OK) {
      if (seen) seen->push_back({got, param1, param2});
      events->FreeEventParams(got, param1, param2);
      if (got == code) return true;
    }
    if (GetTickCount() - begin > timeoutMs) return false;
  }
}
