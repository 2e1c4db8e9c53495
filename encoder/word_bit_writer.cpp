#include "word_bit_writer.h"

#include <stdexcept>

namespace zdc {

void WordBitWriter::Put(uint32_t bits, int count) {
  if (count <= 0) return;
  const uint64_t mask = count >= 32 ? 0xFFFFFFFFu : (uint64_t{1} << count) - 1;
  pending_ = pending_ << count | (bits & mask);
  pendingCount_ += count;
  bitCount_ += static_cast<uint64_t>(count);
  while (pendingCount_ >= 32) {
    const uint32_t word = static_cast<uint32_t>(pending_ >> (pendingCount_ - 32));
    bytes_.push_back(static_cast<uint8_t>(word >> 24));
    bytes_.push_back(static_cast<uint8_t>(word >> 16));
    bytes_.push_back(static_cast<uint8_t>(word >> 8));
    bytes_.push_back(static_cast<uint8_t>(word));
    pendingCount_ -= 32;
    pending_ &= pendingCount_ == 0 ? 0 : (uint64_t{1} << pendingCount_) - 1;
  }
}

void WordBitWriter::Clear() {
  bytes_.clear();
  pending_ = 0;
  pendingCount_ = 0;
  bitCount_ = 0;
}

std::vector<uint8_t> WordBitWriter::Take(size_t size) {
  std::vector<uint8_t> out;
  out.swap(bytes_);
  // The unfinished word, left-aligned, then as many of its bytes as hold bits.
  uint64_t rest = pendingCount_ == 0 ? 0 : pending_ << (64 - pendingCount_);
  for (int remaining = pendingCount_; remaining > 0; remaining -= 8) {
    out.push_back(static_cast<uint8_t>(rest >> 56));
    rest <<= 8;
  }
  if (out.size() > size) throw std::length_error("bit stream longer than its place");
  out.resize(size, 0);
  Clear();
  return out;
}

}  // namespace zdc
