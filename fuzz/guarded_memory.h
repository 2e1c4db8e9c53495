// Memory that shows an access outside the bytes handed to the code under
// test, in every build (plain, sanitized or fuzzing). Shared by the fuzz
// targets, their corpus replays and checkasm.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

namespace zdc::guarded {

// A read-only copy of some bytes flush against an inaccessible page (after
// them, or before them with kFlushStart), so that reading even one byte
// beyond that end, or writing any byte, faults.
class Input {
 public:
  enum Flush { kFlushEnd, kFlushStart };
  Input(const uint8_t* data, size_t size, Flush flush = kFlushEnd);
  ~Input();
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;

  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  uint32_t size32() const { return static_cast<uint32_t>(size_); }

 private:
  uint8_t* mapping_;
  size_t mappingSize_;
  uint8_t* data_;
  size_t size_;
};

// An output area of `size` bytes between guard bands, every byte starting as
// a pattern made from `seed`. The code under test may write only the rows
// that Allow() names; Intact() tells whether anything else changed.
class Area {
 public:
  static constexpr size_t kGuard = 64;
  Area(size_t size, uint64_t seed);

  uint8_t* data() { return bytes_.data() + kGuard; }
  // Allows `rows` rows of `rowBytes` at `pitch` (negative: upwards), the
  // lowest-addressed row starting `start` bytes into the area; returns row 0.
  uint8_t* Allow(size_t start, int32_t rowBytes, int32_t rows, int32_t pitch);
  // False when anything outside the allowed rows changed.
  bool Intact() const;
  // The allowed bytes, row by row.
  std::vector<uint8_t> Allowed() const;

 private:
  std::vector<uint8_t> bytes_, pattern_;
  std::vector<std::pair<size_t, size_t>> rows_;  // (index in bytes_, length)
};

// A reproducible stream of pseudo-random numbers (splitmix64).
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next64();
  uint32_t Next32() { return static_cast<uint32_t>(Next64() >> 32); }
  int32_t Range(int32_t low, int32_t high);  // both included
  bool Chance(int percent) { return Range(0, 99) < percent; }
  template <class T>
  T Pick(std::initializer_list<T> values) {
    return values.begin()[Range(0, static_cast<int32_t>(values.size()) - 1)];
  }
  void Fill(uint8_t* bytes, size_t count);

 private:
  uint64_t state_;
};

}  // namespace zdc::guarded
