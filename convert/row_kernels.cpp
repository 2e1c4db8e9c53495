// The portable row kernels: the definition every vector variant must match
// byte for byte, and the tails of the vector rows.
#include "bt601_fixed_point.h"
#include "convert_kernels.h"

namespace zdc {

void ExpandChroma_c(const uint8_t* in, uint8_t* out, int count) {
  for (int i = 0; i < count; ++i) out[i] = in[i / 2];
}

void InterleaveChroma_c(const uint8_t* u, const uint8_t* v, uint8_t* out, int pairs) {
  for (int i = 0; i < pairs; ++i) {
    out[2 * i] = u[i / 2];
    out[2 * i + 1] = v[i / 2];
  }
}

void PackYuy2_c(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* out, int width) {
  for (int x = 0; x < width; x += 2, out += 4) {
    out[0] = y[x];
    out[1] = u[x / 4];
    out[2] = y[x + 1 < width ? x + 1 : x];
    out[3] = v[x / 4];
  }
}

void ChromaTerms_c(const uint8_t* u, const uint8_t* v, int16_t* bg, int16_t* rx, int count) {
  for (int i = 0; i < count; ++i) {
    const bt601::ChromaTerms t = bt601::ChromaTermsOf(u[i], v[i]);
    for (int pixel = 4 * i; pixel < 4 * i + 4; ++pixel) {
      bg[2 * pixel] = t.b;
      bg[2 * pixel + 1] = t.g;
      rx[2 * pixel] = t.r;
      rx[2 * pixel + 1] = bt601::kOpaque;
    }
  }
}

namespace {

template <int kBytesPerPixel>
void RgbRow(const uint8_t* y, const ChromaTermRow& terms, uint8_t* out, int width) {
  for (int x = 0; x < width; ++x, out += kBytesPerPixel) {
    const int luma = bt601::LumaTerm(y[x]);
    out[0] = bt601::ColourValue(luma, terms.bg[2 * x]);
    out[1] = bt601::ColourValue(luma, terms.bg[2 * x + 1]);
    out[2] = bt601::ColourValue(luma, terms.rx[2 * x]);
    if (kBytesPerPixel == 4) out[kBytesPerPixel - 1] = bt601::ColourValue(luma, terms.rx[2 * x + 1]);
  }
}

}  // namespace

void Rgb32Row_c(const uint8_t* y, const ChromaTermRow& terms, uint8_t* out, int width) {
  RgbRow<4>(y, terms, out, width);
}

void Rgb24Row_c(const uint8_t* y, const ChromaTermRow& terms, uint8_t* out, int width) {
  RgbRow<3>(y, terms, out, width);
}

}  // namespace zdc
