#include <cstddef>
#include <cstring>

#include "imgprim.h"

IppStatus ippsCopy_8u(const uint8_t* source, uint8_t* destination, int32_t length) {
  if (!source || !destination) return ippStsNullPtrErr;
  if (length <= 0) return ippStsSizeErr;
  std::memcpy(destination, source, static_cast<size_t>(length));
  return ippStsNoErr;
}

IppStatus ippiCopy_8u_C1R(const uint8_t* source, int32_t sourceStep, uint8_t* destination,
                          int32_t destinationStep, IppiSize region) {
  if (!source || !destination) return ippStsNullPtrErr;
  if (region.width <= 0 || region.height <= 0) return ippStsSizeErr;
  if (sourceStep <= 0 || destinationStep <= 0) return ippStsStepErr;
  for (int32_t y = 0; y < region.height; ++y) {
    std::memcpy(destination + static_cast<ptrdiff_t>(y) * destinationStep,
                source + static_cast<ptrdiff_t>(y) * sourceStep, static_cast<size_t>(region.width));
  }
  return ippStsNoErr;
}
