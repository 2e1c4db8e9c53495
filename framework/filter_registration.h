// The registry side of a COM server of filters: a filter's setup data, the COM
// class keys of one class, and a filter's entry with the platform's filter
// mapper (IFilterMapper2, or the older IFilterMapper).
#pragma once

#include <windows.h>
#include <strmif.h>

// Registration data of a filter, in the layout of the platform's REGFILTERPINS
// and REGPINTYPES so that a REGFILTER2 of version 1 can point at the pins.
typedef REGPINTYPES AMOVIESETUP_MEDIATYPE;
typedef REGFILTERPINS AMOVIESETUP_PIN;
struct AMOVIESETUP_FILTER {
  const CLSID* clsID;
  const WCHAR* strName;
  DWORD dwMerit;
  UINT nPins;
  const AMOVIESETUP_PIN* lpPin;
};

// HKEY_CLASSES_ROOT\CLSID\{clsid} with `name` as its default value, and its
// InprocServer32 subkey with `modulePath` and ThreadingModel "Both". A
// registry error e comes back as HRESULT_FROM_WIN32(e); the first one stops.
HRESULT RegisterClassKeys(REFCLSID clsid, const WCHAR* name, const WCHAR* modulePath);
// Deletes HKEY_CLASSES_ROOT\CLSID\{clsid} with everything below it. A key
// that is not there counts as removed: S_OK.
HRESULT RemoveClassKeys(REFCLSID clsid);

// Removes any earlier entry of the filter and, when `doRegister`, enters it
// again with its name, merit, pins and media types, in the default filter
// category. A filter the mapper does not know (0x80070002) is no error.
HRESULT RegisterFilterSetup(IFilterMapper2* mapper, const AMOVIESETUP_FILTER* setup,
                            bool doRegister);
HRESULT RegisterFilterSetup(IFilterMapper* mapper, const AMOVIESETUP_FILTER* setup,
                            bool doRegister);
