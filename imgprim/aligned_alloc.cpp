#include <cstdlib>
#include <cstring>

#include "imgprim.h"

namespace {

constexpr uintptr_t kAlignment = 32;
// Room for the worst-case alignment shift plus the stored base address.
constexpr size_t kOverhead = kAlignment - 1 + sizeof(void*);

void* AllocateAligned(int32_t count, size_t elementSize) {
  if (count <= 0) return nullptr;
  size_t bytes = static_cast<size_t>(count) * elementSize;
  if (bytes / elementSize != static_cast<size_t>(count) || bytes > SIZE_MAX - kOverhead) return nullptr;
  void* base = std::malloc(bytes + kOverhead);
  if (!base) return nullptr;
  uintptr_t block = (reinterpret_cast<uintptr_t>(base) + kOverhead) & ~(kAlignment - 1);
  std::memcpy(reinterpret_cast<void*>(block - sizeof(void*)), &base, sizeof(void*));
  return reinterpret_cast<void*>(block);
}

}  // namespace

uint8_t* ippsMalloc_8u(int32_t count) {
  return static_cast<uint8_t*>(AllocateAligned(count, sizeof(uint8_t)));
}

uint16_t* ippsMalloc_16u(int32_t count) {
  return static_cast<uint16_t*>(AllocateAligned(count, sizeof(uint16_t)));
}

int16_t* ippsMalloc_16s(int32_t count) {
  return static_cast<int16_t*>(AllocateAligned(count, sizeof(int16_t)));
}

void ippsFree(void* block) {
  if (!block) return;
  void* base;
  std::memcpy(&base, static_cast<uint8_t*>(block) - sizeof(void*), sizeof(void*));
  std::free(base);
}
