// Portable block reconstruction: coefficient store update, dequantization and
// the fixed-point inverse DCT. This is the definition every SIMD variant must
// match bit for bit, so each step is written exactly as the arithmetic goes:
// a row pass in wrapping 32-bit arithmetic, a column pass in which every
// addition saturates to 16 bits on its own, and a final shift and clamp.
#include <cstddef>
#include <cstdint>

#include "block_kernels.h"

namespace zdc {
namespace {

// Row-pass coefficient sets (W1..W7), the row tables of a fast 8x8 IDCT.
constexpr int32_t kT04[7] = {16384, 21407, 8867, 22725, 19266, 12873, 4520};
constexpr int32_t kT17[7] = {22725, 29692, 12299, 31521, 26722, 17855, 6270};
constexpr int32_t kT26[7] = {21407, 27969, 11585, 29692, 25172, 16819, 5906};
constexpr int32_t kT35[7] = {19266, 25172, 10426, 26722, 22654, 15137, 5315};
constexpr const int32_t* kRowSet[8] = {kT04, kT17, kT26, kT35, kT04, kT35, kT26, kT17};
// Per-row rounding; row 0 carries the rounding of the final shift (65535, not 65536).
constexpr int32_t kRowRounding[8] = {65535, 3612, 2271, 1203, 1023, 102, 398, 469};

constexpr int16_t kT1 = 13036, kT2 = 27146, kT3 = -21746, kC4 = 23170;

inline int16_t Sat16(int32_t v) {
  return static_cast<int16_t>(v < -32768 ? -32768 : v > 32767 ? 32767 : v);
}
inline int16_t Add(int16_t a, int16_t b) { return Sat16(int32_t{a} + b); }
inline int16_t Sub(int16_t a, int16_t b) { return Sat16(int32_t{a} - b); }
// High half of the signed 32-bit product.
inline int16_t MulHi(int16_t a, int16_t k) {
  return static_cast<int16_t>((int32_t{a} * k) >> 16);
}

// Signed 32-bit multiply-accumulate that wraps on overflow.
inline uint32_t Mul(int32_t w, int16_t x) {
  return static_cast<uint32_t>(w) * static_cast<uint32_t>(static_cast<int32_t>(x));
}

void RowPass(int16_t* row, int r) {
  const int32_t* w = kRowSet[r];
  const int32_t W1 = w[0], W2 = w[1], W3 = w[2], W4 = w[3], W5 = w[4], W6 = w[5], W7 = w[6];
  const int32_t R = kRowRounding[r];
  if ((row[0] | row[1] | row[2] | row[3] | row[4] | row[5] | row[6] | row[7]) == 0) {
    const int16_t v = static_cast<int16_t>(R >> 11);
    for (int i = 0; i < 8; ++i) row[i] = v;
    return;
  }
  const int16_t x0 = row[0], x1 = row[1], x2 = row[2], x3 = row[3];
  const int16_t x4 = row[4], x5 = row[5], x6 = row[6], x7 = row[7];
  uint32_t e[4], o[4];
  e[0] = Mul(W1, x0) + Mul(W2, x2) + Mul(W1, x4) + Mul(W3, x6);
  e[1] = Mul(W1, x0) + Mul(W3, x2) - Mul(W1, x4) - Mul(W2, x6);
  e[2] = Mul(W1, x0) - Mul(W3, x2) - Mul(W1, x4) + Mul(W2, x6);
  e[3] = Mul(W1, x0) - Mul(W2, x2) + Mul(W1, x4) - Mul(W3, x6);
  o[0] = Mul(W4, x1) + Mul(W5, x3) + Mul(W6, x5) + Mul(W7, x7);
  o[1] = Mul(W5, x1) - Mul(W7, x3) - Mul(W4, x5) - Mul(W6, x7);
  o[2] = Mul(W6, x1) - Mul(W4, x3) + Mul(W7, x5) + Mul(W5, x7);
  o[3] = Mul(W7, x1) - Mul(W6, x3) + Mul(W5, x5) - Mul(W4, x7);
  for (int i = 0; i < 4; ++i) {
    const uint32_t base = e[i] + static_cast<uint32_t>(R);
    row[i] = Sat16(static_cast<int32_t>(base + o[i]) >> 11);
    row[7 - i] = Sat16(static_cast<int32_t>(base - o[i]) >> 11);
  }
}

void ColumnPass(const int16_t* block, int u, uint8_t* destination, int32_t pitch) {
  const int16_t X0 = block[u], X1 = block[8 + u], X2 = block[16 + u], X3 = block[24 + u];
  const int16_t X4 = block[32 + u], X5 = block[40 + u], X6 = block[48 + u], X7 = block[56 + u];

  const int16_t tm35 = Sub(Add(MulHi(X3, kT3), X3), X5);
  const int16_t tp35 = Add(Add(MulHi(X5, kT3), X5), X3);
  const int16_t tp17 = Add(MulHi(X7, kT1), X1);
  const int16_t tm17 = Sub(MulHi(X1, kT1), X7);
  const int16_t t1 = Sub(tp17, tp35);
  const int16_t b3 = Sub(tm17, tm35);
  const int16_t b0 = Add(tp35, tp17);
  const int16_t t2 = Add(tm35, tm17);
  const int16_t h2 = MulHi(Sub(t1, t2), kC4);
  const int16_t h1 = MulHi(Add(t1, t2), kC4);
  const int16_t b2 = Add(h2, h2);
  const int16_t b1 = Add(h1, h1);
  const int16_t tp26 = Add(MulHi(X6, kT2), X2);
  const int16_t tm26 = Sub(MulHi(X2, kT2), X6);
  const int16_t tm04 = Sub(X0, X4);
  const int16_t tp04 = Add(X4, X0);
  const int16_t a3 = Sub(tp04, tp26);
  const int16_t a0 = Add(tp26, tp04);
  const int16_t a2 = Sub(tm04, tm26);
  const int16_t a1 = Add(tm26, tm04);

  const int16_t out[8] = {Add(b0, a0), Add(b1, a1), Add(b2, a2), Add(b3, a3),
                          Sub(a3, b3), Sub(a2, b2), Sub(a1, b1), Sub(a0, b0)};
  for (int r = 0; r < 8; ++r) {
    const int v = out[r] >> 6;
    destination[static_cast<ptrdiff_t>(r) * pitch + u] =
        static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
  }
}

// Dequantizes c (the block's new slot) into `block`, then transforms it into
// the destination pixels.
void Transform(int16_t* block, const int16_t* c, const uint16_t* dequant, uint8_t* destination,
               int32_t pitch) {
  for (int i = 0; i < 64; ++i) {
    // Low 16 bits of the product, read as signed: dequantization wraps.
    const uint32_t product = uint32_t{static_cast<uint16_t>(c[i])} * dequant[i];
    block[i] = static_cast<int16_t>(static_cast<uint16_t>(product));
  }
  for (int r = 0; r < 8; ++r) RowPass(block + 8 * r, r);
  for (int u = 0; u < 8; ++u) ColumnPass(block, u, destination, pitch);
}

}  // namespace

void ReconstructKeyBlock_c(int16_t* block, uint8_t* destination, int32_t pitch, int16_t* slot,
                           const uint16_t* dequant) {
  for (int i = 0; i < 64; ++i) slot[i] = block[i];
  Transform(block, slot, dequant, destination, pitch);
}

void ReconstructDeltaBlock_c(int16_t* block, uint8_t* destination, int32_t pitch, int16_t* slot,
                             const uint16_t* dequant) {
  for (int i = 0; i < 64; ++i) slot[i] = Sat16(int32_t{slot[i]} + block[i]);
  Transform(block, slot, dequant, destination, pitch);
}

}  // namespace zdc
