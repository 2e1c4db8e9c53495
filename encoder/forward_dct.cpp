#include "forward_dct.h"

#include <cmath>
#include <cstddef>

namespace zdc {
namespace {

// basis[k][x] = C(k) / 2 * cos((2x + 1) k pi / 16), C(0) = 1 / sqrt(2), else 1.
// The 2-D transform applies it once along the rows and once along the columns,
// which gives the familiar 1/4 C(u) C(v) scale.
struct DctBasis {
  double value[8][8];
  DctBasis() {
    const double pi = std::acos(-1.0);
    for (int k = 0; k < 8; ++k) {
      const double scale = k == 0 ? std::sqrt(0.125) : 0.5;
      for (int x = 0; x < 8; ++x) value[k][x] = scale * std::cos((2 * x + 1) * k * pi / 16.0);
    }
  }
};

const DctBasis& Basis() {
  static const DctBasis basis;
  return basis;
}

}  // namespace

void ForwardDct(const uint8_t* pixels, int32_t pitch, double coefficients[64]) {
  const auto& b = Basis().value;
  double rows[64];  // rows[8y + u]: horizontal transform of pixel row y
  for (int y = 0; y < 8; ++y) {
    const uint8_t* line = pixels + static_cast<ptrdiff_t>(y) * pitch;
    for (int u = 0; u < 8; ++u) {
      double sum = 0.0;
      for (int x = 0; x < 8; ++x) sum += b[u][x] * line[x];
      rows[8 * y + u] = sum;
    }
  }
  for (int v = 0; v < 8; ++v) {
    for (int u = 0; u < 8; ++u) {
      double sum = 0.0;
      for (int y = 0; y < 8; ++y) sum += b[v][y] * rows[8 * y + u];
      coefficients[8 * v + u] = sum;
    }
  }
}

void InverseDctReference(const double coefficients[64], double samples[64]) {
  const auto& b = Basis().value;
  double columns[64];  // columns[8y + u]: vertical inverse of frequency column u
  for (int y = 0; y < 8; ++y) {
    for (int u = 0; u < 8; ++u) {
      double sum = 0.0;
      for (int v = 0; v < 8; ++v) sum += b[v][y] * coefficients[8 * v + u];
      columns[8 * y + u] = sum;
    }
  }
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      double sum = 0.0;
      for (int u = 0; u < 8; ++u) sum += b[u][x] * columns[8 * y + u];
      samples[8 * y + x] = sum;
    }
  }
}

}  // namespace zdc
