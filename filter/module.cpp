// What ZDC.dll serves: its class table and its registration entry points.
#include "class_factory.h"
#include "decompressor_filter.h"

// The property page's class joins this table when the page exists.
const CFactoryTemplate g_Templates[] = {
    {L"Zelvo\u00ae Frame Decompressor", &CLSID_DecompressorFilter,
     DecompressorFilter::CreateInstance, nullptr, nullptr},
};
const int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);

// Registration (the COM class keys and the filter-mapper entry) is not written
// yet: both entry points succeed without touching the registry, so that the
// module can already be loaded and its classes created through
// DllGetClassObject.
STDAPI DllRegisterServer() { return S_OK; }

STDAPI DllUnregisterServer() { return S_OK; }
