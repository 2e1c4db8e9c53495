// A scratch folder for tests that write files, removed with its contents when
// the object goes away, and whole-file reads and writes.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace zdc_test {

class MediaTempDir {
 public:
  MediaTempDir() : path_((std::filesystem::temp_directory_path() / "zdc_media_XXXXXX").string()) {
    if (!mkdtemp(path_.data())) throw std::runtime_error("cannot create a temporary folder");
  }
  ~MediaTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  MediaTempDir(const MediaTempDir&) = delete;
  MediaTempDir& operator=(const MediaTempDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline void WriteMediaFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

inline std::vector<uint8_t> ReadMediaFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace zdc_test
