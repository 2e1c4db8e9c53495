// The checksums of PNG and zlib: CRC-32 (ISO 3309, reflected, polynomial
// 0xEDB88320) and Adler-32 (RFC 1950). Both can be computed in pieces: pass
// the previous result to continue.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zdc {

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t previous = 0);
uint32_t Adler32(const uint8_t* data, size_t size, uint32_t previous = 1);

}  // namespace zdc
