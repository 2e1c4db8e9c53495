#include "guarded_output.h"

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
  writable_.assign(pictureBytes_, 0);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) writable_[static_cast<size_t>(y) * stride + x] = 1;
  }
  if (withChroma) {
    for (size_t plane = 0; plane < 2; ++plane) {
      const size_t start = lumaSize + plane * chromaSize;
      for (int32_t y = 0; y < height / 4; ++y) {
        for (int32_t x = 0; x < width / 4; ++x) {
          writable_[start + static_cast<size_t>(y) * (stride / 4) + x] = 1;
        }
      }
    }
  }
  bytes_.resize(pictureBytes_ + 2 * kGuardBytes);
  for (size_t i = 0; i < bytes_.size(); ++i) bytes_[i] = FillAt(i);
  // Pixels start black, as a freshly allocated output sample would be zero.
  for (size_t i = 0; i < pictureBytes_; ++i) {
    if (writable_[i]) bytes_[kGuardBytes + i] = 0;
  }
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
  for (size_t i = 0; i < bytes_.size() && intact; ++i) {
    const bool guard = i < kGuardBytes || i >= kGuardBytes + pictureBytes_;
    if ((guard || !writable_[i - kGuardBytes]) && bytes_[i] != FillAt(i)) {
      intact = false;
      *where = std::to_string(static_cast<long long>(i) - static_cast<long long>(kGuardBytes));
    }
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
  const uint8_t* start = bytes_.data() + kGuardBytes;
  for (size_t i = 0; i < pictureBytes_; ++i) {
    if (writable_[i]) pixels.push_back(start[i]);
  }
  return pixels;
}

}  // namespace zdc::fuzz
