// Bounded access to one compressed sample. Every read of compressed data goes
// through a SampleView; a read that would leave the sample throws SampleOverrun,
// which the frame driver turns into an abandoned frame (result 0). Offsets are
// 32-bit and may have wrapped in the header arithmetic, so every check is
// written to be immune to overflow.
#pragma once

#include <cstdint>

namespace zdc {

struct SampleOverrun {};

class SampleView {
 public:
  SampleView(const uint8_t* data, uint32_t size) : data_(data), size_(size) {}

  const uint8_t* data() const { return data_; }
  uint32_t size() const { return size_; }

  bool Contains(uint32_t offset, uint32_t count) const {
    return offset <= size_ && count <= size_ - offset;
  }
  // Pointer to `count` readable bytes at `offset`, or SampleOverrun.
  const uint8_t* At(uint32_t offset, uint32_t count) const {
    if (!Contains(offset, count)) throw SampleOverrun{};
    return data_ + offset;
  }

  uint8_t Byte(uint32_t offset) const { return *At(offset, 1); }
  uint16_t Le16(uint32_t offset) const {
    const uint8_t* p = At(offset, 2);
    return static_cast<uint16_t>(p[0] | p[1] << 8);
  }
  uint32_t Le32(uint32_t offset) const { return LoadLe32(At(offset, 4)); }
  uint32_t Be32(uint32_t offset) const { return LoadBe32(At(offset, 4)); }
  uint64_t Be64(uint32_t offset) const {
    const uint8_t* p = At(offset, 8);
    return static_cast<uint64_t>(LoadBe32(p)) << 32 | LoadBe32(p + 4);
  }

  static uint32_t LoadLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
  }
  static uint32_t LoadBe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
  }

 private:
  const uint8_t* data_;
  uint32_t size_;
};

}  // namespace zdc
