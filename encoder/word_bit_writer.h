// Bit output for the Huffman coefficient stream: bits are sent most
// significant first and stored as big-endian 32-bit words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zdc {

class WordBitWriter {
 public:
  // Appends the low `count` bits of `bits` (0 <= count <= 32), first-sent
  // bit highest.
  void Put(uint32_t bits, int count);

  uint64_t BitCount() const { return bitCount_; }

  // Everything written, zero-padded to `size` bytes (at least the bytes the
  // bits occupy); the writer starts empty again.
  std::vector<uint8_t> Take(size_t size);

  // Drops everything written.
  void Clear();

 private:
  std::vector<uint8_t> bytes_;  // whole words already complete
  uint64_t pending_ = 0;        // up to 63 bits not yet stored, right-aligned
  int pendingCount_ = 0;
  uint64_t bitCount_ = 0;
};

}  // namespace zdc
