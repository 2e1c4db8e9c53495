// File names for a sequence of PNG pictures: either a folder (pictures named
// frame_000001.png, frame_000002.png, ...) or a printf-style pattern holding
// exactly one integer conversion such as out_%04d.png. The pattern is checked
// and expanded here; user text never reaches printf. Numbering starts at 1.
#pragma once

#include <cstdint>
#include <string>

namespace zdc {

class PngNamePattern {
 public:
  // Accepts text with exactly one conversion %d, %i or %u, optionally with
  // the flag 0 and a width of up to two digits (%04d), and any number of %%.
  // Throws MediaError naming the problem otherwise.
  static PngNamePattern FromPattern(const std::string& pattern);
  // `folder`/frame_NNNNNN.png.
  static PngNamePattern InFolder(const std::string& folder);

  // True when `text` contains a '%', i.e. is meant as a pattern.
  static bool LooksLikePattern(const std::string& text);

  std::string Name(uint64_t number) const;

 private:
  std::string prefix_, suffix_;
  int width_ = 0;
  bool zeroPad_ = false;
};

}  // namespace zdc
