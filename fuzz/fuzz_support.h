// What every fuzz target uses: the reader of the values that steer a run and
// the check that records a failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "guarded_memory.h"

// A failed check prints what was expected and aborts; libFuzzer keeps the
// input, and the corpus replay fails.
#define ZDC_FUZZ_CHECK(condition, what)                                                            \
  do {                                                                                             \
    if (!(condition)) {                                                                            \
      std::fprintf(stderr, "\n*** %s:%d: %s\n    (%s)\n", __FILE__, __LINE__, (what), #condition); \
      std::abort();                                                                                \
    }                                                                                              \
  } while (0)

namespace zdc::fuzz {

// Reads the steering values from the front of the input; what is left is the
// data under test. Past the end it yields zeros, so any input is a whole run.
class FuzzBytes {
 public:
  FuzzBytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return position_ < size_ ? data_[position_++] : 0; }
  uint32_t Le(int bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= static_cast<uint32_t>(Byte()) << (8 * i);
    return value;
  }
  size_t Remaining() const { return size_ - position_; }
  const uint8_t* Here() const { return data_ + position_; }
  void Skip(size_t count) { position_ += count < Remaining() ? count : Remaining(); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

}  // namespace zdc::fuzz
