#include "checksums.h"

#include <array>

namespace zdc {

namespace {

std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

}  // namespace

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t previous) {
  static const std::array<uint32_t, 256> table = MakeCrcTable();
  uint32_t c = ~previous;
  for (size_t i = 0; i < size; ++i) c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return ~c;
}

uint32_t Adler32(const uint8_t* data, size_t size, uint32_t previous) {
  constexpr uint32_t kBase = 65521;
  // 5552 is the most bytes that can be summed before the 32-bit sums overflow.
  constexpr size_t kRun = 5552;
  uint32_t a = previous & 0xFFFF, b = previous >> 16;
  while (size > 0) {
    const size_t run = size < kRun ? size : kRun;
    for (size_t i = 0; i < run; ++i) {
      a += data[i];
      b += a;
    }
    a %= kBase;
    b %= kBase;
    data += run;
    size -= run;
  }
  return b << 16 | a;
}

}  // namespace zdc
