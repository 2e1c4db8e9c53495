#include "mapper_support.h"

#include <oleauto.h>

#include <cstring>

namespace {

// The moniker's property `name` as a VARIANT (cleared by the caller).
bool ReadProperty(IMoniker* moniker, const wchar_t* name, VARIANT* value) {
  VariantInit(value);
  IPropertyBag* bag = nullptr;
  if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                    reinterpret_cast<void**>(&bag))))
    return false;
  HRESULT hr = bag->Read(name, value, nullptr);
  bag->Release();
  return SUCCEEDED(hr);
}

DWORD Dword(const std::vector<BYTE>& data, size_t offset) {
  DWORD value;
  std::memcpy(&value, data.data() + offset, 4);
  return value;
}

bool ReadGuid(const std::vector<BYTE>& data, DWORD offset, GUID* guid) {
  if (static_cast<size_t>(offset) + sizeof(GUID) > data.size()) return false;
  std::memcpy(guid, data.data() + offset, sizeof(GUID));
  return true;
}

}  // namespace

CLSID MonikerClass(IMoniker* moniker) {
  CLSID clsid = CLSID_NULL;
  VARIANT value;
  if (ReadProperty(moniker, L"CLSID", &value) && value.vt == VT_BSTR)
    CLSIDFromString(value.bstrVal, &clsid);
  VariantClear(&value);
  return clsid;
}

std::wstring MonikerFriendlyName(IMoniker* moniker) {
  std::wstring name;
  VARIANT value;
  if (ReadProperty(moniker, L"FriendlyName", &value) && value.vt == VT_BSTR)
    name.assign(value.bstrVal, SysStringLen(value.bstrVal));
  VariantClear(&value);
  return name;
}

std::vector<BYTE> MonikerFilterData(IMoniker* moniker) {
  std::vector<BYTE> bytes;
  VARIANT value;
  if (ReadProperty(moniker, L"FilterData", &value) && value.vt == (VT_ARRAY | VT_UI1)) {
    void* data = nullptr;
    LONG low = 0, high = -1;
    SafeArrayGetLBound(value.parray, 1, &low);
    SafeArrayGetUBound(value.parray, 1, &high);
    if (high >= low && SUCCEEDED(SafeArrayAccessData(value.parray, &data))) {
      const BYTE* begin = static_cast<const BYTE*>(data);
      bytes.assign(begin, begin + (high - low + 1));
      SafeArrayUnaccessData(value.parray);
    }
  }
  VariantClear(&value);
  return bytes;
}

FilterData ParseFilterData(const std::vector<BYTE>& data) {
  FilterData result;
  if (data.size() < 16) return result;
  result.version = Dword(data, 0);
  result.merit = Dword(data, 4);
  const DWORD pinCount = Dword(data, 8);
  size_t at = 16;
  for (DWORD p = 0; p < pinCount; ++p) {
    if (at + 24 > data.size()) return result;
    FilterDataPin pin;
    pin.flags = Dword(data, at + 4);
    pin.instances = Dword(data, at + 8);
    const DWORD typeCount = Dword(data, at + 12);
    const DWORD mediumCount = Dword(data, at + 16);
    at += 24;
    for (DWORD t = 0; t < typeCount; ++t) {
      if (at + 16 > data.size()) return result;
      GUID major, minor;
      if (!ReadGuid(data, Dword(data, at + 8), &major) ||
          !ReadGuid(data, Dword(data, at + 12), &minor))
        return result;
      pin.types.emplace_back(major, minor);
      at += 16;
    }
    at += 4 * static_cast<size_t>(mediumCount);
    result.pins.push_back(pin);
  }
  result.valid = at <= data.size();
  return result;
}

std::vector<IMoniker*> MatchingFilters(IFilterMapper2* mapper, const GUID& major,
                                       const GUID& minor, DWORD merit, const GUID* outputMajor,
                                       const GUID* outputMinor) {
  std::vector<IMoniker*> found;
  GUID input[2] = {major, minor};
  GUID output[2] = {outputMajor ? *outputMajor : GUID_NULL,
                    outputMinor ? *outputMinor : GUID_NULL};
  IEnumMoniker* monikers = nullptr;
  // Not an exact match: a registered wildcard type (GUID_NULL) matches any
  // requested one, as when a graph is built.
  if (FAILED(mapper->EnumMatchingFilters(&monikers, 0, FALSE, merit, TRUE, 1, input, nullptr,
                                         nullptr, FALSE, outputMajor != nullptr,
                                         outputMajor ? 1 : 0, outputMajor ? output : nullptr,
                                         nullptr, nullptr)))
    return found;
  IMoniker* moniker = nullptr;
  while (monikers->Next(1, &moniker, nullptr) == S_OK) found.push_back(moniker);
  monikers->Release();
  return found;
}
