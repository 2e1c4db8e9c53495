// Identifiers of the component: the filter and property-page classes, the
// settings interface (declared here as well), and the FourCC media subtypes
// of the compressed input and the decoded output.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstdint>

// {FAF9D429-49EA-4774-8F29-327111C326F7}
inline constexpr CLSID CLSID_DecompressorFilter = {
    0xfaf9d429, 0x49ea, 0x4774, {0x8f, 0x29, 0x32, 0x71, 0x11, 0xc3, 0x26, 0xf7}};
// {527D815A-9444-4A71-9477-060122669C9E}
inline constexpr CLSID CLSID_DecompressorPropertyPage = {
    0x527d815a, 0x9444, 0x4a71, {0x94, 0x77, 0x06, 0x01, 0x22, 0x66, 0x9c, 0x9e}};
// {B80BECC5-BA90-43A9-B4CD-8D8DCCC7E827}
inline constexpr IID IID_IDecompressorSettings = {
    0xb80becc5, 0xba90, 0x43a9, {0xb4, 0xcd, 0x8d, 0x8d, 0xcc, 0xc7, 0xe8, 0x27}};

// A FourCC media subtype: the code in the first 32 bits, then the bytes shared
// by every FourCC subtype (as in MEDIASUBTYPE_YVU9).
constexpr GUID FourCCSubtype(uint32_t fourcc) {
  return GUID{fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
}
constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
         static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

inline constexpr uint32_t kFourCC_QZV2 = MakeFourCC('Q', 'Z', 'V', '2');
inline constexpr uint32_t kFourCC_QZV3 = MakeFourCC('Q', 'Z', 'V', '3');
inline constexpr uint32_t kFourCC_QZV4 = MakeFourCC('Q', 'Z', 'V', '4');
inline constexpr uint32_t kFourCC_YVU9 = MakeFourCC('Y', 'V', 'U', '9');
inline constexpr uint32_t kFourCC_VbT8 = MakeFourCC('V', 'b', 'T', '8');
inline constexpr uint32_t kFourCC_VbT9 = MakeFourCC('V', 'b', 'T', '9');

inline constexpr GUID MEDIASUBTYPE_QZV2 = FourCCSubtype(kFourCC_QZV2);
inline constexpr GUID MEDIASUBTYPE_QZV3 = FourCCSubtype(kFourCC_QZV3);
inline constexpr GUID MEDIASUBTYPE_QZV4 = FourCCSubtype(kFourCC_QZV4);
inline constexpr GUID MEDIASUBTYPE_VbT8 = FourCCSubtype(kFourCC_VbT8);
inline constexpr GUID MEDIASUBTYPE_VbT9 = FourCCSubtype(kFourCC_VbT9);

// The statistics record filled by IDecompressorSettings::GetStatistics: fifteen
// 32-bit fields of which only the third is defined and written.
struct DecompressorStatistics {
  uint32_t reserved0;
  uint32_t reserved1;
  uint32_t averageSampleSize;  // rounded average compressed sample size in bytes
  uint32_t reserved[12];
};
static_assert(sizeof(DecompressorStatistics) == 60, "fifteen 32-bit fields");

// The decompressor's own settings interface, implemented by the filter and
// used by its property page.
struct IDecompressorSettings : public IUnknown {
  // The window that gets WM_USER after every decoded frame.
  virtual HRESULT STDMETHODCALLTYPE SetNotifyWindow(HWND window) = 0;
  virtual HRESULT STDMETHODCALLTYPE ClearNotifyWindow() = 0;
  // Writes record->averageSampleSize and nothing else; E_POINTER for null.
  virtual HRESULT STDMETHODCALLTYPE GetStatistics(DecompressorStatistics* record) = 0;
  // Restarts the average; the last average stays visible until the next frame.
  virtual HRESULT STDMETHODCALLTYPE ResetStatistics() = 0;
  // Quality in [0, 1]; E_INVALIDARG outside.
  virtual HRESULT STDMETHODCALLTYPE SetQuality(double quality) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetQuality(double* quality) = 0;
  // The switches "Display mask (for debugging)" and "Apply denoise filter";
  // each takes effect with the next frame.
  virtual HRESULT STDMETHODCALLTYPE SetDisplayMask(BOOL on) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDisplayMask(BOOL* on) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDenoise(BOOL on) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDenoise(BOOL* on) = 0;
};
