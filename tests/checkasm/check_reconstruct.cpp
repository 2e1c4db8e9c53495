// The key-block and delta-block reconstruction kernels: the new coefficient
// store slot and the 8x8 pixels must equal the portable kernel's, nothing
// outside the block, the slot and the 8x8 pixels may change, and the
// dequantization table is read-only.
//
// Each trial takes one kind of input, in turn, each reaching its own path of
// the kernels: random values; blocks of real pictures (a forward DCT of
// textured pixels, quantized with a quality's table and cut at a random end
// of block, so every rounding step shows); slots that saturate;
// dequantization products that wrap; rows zero in full or in one half, or
// the whole block (the portable kernel's shortcuts); pixels far outside
// 0..255 or extreme DC values.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "checkasm.h"
#include "coefficient_block.h"
#include "dequant_tracker.h"
#include "forward_dct.h"

namespace zdc::checkasm {
namespace {

enum Kind { kRandom, kPicture, kSaturating, kWrapping, kZeroRows, kExtreme, kKinds };

struct Inputs {
  int32_t pitch;
  int16_t block[64], slot[64];  // before the call
  uint16_t table[64];
};

int16_t Clamp16(long v) { return static_cast<int16_t>(std::clamp(v, -32768L, 32767L)); }

int16_t NonZero(Random& random, int32_t magnitude) {  // either sign, at most `magnitude`
  return static_cast<int16_t>(random.Range(1, magnitude) * random.Pick({1, -1}));
}

// Quantized coefficients of an 8x8 block of a plausible picture (a level, a
// gradient, an edge, noise), cut after a random end of block in scan order.
void PictureCoefficients(Random& random, const uint16_t table[64], int16_t c[64]) {
  const int level = random.Range(0, 255), gx = random.Range(-24, 24), gy = random.Range(-24, 24);
  const int noise = random.Chance(30) ? 0 : random.Range(1, 40);
  const bool edge = random.Chance(40);
  const int ex = random.Range(-8, 8), ey = random.Range(-8, 8), ec = random.Range(-40, 40);
  const int step = random.Range(-160, 160);
  uint8_t pixels[64];
  for (int r = 0; r < 8; ++r) {
    for (int u = 0; u < 8; ++u) {
      int v = level + (gx * (2 * u - 7) + gy * (2 * r - 7)) / 4 +
              (noise ? random.Range(-noise, noise) : 0);
      if (edge && ex * (2 * u - 7) + ey * (2 * r - 7) > ec) v += step;
      pixels[8 * r + u] = static_cast<uint8_t>(std::clamp(v, 0, 255));
    }
  }
  double f[64];
  ForwardDct(pixels, 8, f);
  for (int i = 0; i < 64; ++i) c[i] = Clamp16(std::lround(f[i] / table[i]));
  const int end = random.Chance(30) ? random.Range(0, 6) : random.Range(0, 64);
  for (int k = end; k < 64; ++k) c[kZigzag[k]] = 0;
}

Inputs MakeInputs(Random& random, bool delta, Kind kind) {
  Inputs in;
  in.pitch = Pitch(random, 8, 64, 15);
  random.Fill(reinterpret_cast<uint8_t*>(in.block), sizeof in.block);
  random.Fill(reinterpret_cast<uint8_t*>(in.slot), sizeof in.slot);
  const int style = random.Range(0, 4);
  const int32_t same = random.Pick({1, 65535});
  for (uint16_t& q : in.table) {
    const int32_t styles[] = {random.Range(0, 65535), random.Range(1, 255),
                              random.Pick({1, 65535, 2, 32767, 32768, 65534}), same,
                              random.Chance(25) ? random.Pick({1, 65535}) : random.Range(1, 65535)};
    q = static_cast<uint16_t>(styles[style]);
  }
  int16_t c[64] = {};  // the new slot values wanted, for most kinds
  const bool small = random.Chance(75);
  if (kind == kPicture || (kind == kZeroRows && small)) {  // a table as the decoder builds it
    DequantTracker tracker;
    tracker.NextFrame(static_cast<uint16_t>(random.Range(0, 100)));
    std::memcpy(in.table, tracker.Table(), sizeof in.table);
  }
  switch (kind) {
    case kRandom:
      return in;
    case kPicture:
      PictureCoefficients(random, in.table, delta ? in.slot : in.block);
      if (!delta) return in;
      PictureCoefficients(random, in.table, c);  // a later picture of the block: the change
      for (int i = 0; i < 64; ++i) in.block[i] = Clamp16(long{c[i]} - in.slot[i]);
      return in;
    case kSaturating:
      for (int i = 0; i < 64; ++i) {
        if (random.Chance(70)) in.slot[i] = random.Pick<int16_t>({32767, -32768, 32766, -32767});
        if (random.Chance(70)) in.block[i] = random.Pick<int16_t>({1, -1, 2, -2, 32767, -32768, 0});
      }
      return in;
    case kWrapping:
      for (int i = 0; i < 64; ++i) {
        const int way = random.Range(0, 3), a = random.Range(1, 15);
        if (way == 0) {  // a product of exactly +-65536
          c[i] = static_cast<int16_t>(a == 15 ? -32768 : random.Chance(50) ? 1 << a : -(1 << a));
          in.table[i] = static_cast<uint16_t>(1u << (16 - a));
        } else {
          c[i] = way == 1 ? 2048 : NonZero(random, random.Chance(50) ? 32767 : 2048);
          in.table[i] = static_cast<uint16_t>(way == 1 ? 32 : random.Range(256, 65535));
        }
      }
      break;
    case kZeroRows:  // small values keep the dequantized halves as they are
      for (int r = 0, all = random.Chance(20); r < 8; ++r) {
        const int mode = all ? 3 : random.Range(0, 3);  // left, right, neither, both zero
        for (int u = 0; u < 8; ++u) {
          const bool zero = (mode == 0 && u < 4) || (mode == 1 && u >= 4) || mode == 3;
          c[8 * r + u] = zero ? 0 : NonZero(random, small ? 127 : 32767);
        }
      }
      break;
    case kExtreme:
      if (small) {  // pixels far outside 0..255
        for (uint16_t& q : in.table) q = static_cast<uint16_t>(random.Range(1, 4));
        c[0] = random.Chance(20) ? random.Pick<int16_t>({32767, -32768})
                                 : NonZero(random, random.Range(8000, 32767));
        for (int k = random.Range(1, 12); k > 0; --k) {
          c[random.Range(1, 63)] = NonZero(random, random.Range(1000, 32767));
        }
      } else {  // an extreme DC
        c[0] =
            random.Pick<int16_t>({32767, -32768, -32767, 1023, 1024, 1, -1, 0, 16383, 4095, -4096});
        in.table[0] = random.Pick<uint16_t>({1, 65535, 8, 13, 32, 2});
        if (random.Chance(30)) c[random.Range(1, 63)] = NonZero(random, 50);
      }
      break;
    default:
      break;
  }
  // The wanted values: as the block for the key kernel; for the delta kernel
  // as a slot and a change that add up to them (all change, none, or some).
  const int mode = random.Range(0, 2);
  for (int i = 0; i < 64 && delta; ++i) {
    int32_t change = mode == 0 ? c[i] : mode == 1 ? 0 : random.Range(-300, 300);
    if (c[i] - change < -32768 || c[i] - change > 32767) change = 0;
    in.slot[i] = static_cast<int16_t>(c[i] - change);
    in.block[i] = static_cast<int16_t>(change);
  }
  if (!delta) std::memcpy(in.block, c, sizeof c);
  return in;
}

Outcome Run(bool delta, const Kernels& kernels, uint64_t seed, int trial) {
  Random random(seed);
  const Inputs in = MakeInputs(random, delta, static_cast<Kind>(trial % kKinds));
  // The block, a guard and the slot, aligned as the kernels load them; the
  // table read-only.
  guarded::Area values(320, random.Next64());
  int16_t* block = reinterpret_cast<int16_t*>(values.Allow(0, 128, 2, 192));
  int16_t* slot = block + 96;
  std::memcpy(block, in.block, 128);
  std::memcpy(slot, in.slot, 128);
  const guarded::Input table(reinterpret_cast<const uint8_t*>(in.table), 128);
  uint8_t* pixels;
  guarded::Area plane = OutputPlane(8, 8, in.pitch, random, &pixels);
  (delta ? kernels.block.reconstructDelta : kernels.block.reconstructKey)(
      block, pixels, in.pitch, slot, reinterpret_cast<const uint16_t*>(table.data()));
  if (!values.Intact()) return {{}, "wrote next to the block or the slot"};
  if (!plane.Intact()) return {{}, "wrote outside the 8x8 pixels"};
  Outcome outcome{plane.Allowed(), ""};  // 64 pixels, then the new slot's 128 bytes
  outcome.output.insert(outcome.output.end(), values.data() + 192, values.data() + 320);
  return outcome;
}

}  // namespace

const KernelCheck kReconstructKeyCheck = {
    "reconstruct_key_block", CHECKASM_VARIANT(block.reconstructKey), 1,
    [](const Kernels& k, uint64_t seed, int trial) { return Run(false, k, seed, trial); }};

const KernelCheck kReconstructDeltaCheck = {
    "reconstruct_delta_block", CHECKASM_VARIANT(block.reconstructDelta), 1,
    [](const Kernels& k, uint64_t seed, int trial) { return Run(true, k, seed, trial); }};

}  // namespace zdc::checkasm
