// Checks of the picture conversions, one per output format, each run with the
// kernel table of every processor level that changes the format's row kernel:
// whole pictures of every width from 1 to 67 and random wider ones, 1 to 13
// rows, with and without chroma, random or range-end samples, in strided
// decoder planes that end against an inaccessible page (a read past the last
// sample faults), converted into padded destination planes with guard bands
// around every row (negative pitches included). Every destination byte must
// equal the portable conversion's, and nothing outside the rows may change.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "checkasm.h"

namespace zdc {
namespace checkasm {
namespace {

struct PictureCase {
  PixelFormat format;
  int width, height;
  bool withChroma, bottomUp;
};

// Bytes per row and rows of each destination plane.
void PlaneSizes(const PictureCase& c, int32_t rowBytes[3], int32_t rows[3]) {
  const int w = c.width, h = c.height;
  rowBytes[0] = static_cast<int32_t>(PackedPitch(c.format, w));
  rows[0] = h;
  for (int i = 1; i < 3; ++i) rowBytes[i] = rows[i] = 0;
  switch (c.format) {
    case PixelFormat::kYvu9:
      if (c.withChroma) rowBytes[1] = rowBytes[2] = w / 4, rows[1] = rows[2] = h / 4;
      break;
    case PixelFormat::kYuv410p: rowBytes[1] = rowBytes[2] = (w + 3) / 4, rows[1] = rows[2] = (h + 3) / 4; break;
    case PixelFormat::kYv12:
    case PixelFormat::kI420: rowBytes[1] = rowBytes[2] = (w + 1) / 2, rows[1] = rows[2] = (h + 1) / 2; break;
    case PixelFormat::kNv12: rowBytes[1] = 2 * ((w + 1) / 2), rows[1] = (h + 1) / 2; break;
    default: break;
  }
}

std::string Run(const ConvertKernels& kernels, const PictureCase& c, const Yvu9Picture& picture,
                uint64_t layoutSeed, std::vector<GuardedPlane>* planes) {
  Random layout(layoutSeed);
  int32_t rowBytes[3], rows[3];
  PlaneSizes(c, rowBytes, rows);
  planes->clear();
  planes->reserve(3);
  Surface surface;
  for (int i = 0; i < 3 && rows[i] > 0 && rowBytes[i] > 0; ++i) {
    const int32_t padding = layout.Chance(50) ? 0 : layout.Range(1, 24);
    const int32_t pitch = (rowBytes[i] + padding) * (i == 0 && c.bottomUp ? -1 : 1);
    planes->emplace_back(rowBytes[i], rows[i], pitch, layout);
    surface.plane[i] = planes->back().Origin();
    surface.pitch[i] = pitch;
  }
  ConvertPictureWith(kernels, picture, c.format, surface);
  for (size_t i = 0; i < planes->size(); ++i) {
    const ptrdiff_t stray = (*planes)[i].FirstStrayWrite();
    if (stray >= 0) return "wrote outside plane " + std::to_string(i) + " (byte " + std::to_string(stray) + ")";
  }
  return "";
}

// Bytes of a decoder plane of `rows` rows of `width` samples at `stride`. An
// empty plane is one byte after a guard page, so that any read of it, or
// before it, faults.
size_t PlaneBytes(int width, int rows, size_t stride) {
  return rows > 0 && width > 0 ? (static_cast<size_t>(rows) - 1) * stride + static_cast<size_t>(width) : 1;
}
GuardedBuffer::FlushAgainst PlaneFlush(int width, int rows) {
  return rows > 0 && width > 0 ? GuardedBuffer::FlushAgainst::kEnd : GuardedBuffer::FlushAgainst::kStart;
}

void FillWithRangeEnds(Random& random, GuardedBuffer& plane) {
  static const uint8_t kEnds[] = {0, 1, 15, 16, 128, 235, 240, 254, 255};
  for (size_t i = 0; i < plane.size(); ++i) plane.data()[i] = kEnds[random.Range(0, 8)];
}

template <PixelFormat kFormat>
bool Check(const ConvertKernels& reference, const ConvertKernels& candidate, const CheckRun& run) {
  Random random = run.Inputs();
  const int trials = 67 + run.trials / 400;
  for (int trial = 0; trial < trials; ++trial) {
    SetCurrentTrial(trial);
    const PictureCase c{kFormat, trial < 67 ? trial + 1 : random.Range(68, 700), random.Range(1, 13),
                        random.Chance(80), random.Chance(30)};
    const bool rangeEnds = random.Chance(25);
    Yvu9Picture picture;
    picture.width = c.width;
    picture.height = c.height;
    picture.lumaStride = static_cast<size_t>(c.width + random.Range(0, 9));
    picture.chromaStride = static_cast<size_t>(c.width / 4 + random.Range(0, 5));
    // The decoder's planes, each ending against a guard page.
    const int cw = c.width / 4, ch = c.height / 4;
    GuardedBuffer luma(PlaneBytes(c.width, c.height, picture.lumaStride), PlaneFlush(c.width, c.height), random);
    GuardedBuffer v(PlaneBytes(cw, ch, picture.chromaStride), PlaneFlush(cw, ch), random);
    GuardedBuffer u(PlaneBytes(cw, ch, picture.chromaStride), PlaneFlush(cw, ch), random);
    for (GuardedBuffer* plane : {&luma, &v, &u}) {
      if (rangeEnds) FillWithRangeEnds(random, *plane);
    }
    picture.luma = luma.data();
    if (c.withChroma) picture.v = v.data(), picture.u = u.data();

    const uint64_t layoutSeed = random.Next64();
    std::vector<GuardedPlane> want, got;
    std::string problem = Run(reference, c, picture, layoutSeed, &want);
    if (!problem.empty()) problem = "the portable conversion " + problem;
    if (problem.empty()) problem = Run(candidate, c, picture, layoutSeed, &got);
    for (size_t i = 0; problem.empty() && i < want.size(); ++i) {
      if (want[i].Bytes() != got[i].Bytes()) problem = "plane " + std::to_string(i) + " differs";
    }
    if (problem.empty()) continue;
    ReportFailure(run, trial, problem);
    std::printf("  %d x %d, %s, %s samples%s\n", c.width, c.height, c.withChroma ? "with chroma" : "luma only",
                rangeEnds ? "range-end" : "random", c.bottomUp ? ", first plane bottom-up" : "");
    return false;
  }
  return true;
}

template <typename Fn>
const void* Pointer(Fn fn) {
  return reinterpret_cast<const void*>(fn);
}

// The formats without a row kernel (plane copies) run once, with the
// portable table.
const void* NoKernel(const ConvertKernels&) { return nullptr; }

}  // namespace

const ConvertKernelCheck kConvertChecks[kConvertCheckCount] = {
    {"convert_yvu9", NoKernel, Check<PixelFormat::kYvu9>},
    {"convert_yuv410p", NoKernel, Check<PixelFormat::kYuv410p>},
    {"convert_nv12", [](const ConvertKernels& k) { return Pointer(k.interleaveChroma); },
     Check<PixelFormat::kNv12>},
    {"convert_yv12", [](const ConvertKernels& k) { return Pointer(k.expandChroma); }, Check<PixelFormat::kYv12>},
    {"convert_i420", [](const ConvertKernels& k) { return Pointer(k.expandChroma); }, Check<PixelFormat::kI420>},
    {"convert_yuy2", [](const ConvertKernels& k) { return Pointer(k.packYuy2); }, Check<PixelFormat::kYuy2>},
    // The chroma term kernel changes with the RGB row kernels.
    {"convert_rgb32", [](const ConvertKernels& k) { return Pointer(k.rgb32Row); }, Check<PixelFormat::kRgb32>},
    {"convert_rgb24", [](const ConvertKernels& k) { return Pointer(k.rgb24Row); }, Check<PixelFormat::kRgb24>},
};

}  // namespace checkasm
}  // namespace zdc
