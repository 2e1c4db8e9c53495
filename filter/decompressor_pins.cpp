#include "decompressor_pins.h"

#include "decompressor_filter.h"

DecompressorInputPin::DecompressorInputPin(DecompressorFilter* filter, HRESULT* hr)
    : CTransformInputPin(L"decompressor input pin", filter, hr, L"XForm In"),
      m_pDecompressor(filter) {}

HRESULT DecompressorInputPin::CheckMediaType(const CMediaType* type) {
  return m_pDecompressor->CheckPinMediaType(PINDIR_INPUT, type);
}

DecompressorOutputPin::DecompressorOutputPin(DecompressorFilter* filter, HRESULT* hr)
    : CTransformOutputPin(L"decompressor output pin", filter, hr, L"XForm Out"),
      m_pDecompressor(filter) {}

HRESULT DecompressorOutputPin::CheckMediaType(const CMediaType* type) {
  return m_pDecompressor->CheckPinMediaType(PINDIR_OUTPUT, type);
}
