// Checks of the key-block and delta-block reconstruction kernels: the new
// coefficient store slot and the 8x8 pixels must equal the portable kernel's,
// and nothing outside the slot and the 8x8 pixels may change.
//
// Each trial takes one kind of input, in turn: random values; small random
// values, which show every rounding step in the pixels; blocks of real
// pictures (a forward DCT of random textured pixel blocks, quantized with a
// quality table and cut at a random end of block); slots that saturate when
// the change is added; dequantization products that wrap; all-zero rows (the
// portable kernel's shortcut); rows zero in one half only; coefficients that drive
// pixels far outside 0..255; extreme DC values; all-zero blocks.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "checkasm.h"
#include "coefficient_block.h"
#include "dequant_tracker.h"
#include "forward_dct.h"

namespace zdc {
namespace checkasm {
namespace {

enum class Kind {
  kRandom,
  kSmallValues,
  kRealistic,
  kSaturatingSlot,
  kWrappingProducts,
  kZeroRows,
  kHalfZeroRows,
  kExtremePixels,
  kExtremeDc,
  kAllZero,
};
constexpr int kKinds = 10;

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::kRandom: return "random values";
    case Kind::kSmallValues: return "small random values";
    case Kind::kRealistic: return "picture blocks from a forward DCT";
    case Kind::kSaturatingSlot: return "saturating slot values";
    case Kind::kWrappingProducts: return "wrapping dequantization products";
    case Kind::kZeroRows: return "all-zero rows";
    case Kind::kHalfZeroRows: return "half-zero rows";
    case Kind::kExtremePixels: return "pixels far outside 0..255";
    case Kind::kExtremeDc: return "extreme DC";
    case Kind::kAllZero: return "all-zero block";
  }
  return "?";
}

int16_t Clamp16(long v) { return static_cast<int16_t>(std::clamp(v, -32768L, 32767L)); }

// A nonzero value of about `magnitude` or less, either sign.
int16_t NonZero(Random& random, int32_t magnitude) {
  const int16_t v = static_cast<int16_t>(random.Range(1, magnitude));
  return random.Chance(50) ? v : static_cast<int16_t>(-v);
}

int16_t Pick(Random& random, std::initializer_list<int> values) {
  return static_cast<int16_t>(values.begin()[random.Range(0, static_cast<int32_t>(values.size()) - 1)]);
}

// The table the decoder builds for a random frame quality.
void QualityTable(Random& random, uint16_t table[64]) {
  DequantTracker tracker;
  tracker.NextFrame(static_cast<uint16_t>(random.Range(0, 100)));
  std::memcpy(table, tracker.Table(), 64 * sizeof(uint16_t));
}

void RandomTable(Random& random, uint16_t table[64]) {
  const int style = random.Range(0, 4);
  const uint16_t same = random.Chance(50) ? 1 : 65535;
  for (int i = 0; i < 64; ++i) {
    switch (style) {
      case 0: table[i] = static_cast<uint16_t>(random.Range(0, 65535)); break;
      case 1: table[i] = static_cast<uint16_t>(random.Range(1, 255)); break;
      case 2: table[i] = static_cast<uint16_t>(Pick(random, {1, 65535, 2, 32767, 32768, 65534})); break;
      case 3: table[i] = same; break;
      default:
        table[i] = random.Chance(25) ? static_cast<uint16_t>(Pick(random, {1, 65535}))
                                     : static_cast<uint16_t>(random.Range(1, 65535));
    }
  }
}

// An 8x8 block of a plausible picture: a level, a gradient, an edge, noise.
void PicturePixels(Random& random, uint8_t pixels[64]) {
  const int level = random.Range(0, 255);
  const int gx = random.Range(-24, 24), gy = random.Range(-24, 24);
  const int noise = random.Chance(30) ? 0 : random.Range(1, 40);
  const bool edge = random.Chance(40);
  const int ex = random.Range(-8, 8), ey = random.Range(-8, 8), ec = random.Range(-40, 40);
  const int step = random.Range(-160, 160);
  for (int r = 0; r < 8; ++r) {
    for (int u = 0; u < 8; ++u) {
      int v = level + (gx * (2 * u - 7) + gy * (2 * r - 7)) / 4;
      if (noise) v += random.Range(-noise, noise);
      if (edge && ex * (2 * u - 7) + ey * (2 * r - 7) > ec) v += step;
      pixels[8 * r + u] = static_cast<uint8_t>(std::clamp(v, 0, 255));
    }
  }
}

// Quantized coefficients of `pixels`, cut after a random end of block in scan
// order (often early, as in real streams).
void PictureCoefficients(Random& random, const uint8_t pixels[64], const uint16_t table[64],
                         int16_t coefficients[64]) {
  double f[64];
  ForwardDct(pixels, 8, f);
  for (int i = 0; i < 64; ++i) coefficients[i] = Clamp16(std::lround(f[i] / table[i]));
  const int end = random.Chance(30) ? random.Range(0, 6) : random.Range(0, 64);
  for (int k = end; k < 64; ++k) coefficients[kZigzag[k]] = 0;
}

struct Inputs {
  Kind kind;
  int32_t pitch;
  alignas(16) int16_t block[64];
  alignas(16) int16_t slot[64];  // before the call
  alignas(16) uint16_t table[64];
};

// Puts the wanted new slot values `c` into the inputs: for the key kernel as
// the block, for the delta kernel as a slot and a change whose sum is `c`.
void SetNewCoefficients(Random& random, bool delta, const int16_t c[64], Inputs* in) {
  if (!delta) {
    std::memcpy(in->block, c, sizeof in->block);
    return;
  }
  const int mode = random.Range(0, 2);
  for (int i = 0; i < 64; ++i) {
    int32_t change = mode == 0 ? c[i] : mode == 1 ? 0 : random.Range(-300, 300);
    int32_t previous = c[i] - change;
    if (previous < -32768 || previous > 32767) previous = c[i], change = 0;
    in->slot[i] = static_cast<int16_t>(previous);
    in->block[i] = static_cast<int16_t>(change);
  }
}

void MakeInputs(Random& random, bool delta, Kind kind, Inputs* in) {
  in->kind = kind;
  in->pitch = random.Chance(20) ? 8 : random.Range(8, 72);
  if (random.Chance(15)) in->pitch = -in->pitch;
  for (int i = 0; i < 64; ++i) in->slot[i] = random.Int16(), in->block[i] = random.Int16();
  RandomTable(random, in->table);

  int16_t c[64] = {};
  switch (kind) {
    case Kind::kRandom:
      break;
    case Kind::kSmallValues:
      // Every row busy, dequantized values that neither wrap nor saturate:
      // the pixels follow every rounding of the row and column passes.
      QualityTable(random, in->table);
      for (int i = 0; i < 64; ++i) {
        const int32_t limit = std::max(1, 100 / in->table[i]);  // |d| up to about 100
        c[i] = static_cast<int16_t>(random.Range(-limit, limit));
      }
      c[0] = static_cast<int16_t>(random.Range(0, 2040 / in->table[0]));
      SetNewCoefficients(random, delta, c, in);
      break;
    case Kind::kRealistic: {
      QualityTable(random, in->table);
      uint8_t pixels[64];
      PicturePixels(random, pixels);
      if (!delta) {
        PictureCoefficients(random, pixels, in->table, in->block);
        break;
      }
      // The change from one picture of the block to a later one.
      PictureCoefficients(random, pixels, in->table, in->slot);
      if (random.Chance(50)) {
        for (uint8_t& p : pixels) p = static_cast<uint8_t>(std::clamp(p + random.Range(-12, 12), 0, 255));
      } else {
        PicturePixels(random, pixels);
      }
      int16_t later[64];
      PictureCoefficients(random, pixels, in->table, later);
      const int end = random.Range(0, 64);
      for (int k = 0; k < 64; ++k) {
        const int i = kZigzag[k];
        in->block[i] = k < end ? Clamp16(long{later[i]} - in->slot[i]) : 0;
      }
      break;
    }
    case Kind::kSaturatingSlot:
      for (int i = 0; i < 64; ++i) {
        in->slot[i] = random.Chance(70) ? Pick(random, {32767, -32768, 32766, -32767}) : random.Int16();
        in->block[i] = random.Chance(70)
                           ? Pick(random, {1, -1, 2, -2, 32767, -32768, 0})
                           : random.Int16();
      }
      break;
    case Kind::kWrappingProducts:
      for (int i = 0; i < 64; ++i) {
        switch (random.Range(0, 3)) {
          case 0: {  // a product of exactly +-65536: d = 0
            const int a = random.Range(1, 15);
            c[i] = static_cast<int16_t>(a == 15 ? -32768 : random.Chance(50) ? 1 << a : -(1 << a));
            in->table[i] = static_cast<uint16_t>(1u << (16 - a));
            break;
          }
          case 1:
            c[i] = 2048;
            in->table[i] = 32;
            break;
          default:
            c[i] = NonZero(random, random.Chance(50) ? 32767 : 2048);
            in->table[i] = static_cast<uint16_t>(random.Range(256, 65535));
        }
      }
      SetNewCoefficients(random, delta, c, in);
      break;
    case Kind::kZeroRows: {
      if (random.Chance(50)) {
        QualityTable(random, in->table);
        uint8_t pixels[64];
        PicturePixels(random, pixels);
        PictureCoefficients(random, pixels, in->table, c);
      } else {
        for (int16_t& v : c) v = random.Int16();
      }
      for (int r = 0; r < 8; ++r) {
        if (random.Chance(50)) std::fill(c + 8 * r, c + 8 * r + 8, int16_t{0});
      }
      SetNewCoefficients(random, delta, c, in);
      break;
    }
    case Kind::kHalfZeroRows: {
      // Small nonzero values with a quality table keep the dequantized values
      // nonzero too, so the rows reach the row pass half zero.
      const bool smallValues = random.Chance(75);
      if (smallValues) QualityTable(random, in->table);
      for (int r = 0; r < 8; ++r) {
        const int mode = random.Range(0, 3);  // 0: left half zero, 1: right half zero
        for (int u = 0; u < 8; ++u) {
          const bool zero = (mode == 0 && u < 4) || (mode == 1 && u >= 4) || mode == 3;
          c[8 * r + u] = zero ? 0 : NonZero(random, smallValues ? 127 : 32767);
        }
      }
      SetNewCoefficients(random, delta, c, in);
      break;
    }
    case Kind::kExtremePixels: {
      for (int i = 0; i < 64; ++i) in->table[i] = static_cast<uint16_t>(random.Range(1, 4));
      c[0] = random.Chance(20) ? Pick(random, {32767, -32768})
                               : NonZero(random, random.Range(8000, 32767));
      const int count = random.Range(1, 12);
      for (int k = 0; k < count; ++k) c[random.Range(1, 63)] = NonZero(random, random.Range(1000, 32767));
      SetNewCoefficients(random, delta, c, in);
      break;
    }
    case Kind::kExtremeDc:
      c[0] = Pick(random, {32767, -32768, -32767, 1023, 1024, 1, -1, 0, 16383, 4095, -4096});
      in->table[0] = static_cast<uint16_t>(Pick(random, {1, 65535, 8, 13, 32, 2}));
      if (random.Chance(30)) c[random.Range(1, 63)] = NonZero(random, 50);
      SetNewCoefficients(random, delta, c, in);
      break;
    case Kind::kAllZero:
      SetNewCoefficients(random, delta, c, in);
      break;
  }
}

constexpr int kGuard = 32;  // guard elements either side of the block, slot and table

template <class T>
struct alignas(16) GuardedArray {
  T area[64 + 2 * kGuard];
  T* Data() { return area + kGuard; }
  const T* Data() const { return area + kGuard; }
};

// What one variant did with one set of inputs.
struct Outcome {
  GuardedArray<int16_t> block, slot;
  GuardedArray<uint16_t> table;
  std::optional<GuardedPlane> plane;
};

// Runs `kernel` on copies of the inputs inside guard bands made from
// `layoutSeed` (the same for both variants); returns what it touched outside
// its outputs, or an empty string.
std::string Run(ReconstructBlockFn kernel, const Inputs& in, uint64_t layoutSeed, Outcome* out) {
  Random layout(layoutSeed);
  layout.Fill(reinterpret_cast<uint8_t*>(out->block.area), sizeof out->block.area);
  layout.Fill(reinterpret_cast<uint8_t*>(out->slot.area), sizeof out->slot.area);
  layout.Fill(reinterpret_cast<uint8_t*>(out->table.area), sizeof out->table.area);
  std::memcpy(out->block.Data(), in.block, sizeof in.block);
  std::memcpy(out->slot.Data(), in.slot, sizeof in.slot);
  std::memcpy(out->table.Data(), in.table, sizeof in.table);
  const GuardedArray<int16_t> blockBefore = out->block, slotBefore = out->slot;
  const GuardedArray<uint16_t> tableBefore = out->table;
  out->plane.emplace(8, 8, in.pitch, layout);

  kernel(out->block.Data(), out->plane->Origin(), in.pitch, out->slot.Data(), out->table.Data());

  for (int i = 0; i < kGuard; ++i) {
    for (int j : {i, 64 + kGuard + i}) {
      if (out->block.area[j] != blockBefore.area[j]) return "wrote next to the coefficient block";
      if (out->slot.area[j] != slotBefore.area[j]) return "wrote next to the slot";
    }
  }
  if (std::memcmp(&out->table, &tableBefore, sizeof tableBefore) != 0) {
    return "changed the dequantization table";
  }
  const ptrdiff_t stray = out->plane->FirstStrayWrite();
  if (stray >= 0) return "wrote outside the 8x8 pixels (plane byte " + std::to_string(stray) + ")";
  return "";
}

void PrintInputs(const Inputs& in, bool delta) {
  std::printf("  inputs: %s, destination pitch %d\n", KindName(in.kind), in.pitch);
  PrintValues("dequantization table", in.table, 64, 8);
  if (delta) PrintValues("slot before", in.slot, 64, 8);
  PrintValues(delta ? "coefficient change (block)" : "coefficients (block)", in.block, 64, 8);
}

void PrintPixels(const char* title, const GuardedPlane& plane) {
  uint8_t pixels[64];
  for (int r = 0; r < 8; ++r) {
    for (int u = 0; u < 8; ++u) pixels[8 * r + u] = plane.Bytes()[plane.IndexOf(r, u)];
  }
  PrintValues(title, pixels, 64, 8, 8);
}

bool CheckReconstruct(bool delta, const BlockKernels& reference, const BlockKernels& candidate,
                      const CheckRun& run) {
  const ReconstructBlockFn expected = delta ? reference.reconstructDelta : reference.reconstructKey;
  const ReconstructBlockFn actual = delta ? candidate.reconstructDelta : candidate.reconstructKey;
  Random random = run.Inputs();
  Inputs in;
  Outcome want, got;
  for (int trial = 0; trial < run.trials; ++trial) {
    SetCurrentTrial(trial);
    MakeInputs(random, delta, static_cast<Kind>(trial % kKinds), &in);
    const uint64_t layoutSeed = random.Next64();
    std::string problem = Run(expected, in, layoutSeed, &want);
    if (!problem.empty()) problem = "the portable kernel " + problem;
    if (problem.empty()) problem = Run(actual, in, layoutSeed, &got);
    if (problem.empty() && std::memcmp(want.slot.Data(), got.slot.Data(), 128) != 0) {
      problem = "the new slot differs";
    }
    if (problem.empty() && want.plane->Bytes() != got.plane->Bytes()) problem = "the pixels differ";
    if (problem.empty()) continue;

    ReportFailure(run, trial, problem);
    PrintInputs(in, delta);
    PrintValues("new slot, portable", want.slot.Data(), 64, 8);
    PrintValues("new slot, checked variant", got.slot.Data(), 64, 8);
    PrintPixels("pixels, portable", *want.plane);
    PrintPixels("pixels, checked variant", *got.plane);
    return false;
  }
  return true;
}

// Nanoseconds per call over a pool of picture blocks; the pool is restored
// (untimed) before each pass, since the kernels clobber the block and the
// delta kernel rewrites the slot.
double BenchReconstruct(bool delta, const BlockKernels& kernels, Random& random) {
  constexpr int kPool = 256, kPitch = 32 * 8;
  struct alignas(16) Pool {
    int16_t blocks[kPool][64];
    int16_t slots[kPool][64];
  };
  auto pristine = std::make_unique<Pool>(), work = std::make_unique<Pool>();
  alignas(16) uint16_t table[64];
  QualityTable(random, table);
  for (int b = 0; b < kPool; ++b) {
    Inputs in;
    MakeInputs(random, delta, Kind::kRealistic, &in);
    std::memcpy(pristine->blocks[b], in.block, 128);
    std::memcpy(pristine->slots[b], in.slot, 128);
  }
  std::vector<uint8_t> plane(static_cast<size_t>(kPitch) * 8 * (kPool / 32));
  const ReconstructBlockFn kernel = delta ? kernels.reconstructDelta : kernels.reconstructKey;
  uint64_t elapsed = 0, calls = 0;
  const uint64_t start = NowNanoseconds();
  while (NowNanoseconds() - start < 200000000 || calls < 100000) {
    *work = *pristine;
    const uint64_t t0 = NowNanoseconds();
    for (int b = 0; b < kPool; ++b) {
      uint8_t* destination = plane.data() + (b / 32) * 8 * kPitch + (b % 32) * 8;
      kernel(work->blocks[b], destination, kPitch, work->slots[b], table);
    }
    elapsed += NowNanoseconds() - t0;
    calls += kPool;
  }
  return static_cast<double>(elapsed) / static_cast<double>(calls);
}

}  // namespace

const KernelCheck kReconstructKeyCheck = {
    "reconstruct_key_block",
    [](const BlockKernels& k) { return reinterpret_cast<const void*>(k.reconstructKey); },
    [](const BlockKernels& r, const BlockKernels& c, const CheckRun& run) {
      return CheckReconstruct(false, r, c, run);
    },
    [](const BlockKernels& k, Random& random) { return BenchReconstruct(false, k, random); },
    "block",
};

const KernelCheck kReconstructDeltaCheck = {
    "reconstruct_delta_block",
    [](const BlockKernels& k) { return reinterpret_cast<const void*>(k.reconstructDelta); },
    [](const BlockKernels& r, const BlockKernels& c, const CheckRun& run) {
      return CheckReconstruct(true, r, c, run);
    },
    [](const BlockKernels& k, Random& random) { return BenchReconstruct(true, k, random); },
    "block",
};

}  // namespace checkasm
}  // namespace zdc
