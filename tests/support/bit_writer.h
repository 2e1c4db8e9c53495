// A small MSB-first bit writer for building coefficient streams by hand in
// tests, and little-endian byte helpers for headers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zdc::test {

class BitWriter {
 public:
  // Appends the low `count` bits of `value`, most significant first.
  void Put(uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) PutBit((value >> i) & 1);
  }
  // Appends bits written as text, e.g. "0100 1"; spaces are ignored.
  void Put(const std::string& pattern) {
    for (char ch : pattern) {
      if (ch == '0' || ch == '1') PutBit(ch == '1');
    }
  }
  void PutBit(bool bit) {
    if (used_ % 8 == 0) bytes_.push_back(0);
    if (bit) bytes_.back() |= static_cast<uint8_t>(0x80 >> (used_ % 8));
    ++used_;
  }
  size_t BitCount() const { return used_; }
  // The bits padded with zeros to whole 32-bit words, plus `extraWords` zero words.
  std::vector<uint8_t> Words(size_t extraWords = 0) const {
    std::vector<uint8_t> out = bytes_;
    while (out.size() % 4) out.push_back(0);
    out.insert(out.end(), 4 * extraWords, 0);
    return out;
  }

 private:
  std::vector<uint8_t> bytes_;
  size_t used_ = 0;
};

inline void PutLe16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}
inline void PutLe32(std::vector<uint8_t>& out, uint32_t value) {
  PutLe16(out, value & 0xFFFF);
  PutLe16(out, value >> 16);
}

}  // namespace zdc::test
