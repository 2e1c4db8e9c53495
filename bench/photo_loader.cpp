#include "photo_loader.h"

#include <turbojpeg.h>

#include <fstream>
#include <iterator>
#include <vector>

namespace zdc {
namespace bench {

bool LoadPhoto(const std::string& path, int32_t width, int32_t height, SourceImage* image,
               std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *error = "cannot open " + path;
    return false;
  }
  std::vector<unsigned char> jpeg((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
  tjhandle handle = tjInitDecompress();
  if (!handle) {
    *error = "tjInitDecompress failed";
    return false;
  }
  bool ok = false;
  int fullWidth = 0, fullHeight = 0, subsamp = 0, colorspace = 0;
  if (tjDecompressHeader3(handle, jpeg.data(), static_cast<unsigned long>(jpeg.size()), &fullWidth,
                          &fullHeight, &subsamp, &colorspace) != 0) {
    *error = path + ": " + tjGetErrorStr2(handle);
  } else {
    // The smallest scaled size that still covers the wanted one.
    int count = 0;
    tjscalingfactor* factors = tjGetScalingFactors(&count);
    int scaledWidth = 0, scaledHeight = 0;
    for (int i = 0; i < count; ++i) {
      const int w = TJSCALED(fullWidth, factors[i]), h = TJSCALED(fullHeight, factors[i]);
      if (w >= width && h >= height && (scaledWidth == 0 || w < scaledWidth)) {
        scaledWidth = w;
        scaledHeight = h;
      }
    }
    if (scaledWidth == 0) {
      *error = path + " is smaller than the picture size";
    } else {
      std::vector<unsigned char> rgb(static_cast<size_t>(scaledWidth) * scaledHeight * 3);
      if (tjDecompress2(handle, jpeg.data(), static_cast<unsigned long>(jpeg.size()), rgb.data(),
                        scaledWidth, 0, scaledHeight, TJPF_RGB, 0) != 0) {
        *error = path + ": " + tjGetErrorStr2(handle);
      } else {
        *image = SourceImage::Create(width, height);
        const int x0 = (scaledWidth - width) / 2, y0 = (scaledHeight - height) / 2;
        for (int32_t y = 0; y < height; ++y) {
          const unsigned char* row = rgb.data() + (static_cast<size_t>(y0 + y) * scaledWidth + x0) * 3;
          for (int32_t x = 0; x < width; ++x) {
            image->SetRgb(x, y, row[3 * x], row[3 * x + 1], row[3 * x + 2]);
          }
        }
        const size_t slash = path.find_last_of('/');
        image->description = "photo " + (slash == std::string::npos ? path : path.substr(slash + 1)) +
                             " (" + std::to_string(fullWidth) + "x" + std::to_string(fullHeight) +
                             " scaled to " + std::to_string(scaledWidth) + "x" +
                             std::to_string(scaledHeight) + ", centre crop)";
        ok = true;
      }
    }
  }
  tjDestroy(handle);
  return ok;
}

}  // namespace bench
}  // namespace zdc
