#include "page_memory.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

namespace zdc {

uint8_t* AllocatePages(size_t bytes) {
  if (bytes == 0) return nullptr;
#ifdef _WIN32
  return static_cast<uint8_t*>(VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
#else
  void* pages = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return pages == MAP_FAILED ? nullptr : static_cast<uint8_t*>(pages);
#endif
}

void FreePages(uint8_t* pages, size_t bytes) {
  if (!pages) return;
#ifdef _WIN32
  (void)bytes;
  VirtualFree(pages, 0, MEM_RELEASE);
#else
  munmap(pages, bytes);
#endif
}

}  // namespace zdc
