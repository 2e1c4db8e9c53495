// What ZDC.dll serves: its class table, the filter's registration data and
// the registration entry points.
#include <windows.h>
#include <strmif.h>
#include <uuids.h>

#include "class_factory.h"
#include "decompressor_filter.h"
#include "decompressor_property_page.h"
#include "vfw_registration.h"

namespace {

// The names are UTF-16 with the registered-trademark sign as U+00AE, so that
// they reach the registry and the filter mapper as the same Unicode text
// whatever code page the host runs in.
#define ZDC_FILTER_NAME L"Zelvo\u00AE Frame Decompressor"

// The registered pin names differ from those the pin objects report ("XForm
// In", "XForm Out"); the mapper's REGFILTERPINS wants them writable.
WCHAR kInputPinName[] = L"Input";
WCHAR kOutputPinName[] = L"Output";

const AMOVIESETUP_MEDIATYPE kInputTypes[] = {
    {&MEDIATYPE_Video, &MEDIASUBTYPE_QZV2},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_QZV3},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_QZV4},
};
// The decoder's own layouts (following the input: YVU9, VbT9, VbT8), then
// the converted formats renderers take.
const AMOVIESETUP_MEDIATYPE kOutputTypes[] = {
    {&MEDIATYPE_Video, &MEDIASUBTYPE_YVU9}, {&MEDIATYPE_Video, &MEDIASUBTYPE_VbT9},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_VbT8}, {&MEDIATYPE_Video, &MEDIASUBTYPE_NV12},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_YV12}, {&MEDIATYPE_Video, &MEDIASUBTYPE_IYUV},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_YUY2}, {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB32},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24},
};

const AMOVIESETUP_PIN kPins[] = {
    {kInputPinName, FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, nullptr,
     sizeof(kInputTypes) / sizeof(kInputTypes[0]), kInputTypes},
    {kOutputPinName, FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr,
     sizeof(kOutputTypes) / sizeof(kOutputTypes[0]), kOutputTypes},
};

const AMOVIESETUP_FILTER kFilterSetup = {
    &CLSID_DecompressorFilter, ZDC_FILTER_NAME, MERIT_NORMAL,
    sizeof(kPins) / sizeof(kPins[0]), kPins};

}  // namespace

const CFactoryTemplate g_Templates[] = {
    {ZDC_FILTER_NAME, &CLSID_DecompressorFilter, DecompressorFilter::CreateInstance, nullptr,
     &kFilterSetup},
    {ZDC_FILTER_NAME L" Property Page", &CLSID_DecompressorPropertyPage,
     DecompressorPropertyPage::CreateInstance, nullptr, nullptr},
};
const int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);

// The filter and its page, then the Video for Windows codec's Drivers32
// entries.
STDAPI DllRegisterServer() {
  HRESULT hr = AMovieDllRegisterServer2(TRUE);
  return SUCCEEDED(hr) ? RegisterVfwCodec() : hr;
}

STDAPI DllUnregisterServer() {
  HRESULT vfw = UnregisterVfwCodec();
  HRESULT hr = AMovieDllRegisterServer2(FALSE);
  return FAILED(hr) ? hr : vfw;
}
