#include "chroma_resample.h"

#include <cstring>

namespace zdc {

namespace {

void Downsample(const uint8_t* source, int sourceWidth, int stepX, int stepY, int width, int height,
                uint8_t* out) {
  const int count = stepX * stepY;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int sum = 0;
      for (int dy = 0; dy < stepY; ++dy) {
        const uint8_t* row = source + static_cast<size_t>(y * stepY + dy) * sourceWidth + x * stepX;
        for (int dx = 0; dx < stepX; ++dx) sum += row[dx];
      }
      *out++ = static_cast<uint8_t>((sum + count / 2) / count);
    }
  }
}

}  // namespace

void DownsampleY4mTo410(const Y4mHeader& header, const Y4mFrame& frame, uint8_t* v, uint8_t* u) {
  const int width = header.width / 4, height = header.height / 4;
  if (header.chroma == Y4mChroma::kMono) {
    std::memset(v, 128, static_cast<size_t>(width) * height);
    std::memset(u, 128, static_cast<size_t>(width) * height);
    return;
  }
  // Chroma samples per 4 luma samples across and down.
  const int stepX = header.chroma == Y4mChroma::k444 ? 4 : 2;
  const int stepY = header.chroma == Y4mChroma::k444 || header.chroma == Y4mChroma::k422 ? 4 : 2;
  Downsample(frame.cr.data(), header.ChromaWidth(), stepX, stepY, width, height, v);
  Downsample(frame.cb.data(), header.ChromaWidth(), stepX, stepY, width, height, u);
}

}  // namespace zdc
