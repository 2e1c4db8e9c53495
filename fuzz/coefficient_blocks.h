// The blocks an entropy-decoder fuzz target got out of its data, with the
// read offset after each, and the comparison used by the round trips.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace zdc::fuzz {

using Block = std::array<int16_t, 64>;

// A coefficient block in a heap block of exactly 64 values, so that a write
// past it is reported.
class BlockBuffer {
 public:
  BlockBuffer() : values_(new int16_t[64]) { Fill(0x5A5A); }
  int16_t* data() { return values_.get(); }
  void Fill(int16_t value) {
    for (int i = 0; i < 64; ++i) values_[i] = value;
  }
  Block Copy() const {
    Block block;
    for (int i = 0; i < 64; ++i) block[i] = values_[i];
    return block;
  }

 private:
  std::unique_ptr<int16_t[]> values_;
};

// Hostile data can keep an entropy decoder going for as long as it likes (the
// arithmetic decoder reads nothing once it has met a marker); the frame driver
// stops at the plane's block count, the fuzz targets here. Long sections are
// the whole-frame target's business; this bound keeps these targets fast.
constexpr int kMaxBlocks = 256;

}  // namespace zdc::fuzz
