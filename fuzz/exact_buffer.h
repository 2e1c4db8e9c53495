// A copy of some bytes in a heap block of exactly their length, so that
// AddressSanitizer reports any read past the end (or before the start) of
// the data handed to the code under test. An empty copy is a zero-length
// block: every read of it is reported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace zdc::fuzz {

class ExactBuffer {
 public:
  ExactBuffer(const uint8_t* data, size_t size) : bytes_(new uint8_t[size]), size_(size) {
    if (size != 0) std::memcpy(bytes_.get(), data, size);
  }
  explicit ExactBuffer(size_t size, uint8_t fill = 0) : bytes_(new uint8_t[size]), size_(size) {
    std::memset(bytes_.get(), fill, size);
  }

  uint8_t* data() { return bytes_.get(); }
  const uint8_t* data() const { return bytes_.get(); }
  size_t size() const { return size_; }
  uint32_t size32() const { return static_cast<uint32_t>(size_); }

 private:
  std::unique_ptr<uint8_t[]> bytes_;
  size_t size_;
};

}  // namespace zdc::fuzz
