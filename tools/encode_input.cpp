#include "encode_input.h"

#include <algorithm>

namespace zdc {
namespace {

// Averages the input chroma samples under each 4x4 luma area. `factorX` and
// `factorY` are the luma pixels per input chroma sample (1 or 2).
void ReducePlane(const std::vector<uint8_t>& source, int sourceWidth, int sourceHeight,
                 int factorX, int factorY, std::vector<uint8_t>& out, int outWidth,
                 int outHeight) {
  const int spanX = 4 / factorX, spanY = 4 / factorY;
  out.assign(static_cast<size_t>(outWidth) * outHeight, 128);
  for (int y = 0; y < outHeight; ++y) {
    for (int x = 0; x < outWidth; ++x) {
      unsigned sum = 0, count = 0;
      for (int dy = 0; dy < spanY; ++dy) {
        const int sy = std::min(y * spanY + dy, sourceHeight - 1);
        for (int dx = 0; dx < spanX; ++dx) {
          const int sx = std::min(x * spanX + dx, sourceWidth - 1);
          sum += source[static_cast<size_t>(sy) * sourceWidth + sx];
          ++count;
        }
      }
      out[static_cast<size_t>(y) * outWidth + x] = static_cast<uint8_t>((sum + count / 2) / count);
    }
  }
}

}  // namespace

Picture PictureFromY4m(const Y4mHeader& header, const Y4mFrame& frame, bool withChroma) {
  Picture picture = Picture::Create(header.width, header.height, withChroma, 128);
  picture.luma = frame.y;
  if (!withChroma || header.chroma == Y4mChroma::kMono) return picture;
  const int chromaWidth = header.ChromaWidth(), chromaHeight = header.ChromaHeight();
  const int factorX = header.chroma == Y4mChroma::k444 ? 1 : 2;
  const int factorY = header.chroma == Y4mChroma::k444 || header.chroma == Y4mChroma::k422 ? 1 : 2;
  ReducePlane(frame.cr, chromaWidth, chromaHeight, factorX, factorY, picture.chroma[0],
              picture.ChromaWidth(), picture.ChromaHeight());
  ReducePlane(frame.cb, chromaWidth, chromaHeight, factorX, factorY, picture.chroma[1],
              picture.ChromaWidth(), picture.ChromaHeight());
  return picture;
}

}  // namespace zdc
