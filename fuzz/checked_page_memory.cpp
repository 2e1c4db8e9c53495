// The decoder's picture planes in ordinary heap blocks of exactly the size
// asked for, zero-filled, for the fuzz builds: AddressSanitizer then reports
// any access past a plane's end, which inside the last page of a page
// allocation would go unseen. Linked into each fuzz program ahead of the
// decoder library, it takes the place of page_memory.cpp.
#include <stdlib.h>

#include <cstring>

#include "page_memory.h"

namespace zdc {

uint8_t* AllocatePages(size_t bytes) {
  if (bytes == 0) return nullptr;
  void* block = nullptr;
  // Cache-line alignment: enough for every kernel's aligned loads.
  if (posix_memalign(&block, 64, bytes) != 0) return nullptr;
  std::memset(block, 0, bytes);
  return static_cast<uint8_t*>(block);
}

void FreePages(uint8_t* pages, size_t /*bytes*/) { free(pages); }

}  // namespace zdc
