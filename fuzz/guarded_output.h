// An output picture as the frame decoder writes it (a luma plane of `height`
// rows at `stride`, then with chroma two planes of height / 4 rows at
// stride / 4, each lumaSize / 16 bytes), with guard bands either side.
//
// Every byte that the decoder must not write holds a position-dependent fill
// pattern: the guard bands, the bytes of each row past the picture's width
// and the bytes of each chroma plane's area below its last row. Untouched()
// checks all of them. Under AddressSanitizer the guard bands are also
// poisoned, so a stray write into them is reported where it happens.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zdc::fuzz {

class GuardedOutput {
 public:
  static constexpr size_t kGuardBytes = 256;

  GuardedOutput(int32_t width, int32_t height, bool withChroma, int32_t stride);
  ~GuardedOutput();
  GuardedOutput(const GuardedOutput&) = delete;
  GuardedOutput& operator=(const GuardedOutput&) = delete;

  uint8_t* Picture() { return bytes_.data() + kGuardBytes; }
  int32_t Stride() const { return stride_; }
  size_t PictureBytes() const { return pictureBytes_; }

  // True when every byte outside the picture's pixels holds its fill; else
  // false with the first offending offset (from the picture's start) in
  // `where`.
  bool Untouched(std::string* where);

  // The whole picture area, pixels and padding alike.
  std::vector<uint8_t> Snapshot() const;
  // The pixels only, plane by plane, rows packed.
  std::vector<uint8_t> Pixels() const;

 private:
  void Poison(bool on);
  static uint8_t FillAt(size_t index) { return static_cast<uint8_t>(index * 37 + 0x5B); }

  struct Range {
    size_t start;  // in bytes_
    size_t count;
  };

  int32_t stride_;
  size_t pictureBytes_;
  std::vector<uint8_t> bytes_;  // guard, picture, guard
  std::vector<uint8_t> fill_;   // what bytes_ holds where nothing may be written
  std::vector<Range> pixels_;   // the rows of pixels, in address order
  std::vector<Range> fixed_;    // everything else, in address order
};

}  // namespace zdc::fuzz
