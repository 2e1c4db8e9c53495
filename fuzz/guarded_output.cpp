#include "guarded_output.h"

#include <cstring>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZDC_FUZZ_HAVE_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ZDC_FUZZ_HAVE_ASAN 1
#endif
#ifdef ZDC_FUZZ_HAVE_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace zdc::fuzz {

GuardedOutput::GuardedOutput(int32_t width, int32_t height, bool withChroma, int32_t stride)
    : stride_(stride) {
  const size_t lumaSize = static_cast<size_t>(height) * static_cast<size_t>(stride);
  const size_t chromaSize = lumaSize / 16;
  pictureBytes_ = lumaSize + (withChroma ? 2 * chromaSize : 0);
  auto addRows = [&](size_t planeStart, int32_t rows, int32_t columns, int32_t pitch) {
    for (int32_t y = 0; y < rows && columns > 0; ++y) {
      pixels_.push_back({kGuardBytes + planeStart + static_cast<size_t>(y) * pitch,
                         static_cast<size_t>(columns)});
    }
  };
  addRows(0, height, width, stride);
  if (withChroma) {
    addRows(lumaSize, height / 4, width / 4, stride / 4);
    addRows(lumaSize + chromaSize, height / 4, width / 4, stride / 4);
  }
  // Whatever lies between the rows of pixels is fixed.
  size_t next = 0;
  for (const Range& row : pixels_) {
    if (row.start > next) fixed_.push_back({next, row.start - next});
    next = row.start + row.count;
  }
  bytes_.resize(pictureBytes_ + 2 * kGuardBytes);
  fixed_.push_back({next, bytes_.size() - next});

  fill_.resize(bytes_.size());
  for (size_t i = 0; i < fill_.size(); ++i) fill_[i] = FillAt(i);
  bytes_ = fill_;
  // Pixels start black, as a freshly allocated output sample would be zero.
  for (const Range& row : pixels_) std::memset(&bytes_[row.start], 0, row.count);
  Poison(true);
}

GuardedOutput::~GuardedOutput() { Poison(false); }

void GuardedOutput::Poison(bool on) {
#ifdef ZDC_FUZZ_HAVE_ASAN
  uint8_t* front = bytes_.data();
  uint8_t* back = bytes_.data() + kGuardBytes + pictureBytes_;
  if (on) {
    ASAN_POISON_MEMORY_REGION(front, kGuardBytes);
    ASAN_POISON_MEMORY_REGION(back, kGuardBytes);
  } else {
    ASAN_UNPOISON_MEMORY_REGION(front, kGuardBytes);
    ASAN_UNPOISON_MEMORY_REGION(back, kGuardBytes);
  }
#else
  (void)on;
#endif
}

bool GuardedOutput::Untouched(std::string* where) {
  Poison(false);
  bool intact = true;
  for (const Range& range : fixed_) {
    if (std::memcmp(&bytes_[range.start], &fill_[range.start], range.count) == 0) continue;
    size_t i = range.start;
    while (bytes_[i] == fill_[i]) ++i;
    *where = std::to_string(static_cast<long long>(i) - static_cast<long long>(kGuardBytes));
    intact = false;
    break;
  }
  Poison(true);
  return intact;
}

std::vector<uint8_t> GuardedOutput::Snapshot() const {
  const uint8_t* start = bytes_.data() + kGuardBytes;
  return std::vector<uint8_t>(start, start + pictureBytes_);
}

std::vector<uint8_t> GuardedOutput::Pixels() const {
  std::vector<uint8_t> pixels;
  for (const Range& row : pixels_) {
    pixels.insert(pixels.end(), bytes_.begin() + static_cast<ptrdiff_t>(row.start),
                  bytes_.begin() + static_cast<ptrdiff_t>(row.start + row.count));
  }
  return pixels;
}

}  // namespace zdc::fuzz
