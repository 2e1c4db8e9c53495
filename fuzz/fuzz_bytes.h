// Reads the values that steer one fuzz run from the front of the input; what
// is left is the data under test. Reading past the end yields zeros, so every
// input, however short, describes a complete run.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zdc::fuzz {

class FuzzBytes {
 public:
  FuzzBytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  uint8_t Byte() { return position_ < size_ ? data_[position_++] : 0; }
  uint16_t Le16() {
    const uint16_t low = Byte();
    return static_cast<uint16_t>(low | Byte() << 8);
  }
  uint32_t Le24() {
    const uint32_t low = Le16();
    return low | static_cast<uint32_t>(Byte()) << 16;
  }

  // The next `count` bytes, or as many as are left; advances past them.
  const uint8_t* Take(size_t count, size_t* taken) {
    const uint8_t* start = data_ + position_;
    *taken = count < Remaining() ? count : Remaining();
    position_ += *taken;
    return start;
  }

  size_t Remaining() const { return size_ - position_; }
  const uint8_t* Here() const { return data_ + position_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

}  // namespace zdc::fuzz
