#include "guarded_memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zdc::guarded {

Input::Input(const uint8_t* data, size_t size, Flush flush) : size_(size) {
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  const size_t dataPages = (size + page - 1) / page;
  mappingSize_ = (dataPages + 2) * page;
  void* mapping =
      mmap(nullptr, mappingSize_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) {
    std::perror("guarded input: mmap");
    std::abort();
  }
  mapping_ = static_cast<uint8_t*>(mapping);
  data_ = flush == kFlushStart ? mapping_ + page : mapping_ + (dataPages + 1) * page - size;
  if (size) std::memcpy(data_, data, size);
  mprotect(mapping_, mappingSize_, PROT_NONE);
  mprotect(mapping_ + page, dataPages * page, PROT_READ);
}

Input::~Input() { munmap(mapping_, mappingSize_); }

Area::Area(size_t size, uint64_t seed) : bytes_(size + 2 * kGuard) {
  Random(seed).Fill(bytes_.data(), bytes_.size());
  pattern_ = bytes_;
}

uint8_t* Area::Allow(size_t start, int32_t rowBytes, int32_t rows, int32_t pitch) {
  const size_t step = static_cast<size_t>(pitch < 0 ? -pitch : pitch);
  for (int32_t r = 0; r < rows && rowBytes > 0; ++r) {
    rows_.emplace_back(kGuard + start + static_cast<size_t>(r) * step, rowBytes);
  }
  return data() + start + (pitch < 0 && rows > 0 ? static_cast<size_t>(rows - 1) * step : 0);
}

bool Area::Intact() const {
  std::vector<uint8_t> bytes = bytes_;  // with the allowed rows as they started
  for (const auto& [at, length] : rows_) std::memcpy(&bytes[at], &pattern_[at], length);
  return bytes == pattern_;
}

std::vector<uint8_t> Area::Allowed() const {
  std::vector<uint8_t> bytes;
  for (const auto& [at, length] : rows_)
    bytes.insert(bytes.end(), &bytes_[at], &bytes_[at] + length);
  return bytes;
}

uint64_t Random::Next64() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

int32_t Random::Range(int32_t low, int32_t high) {
  const uint64_t span = static_cast<uint64_t>(int64_t{high} - low) + 1;
  return static_cast<int32_t>(low + static_cast<int64_t>(Next64() % span));
}

void Random::Fill(uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; i += 8) {
    const uint64_t v = Next64();
    std::memcpy(bytes + i, &v, count - i < 8 ? count - i : 8);
  }
}

}  // namespace zdc::guarded
