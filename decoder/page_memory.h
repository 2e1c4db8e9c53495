// Committed, zero-filled, page-aligned read-write memory straight from the
// operating system, for the picture planes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zdc {

// Null when `bytes` is 0 or the system refuses.
uint8_t* AllocatePages(size_t bytes);
// Releases what AllocatePages returned (`bytes` as given then); null is ignored.
void FreePages(uint8_t* pages, size_t bytes);

}  // namespace zdc
