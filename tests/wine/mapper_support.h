// What the platform's filter mapper holds about a filter, read through the
// monikers that IFilterMapper2::EnumMatchingFilters returns: the class, the
// friendly name and the binary FilterData with merit, pins and media types.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <string>
#include <utility>
#include <vector>

CLSID MonikerClass(IMoniker* moniker);
std::wstring MonikerFriendlyName(IMoniker* moniker);
std::vector<BYTE> MonikerFilterData(IMoniker* moniker);

// FilterData as the mapper stores a REGFILTER2: a 16-byte header (version,
// merit, pin count, reserved); per pin a 24-byte record (tag "Npi3", flags,
// instances, type count, medium count, category offset) followed by 16-byte
// type records (tag "Nty3", reserved, offsets of the major and minor type
// GUIDs) and 4-byte medium offsets; the GUIDs after all of that.
struct FilterDataPin {
  DWORD flags = 0;
  DWORD instances = 0;
  std::vector<std::pair<GUID, GUID>> types;  // major, minor
};
struct FilterData {
  bool valid = false;  // every record and offset inside the data
  DWORD version = 0;
  DWORD merit = 0;
  std::vector<FilterDataPin> pins;
};
FilterData ParseFilterData(const std::vector<BYTE>& data);

// The monikers IFilterMapper2 returns for an input of (`major`, `minor`) with
// at least `merit`; each with one reference, for the caller to release.
std::vector<IMoniker*> MatchingFilters(IFilterMapper2* mapper, const GUID& major,
                                       const GUID& minor, DWORD merit,
                                       const GUID* outputMajor = nullptr,
                                       const GUID* outputMinor = nullptr);
