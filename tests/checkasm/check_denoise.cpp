// Checks of the luma denoise filter: for planes of every width (including
// widths that are not multiples of 8 or 16) and height, every byte of the
// destination rows must equal the portable filter's, nothing outside those
// rows may change, and the source is read only inside its rows (the plane
// lies against an inaccessible page, before its first or after its last byte).
//
// Sources are random, smooth with noise around the threshold, built from
// differences of exactly the threshold and one more, flat (the right edge's
// zero samples), extreme values, and flat fields with isolated outliers.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "checkasm.h"

namespace zdc {
namespace checkasm {
namespace {

enum class Content { kRandom, kSmooth, kThresholdSteps, kFlat, kExtreme, kOutliers };
constexpr int kContents = 6;

const char* ContentName(Content content) {
  switch (content) {
    case Content::kRandom: return "random";
    case Content::kSmooth: return "smooth with noise";
    case Content::kThresholdSteps: return "differences of the threshold and one more";
    case Content::kFlat: return "flat";
    case Content::kExtreme: return "extreme values";
    case Content::kOutliers: return "flat with outliers";
  }
  return "?";
}

struct Geometry {
  int32_t width, height, sourcePitch, destinationPitch;
  uint16_t threshold;
  Content content;
  bool flushEnd;  // the source's last byte sits against the page after it
};

int Pick(Random& random, std::initializer_list<int> values) {
  return values.begin()[random.Range(0, static_cast<int32_t>(values.size()) - 1)];
}

Geometry RandomGeometry(Random& random, Content content) {
  Geometry g{};
  const int widthKind = random.Range(0, 9);
  if (widthKind < 3) {
    g.width = random.Range(1, 40);
  } else if (widthKind < 5) {
    g.width = std::max(1, 16 * random.Range(1, 8) + random.Range(-2, 2));
  } else if (widthKind < 7) {
    g.width = Pick(random, {1, 2, 3, 15, 16, 17, 18, 19, 20, 31, 32, 33, 34, 35, 36, 47, 48, 49, 50});
  } else if (widthKind < 9) {
    g.width = random.Range(41, 200);
  } else {
    g.width = random.Range(200, 720);
  }
  const int heightKind = random.Range(0, 9);
  g.height = heightKind < 6 ? random.Range(1, 4) : heightKind < 9 ? random.Range(5, 24) : random.Range(25, 64);
  g.sourcePitch = g.width + (random.Chance(40) ? 0 : random.Range(1, 40));
  g.destinationPitch = g.width + (random.Chance(40) ? 0 : random.Range(1, 40));
  if (random.Chance(10)) g.sourcePitch = -g.sourcePitch;
  if (random.Chance(10)) g.destinationPitch = -g.destinationPitch;
  g.threshold = static_cast<uint16_t>(
      random.Chance(60) ? 10
                        : random.Chance(50) ? Pick(random, {0, 1, 9, 11, 127, 128, 200, 254, 255, 256, 1000, 65535})
                                            : random.Range(0, 300));
  g.content = content;
  g.flushEnd = random.Chance(50);
  return g;
}

uint8_t Clamp8(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

void FillRow(Random& random, const Geometry& g, int32_t row, uint8_t* pixels) {
  const int t = std::min<int>(g.threshold, 300);
  const int flat = static_cast<int>((g.width * 7 + g.height * 13) % 21);  // 0..20: both sides of 10
  for (int32_t c = 0; c < g.width; ++c) {
    switch (g.content) {
      case Content::kRandom: pixels[c] = random.Byte(); break;
      case Content::kSmooth:
        pixels[c] = Clamp8(128 + (c * 3 + row * 5) % 90 - 45 + random.Range(-t - 2, t + 2));
        break;
      case Content::kThresholdSteps: {
        const int base = 100 + (c / 5 + row) % 3 * 20;
        pixels[c] = Clamp8(base + Pick(random, {0, t, -t, t + 1, -t - 1, t - 1}));
        break;
      }
      case Content::kFlat: pixels[c] = static_cast<uint8_t>(flat); break;
      case Content::kExtreme: pixels[c] = static_cast<uint8_t>(Pick(random, {0, 255, 1, 254, 10, 11, 245, 244})); break;
      case Content::kOutliers: pixels[c] = random.Chance(5) ? random.Byte() : static_cast<uint8_t>(100); break;
    }
  }
}

// The source plane, against a guard page, with its rows' pixels filled.
struct Source {
  Source(Random& random, const Geometry& g)
      : buffer(static_cast<size_t>(g.height - 1) * static_cast<size_t>(std::abs(g.sourcePitch)) + g.width,
               g.flushEnd ? GuardedBuffer::FlushAgainst::kEnd : GuardedBuffer::FlushAgainst::kStart,
               random) {
    origin = buffer.data() + (g.sourcePitch < 0 ? static_cast<ptrdiff_t>(g.height - 1) * -g.sourcePitch : 0);
    for (int32_t r = 0; r < g.height; ++r) FillRow(random, g, r, Row(g, r));
  }
  uint8_t* Row(const Geometry& g, int32_t r) { return origin + static_cast<ptrdiff_t>(r) * g.sourcePitch; }

  GuardedBuffer buffer;
  uint8_t* origin;
};

std::string Run(DenoisePlaneFn kernel, const Geometry& g, Source& source, uint64_t layoutSeed,
                std::optional<GuardedPlane>* plane) {
  Random layout(layoutSeed);
  plane->emplace(g.width, g.height, g.destinationPitch, layout);
  alignas(16) uint16_t thresholds[8];
  std::fill(thresholds, thresholds + 8, g.threshold);
  const std::vector<uint8_t> before(source.buffer.data(), source.buffer.data() + source.buffer.size());
  kernel(source.origin, g.sourcePitch, (*plane)->Origin(), g.width, g.height, g.destinationPitch,
         thresholds);
  if (std::memcmp(before.data(), source.buffer.data(), before.size()) != 0) return "changed its source";
  for (uint16_t t : thresholds) {
    if (t != g.threshold) return "changed the thresholds";
  }
  const ptrdiff_t stray = (*plane)->FirstStrayWrite();
  if (stray >= 0) return "wrote outside the destination rows (plane byte " + std::to_string(stray) + ")";
  return "";
}

void PrintDifference(const Geometry& g, Source& source, const GuardedPlane& want,
                     const GuardedPlane& got) {
  for (int32_t r = 0; r < g.height; ++r) {
    for (int32_t c = 0; c < g.width; ++c) {
      const size_t i = want.IndexOf(r, c);
      if (want.Bytes()[i] == got.Bytes()[i]) continue;
      std::printf("  first difference at row %d column %d: portable %u, checked variant %u\n", r, c,
                  want.Bytes()[i], got.Bytes()[i]);
      const int32_t first = std::max(0, c - 3), last = std::min(g.width - 1, c + 4);
      for (int32_t row = std::max(0, r - 1); row <= r; ++row) {
        std::printf("  source row %d, columns %d..%d:", row, first, last);
        for (int32_t col = first; col <= last; ++col) std::printf(" %u", source.Row(g, row)[col]);
        std::printf("\n");
      }
      return;
    }
  }
}

bool CheckDenoise(const BlockKernels& reference, const BlockKernels& candidate, const CheckRun& run) {
  Random random = run.Inputs();
  std::optional<GuardedPlane> want, got;
  const int trials = run.trials / 4 + 1;
  for (int trial = 0; trial < trials; ++trial) {
    SetCurrentTrial(trial);
    const Geometry g = RandomGeometry(random, static_cast<Content>(trial % kContents));
    Source source(random, g);
    const uint64_t layoutSeed = random.Next64();
    std::string problem = Run(reference.denoisePlane, g, source, layoutSeed, &want);
    if (!problem.empty()) problem = "the portable filter " + problem;
    if (problem.empty()) problem = Run(candidate.denoisePlane, g, source, layoutSeed, &got);
    if (problem.empty() && want->Bytes() != got->Bytes()) problem = "the filtered pixels differ";
    if (problem.empty()) continue;

    ReportFailure(run, trial, problem);
    std::printf("  %d x %d pixels, source pitch %d, destination pitch %d, threshold %u, %s source,"
                " flush against the %s page\n",
                g.width, g.height, g.sourcePitch, g.destinationPitch, g.threshold,
                ContentName(g.content), g.flushEnd ? "following" : "preceding");
    if (want && got && want->Bytes().size() == got->Bytes().size()) PrintDifference(g, source, *want, *got);
    if (g.width * g.height <= 256) {
      for (int32_t r = 0; r < g.height; ++r) {
        std::printf("  source row %d:", r);
        for (int32_t c = 0; c < g.width; ++c) std::printf(" %u", source.Row(g, r)[c]);
        std::printf("\n");
      }
    }
    return false;
  }
  return true;
}

double BenchDenoise(const BlockKernels& kernels, Random& random) {
  Geometry g{640, 480, 640, 640, 10, Content::kSmooth, true};
  std::vector<uint8_t> source(640 * 480), destination(640 * 480);
  for (int32_t r = 0; r < g.height; ++r) FillRow(random, g, r, source.data() + 640 * r);
  alignas(16) uint16_t thresholds[8];
  std::fill(thresholds, thresholds + 8, uint16_t{10});
  uint64_t calls = 0;
  const uint64_t start = NowNanoseconds();
  uint64_t elapsed = 0;
  while ((elapsed = NowNanoseconds() - start) < 300000000 || calls < 5) {
    kernels.denoisePlane(source.data(), 640, destination.data(), 640, 480, 640, thresholds);
    ++calls;
  }
  return static_cast<double>(elapsed) / static_cast<double>(calls);
}

}  // namespace

const KernelCheck kDenoisePlaneCheck = {
    "denoise_plane",
    [](const BlockKernels& k) { return reinterpret_cast<const void*>(k.denoisePlane); },
    CheckDenoise,
    BenchDenoise,
    "640x480 plane",
};

}  // namespace checkasm
}  // namespace zdc
