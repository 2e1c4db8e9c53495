// The decompressor's two pins: the framework's transform pins, except that
// both ask the filter's CheckPinMediaType with their own direction.
#pragma once

#include "transform_pins.h"

class DecompressorFilter;

class DecompressorInputPin : public CTransformInputPin {
 public:
  DecompressorInputPin(DecompressorFilter* filter, HRESULT* hr);
  HRESULT CheckMediaType(const CMediaType* type) override;

 private:
  DecompressorFilter* m_pDecompressor;
};

class DecompressorOutputPin : public CTransformOutputPin {
 public:
  DecompressorOutputPin(DecompressorFilter* filter, HRESULT* hr);
  HRESULT CheckMediaType(const CMediaType* type) override;

 private:
  DecompressorFilter* m_pDecompressor;
};
