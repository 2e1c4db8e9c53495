#include "picture_metrics.h"

#include <cmath>
#include <limits>
#include <stdexcept>

namespace zdc {
namespace {

uint64_t SquaredError(const uint8_t* a, const uint8_t* b, size_t count) {
  uint64_t sum = 0;
  for (size_t i = 0; i < count; ++i) {
    const int32_t d = int32_t{a[i]} - b[i];
    sum += static_cast<uint64_t>(d * d);
  }
  return sum;
}

double PsnrFromError(uint64_t squaredError, size_t count) {
  if (squaredError == 0 || count == 0) return std::numeric_limits<double>::infinity();
  const double meanSquaredError = static_cast<double>(squaredError) / static_cast<double>(count);
  return 10.0 * std::log10(255.0 * 255.0 / meanSquaredError);
}

}  // namespace

double Psnr(const uint8_t* a, const uint8_t* b, size_t count) {
  return PsnrFromError(SquaredError(a, b, count), count);
}

PicturePsnr ComparePictures(const Picture& reference, const Picture& picture) {
  if (reference.width != picture.width || reference.height != picture.height ||
      reference.withChroma != picture.withChroma || !reference.IsWellFormed() ||
      !picture.IsWellFormed()) {
    throw std::invalid_argument("pictures of different shape");
  }
  PicturePsnr result;
  const uint64_t lumaError =
      SquaredError(reference.luma.data(), picture.luma.data(), picture.luma.size());
  result.luma = PsnrFromError(lumaError, picture.luma.size());
  uint64_t totalError = lumaError;
  size_t totalCount = picture.luma.size();
  for (int p = 0; p < 2; ++p) {
    const size_t count = picture.chroma[p].size();
    const uint64_t error = SquaredError(reference.chroma[p].data(), picture.chroma[p].data(), count);
    result.chroma[p] = PsnrFromError(error, count);
    totalError += error;
    totalCount += count;
  }
  result.overall = PsnrFromError(totalError, totalCount);
  return result;
}

}  // namespace zdc
