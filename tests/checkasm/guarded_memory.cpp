// Buffers that catch a kernel reading or writing outside its rows: inputs
// between inaccessible pages, outputs inside guard bands of known bytes.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "checkasm.h"

namespace zdc {
namespace checkasm {

GuardedBuffer::GuardedBuffer(size_t size, FlushAgainst flush, Random& random) : size_(size) {
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  const size_t dataPages = (size + page - 1) / page;
  mappingSize_ = (dataPages + 2) * page;
  mapping_ = mmap(nullptr, mappingSize_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                  -1, 0);
  if (mapping_ == MAP_FAILED) {
    std::perror("checkasm: mmap");
    std::exit(2);
  }
  uint8_t* base = static_cast<uint8_t*>(mapping_);
  mprotect(base, page, PROT_NONE);
  mprotect(base + (dataPages + 1) * page, page, PROT_NONE);
  data_ = flush == FlushAgainst::kStart ? base + page : base + (dataPages + 1) * page - size;
  random.Fill(data_, size_);
}

GuardedBuffer::~GuardedBuffer() { munmap(mapping_, mappingSize_); }

namespace {
constexpr size_t kGuardBytes = 32;
constexpr int32_t kGuardRows = 2;
}  // namespace

GuardedPlane::GuardedPlane(int32_t rowBytes, int32_t rows, int32_t pitch, Random& random)
    : pitch_(pitch) {
  const size_t absPitch = static_cast<size_t>(pitch < 0 ? -pitch : pitch);
  const size_t column = static_cast<size_t>(random.Range(0, static_cast<int32_t>(absPitch) - rowBytes));
  bytes_.resize(2 * kGuardBytes + static_cast<size_t>(rows + 2 * kGuardRows) * absPitch);
  random.Fill(bytes_.data(), bytes_.size());
  pattern_ = bytes_;
  const size_t firstRow = pitch < 0 ? static_cast<size_t>(kGuardRows + rows - 1) : kGuardRows;
  origin_ = kGuardBytes + firstRow * absPitch + column;
  footprint_.assign(bytes_.size(), 0);
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < rowBytes; ++c) footprint_[IndexOf(r, c)] = 1;
  }
}

size_t GuardedPlane::IndexOf(int32_t row, int32_t column) const {
  return static_cast<size_t>(static_cast<ptrdiff_t>(origin_) +
                             static_cast<ptrdiff_t>(row) * pitch_ + column);
}

ptrdiff_t GuardedPlane::FirstStrayWrite() const {
  for (size_t i = 0; i < bytes_.size(); ++i) {
    if (!footprint_[i] && bytes_[i] != pattern_[i]) return static_cast<ptrdiff_t>(i);
  }
  return -1;
}

}  // namespace checkasm
}  // namespace zdc
