// A scratch folder for tests that write files; removed with its contents when
// the object goes away.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zdc_test {

class MediaTempDir {
 public:
  MediaTempDir();
  ~MediaTempDir();
  MediaTempDir(const MediaTempDir&) = delete;
  MediaTempDir& operator=(const MediaTempDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void WriteMediaFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadMediaFile(const std::string& path);

}  // namespace zdc_test
