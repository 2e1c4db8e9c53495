// Aligned allocation and 8-bit copies under the calling conventions of Intel's
// Integrated Performance Primitives. The decoder takes its SIMD-visible buffers
// and its plane copies from here; nothing else of that library is used.
#pragma once

#include <cstdint>

typedef int32_t IppStatus;

enum : IppStatus {
  ippStsNoErr = 0,
  ippStsSizeErr = -6,
  ippStsNullPtrErr = -8,
  ippStsStepErr = -14,
};

struct IppiSize {
  int32_t width;
  int32_t height;
};

// Every block is aligned to 32 bytes; the address of the underlying heap
// allocation is kept in the pointer-sized slot just below the block.
// A count of 0 or less, or a failed heap allocation, gives null.
uint8_t* ippsMalloc_8u(int32_t count);
uint16_t* ippsMalloc_16u(int32_t count);
int16_t* ippsMalloc_16s(int32_t count);
// Releases a block from one of the allocators above; null is ignored.
void ippsFree(void* block);

IppStatus ippsCopy_8u(const uint8_t* source, uint8_t* destination, int32_t length);
IppStatus ippiCopy_8u_C1R(const uint8_t* source, int32_t sourceStep, uint8_t* destination,
                          int32_t destinationStep, IppiSize region);
