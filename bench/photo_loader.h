// A JPEG photo as a benchmark picture: decoded with TurboJPEG at the smallest
// of its DCT scaling factors that still covers the wanted size, then cropped
// around the centre.
#pragma once

#include <cstdint>
#include <string>

#include "source_image.h"

namespace zdc {
namespace bench {

// False, with the reason in *error, when the file cannot be read or decoded
// or is smaller than width x height.
bool LoadPhoto(const std::string& path, int32_t width, int32_t height, SourceImage* image,
               std::string* error);

}  // namespace bench
}  // namespace zdc
