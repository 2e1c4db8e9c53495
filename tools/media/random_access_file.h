// Read-only access to a file at 64-bit offsets, for containers larger than
// the memory we are willing to spend on them. Reads never go past the end of
// the file: a short read is an error, never a silent partial buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

namespace zdc {

class RandomAccessFile {
 public:
  // Throws MediaError when the file cannot be opened.
  explicit RandomAccessFile(const std::string& path);

  uint64_t Size() const { return size_; }

  // Reads exactly `count` bytes at `offset` into `buffer`. Returns false, and
  // reads nothing, when the range is not entirely inside the file; throws
  // MediaError when the system fails to deliver bytes that should be there.
  bool ReadAt(uint64_t offset, void* buffer, size_t count);

  // Whether [offset, offset + count) lies inside the file, overflow-safe.
  bool Contains(uint64_t offset, uint64_t count) const {
    return offset <= size_ && count <= size_ - offset;
  }

 private:
  std::ifstream stream_;
  uint64_t size_ = 0;
};

}  // namespace zdc
