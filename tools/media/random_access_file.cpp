#include "random_access_file.h"

#include "media_error.h"

namespace zdc {

RandomAccessFile::RandomAccessFile(const std::string& path)
    : stream_(path, std::ios::binary | std::ios::in) {
  if (!stream_) throw MediaError("cannot open file");
  // std::streamoff is 64-bit with both libstdc++ targets we build for, so
  // files beyond 2 GB work on Windows too.
  stream_.seekg(0, std::ios::end);
  const std::streamoff end = stream_.tellg();
  if (end < 0) throw MediaError("cannot determine the file size (not a regular file?)");
  size_ = static_cast<uint64_t>(end);
}

bool RandomAccessFile::ReadAt(uint64_t offset, void* buffer, size_t count) {
  if (!Contains(offset, count)) return false;
  if (count == 0) return true;
  stream_.clear();
  stream_.seekg(static_cast<std::streamoff>(offset), std::ios::beg);
  stream_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(count));
  if (static_cast<size_t>(stream_.gcount()) != count) {
    stream_.clear();
    throw MediaError("read error");
  }
  return true;
}

}  // namespace zdc
