// Checks of the picture conversion row kernels: for rows of every width from 1
// to 67 and random wider ones, every output byte must equal the portable
// kernel's, nothing around the row (guard bands) may change, and each input is
// read only up to its last sample (it lies against an inaccessible page).
// Inputs are random bytes or the extremes of the value ranges; RGB chroma
// terms come from chroma samples as the conversion computes them.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bt601_fixed_point.h"
#include "checkasm.h"

namespace zdc {
namespace checkasm {
namespace {

const char* ConvertFormatName(PixelFormat format) {
  static const char* const kNames[] = {"yvu9", "yuv410p", "nv12", "yv12", "i420", "yuy2", "rgb32", "rgb24"};
  return kNames[static_cast<int>(format)];
}

enum class Kind { kExpand, kInterleave, kYuy2, kTerms, kRgb32, kRgb24 };

struct Row {
  int width;      // output pixels (chroma samples for expand, pairs for interleave)
  int32_t pitch;  // of the one-row output plane
  bool extremes;  // inputs from the range ends rather than random
};

uint8_t Sample(Random& random, bool extremes) {
  static const uint8_t kEnds[] = {0, 1, 15, 16, 128, 235, 240, 254, 255};
  return extremes ? kEnds[random.Range(0, 8)] : random.Byte();
}

std::unique_ptr<GuardedBuffer> Input(Random& random, size_t count, bool extremes) {
  auto buffer = std::make_unique<GuardedBuffer>(count, GuardedBuffer::FlushAgainst::kEnd, random);
  for (size_t i = 0; i < count; ++i) buffer->data()[i] = Sample(random, extremes);
  return buffer;
}

// The inputs of one row, every one against a guard page.
struct Inputs {
  Inputs(Kind kind, const Row& row, Random& random) {
    const int halves = (row.width + 1) / 2, quarters = (row.width + 3) / 4;
    const bool chromaPerPair = kind == Kind::kExpand || kind == Kind::kInterleave;
    const size_t chroma = static_cast<size_t>(kind == Kind::kTerms ? row.width : chromaPerPair ? halves : quarters);
    luma = Input(random, static_cast<size_t>(row.width), row.extremes);
    u = Input(random, chroma, row.extremes);
    v = Input(random, chroma, row.extremes);
    for (auto* terms : {&bg, &rx}) {
      *terms = std::make_unique<GuardedBuffer>(4 * static_cast<size_t>(row.width), GuardedBuffer::FlushAgainst::kEnd,
                                               random);
    }
    for (int x = 0; x < row.width && kind != Kind::kTerms; ++x) {
      const bt601::ChromaTerms t = bt601::ChromaTermsOf(u->data()[x / 4], v->data()[x / 4]);
      const int16_t pairs[4] = {t.b, t.g, t.r, bt601::kOpaque};
      std::memcpy(bg->data() + 4 * x, pairs, 4);
      std::memcpy(rx->data() + 4 * x, pairs + 2, 4);
    }
  }
  static int16_t* Terms(const std::unique_ptr<GuardedBuffer>& buffer) {
    return reinterpret_cast<int16_t*>(buffer->data());
  }
  std::unique_ptr<GuardedBuffer> luma, u, v, bg, rx;
};

int32_t OutputBytes(Kind kind, int width) {
  switch (kind) {
    case Kind::kExpand: return width;
    case Kind::kInterleave: return 2 * width;
    case Kind::kYuy2: return 4 * ((width + 1) / 2);
    case Kind::kTerms: return 32 * width;  // the blue, green pairs of 4 pixels a sample, then the red ones
    case Kind::kRgb32: return 4 * width;
    case Kind::kRgb24: return 3 * width;
  }
  return 0;
}

std::string Run(Kind kind, const ConvertKernels& kernels, const Row& row, Inputs& in,
                uint64_t layoutSeed, std::optional<GuardedPlane>* plane) {
  Random layout(layoutSeed);
  plane->emplace(OutputBytes(kind, row.width), 1, row.pitch, layout);
  uint8_t* out = (*plane)->Origin();
  const ChromaTermRow terms{Inputs::Terms(in.bg), Inputs::Terms(in.rx)};
  switch (kind) {
    case Kind::kExpand: kernels.expandChroma(in.u->data(), out, row.width); break;
    case Kind::kInterleave: kernels.interleaveChroma(in.u->data(), in.v->data(), out, row.width); break;
    case Kind::kYuy2: kernels.packYuy2(in.luma->data(), in.u->data(), in.v->data(), out, row.width); break;
    case Kind::kTerms: {
      // Written into aligned rows, then copied into the guarded plane.
      const size_t values = 8 * static_cast<size_t>(row.width);
      std::vector<int16_t> bg(values + 16, 0x5A5A), rx(bg);
      kernels.chromaTerms(in.u->data(), in.v->data(), bg.data() + 8, rx.data() + 8, row.width);
      if (bg[7] != 0x5A5A || bg[8 + values] != 0x5A5A || rx[7] != 0x5A5A || rx[8 + values] != 0x5A5A) {
        return "wrote outside its term rows";
      }
      std::memcpy(out, bg.data() + 8, 2 * values);
      std::memcpy(out + 2 * values, rx.data() + 8, 2 * values);
      break;
    }
    case Kind::kRgb32: kernels.rgb32Row(in.luma->data(), terms, out, row.width); break;
    case Kind::kRgb24: kernels.rgb24Row(in.luma->data(), terms, out, row.width); break;
  }
  const ptrdiff_t stray = (*plane)->FirstStrayWrite();
  if (stray >= 0) return "wrote outside its row (plane byte " + std::to_string(stray) + ")";
  return "";
}

template <Kind kKind>
bool Check(const ConvertKernels& reference, const ConvertKernels& candidate, const CheckRun& run) {
  Random random = run.Inputs();
  std::optional<GuardedPlane> want, got;
  const int trials = run.trials / 20 + 67;
  for (int trial = 0; trial < trials; ++trial) {
    SetCurrentTrial(trial);
    Row row{trial < 67 ? trial + 1 : random.Chance(70) ? random.Range(1, 67) : random.Range(68, 2000), 0,
            random.Chance(20)};
    row.pitch = OutputBytes(kKind, row.width) + (random.Chance(50) ? 0 : random.Range(1, 40));
    Inputs in(kKind, row, random);
    const uint64_t layoutSeed = random.Next64();
    std::string problem = Run(kKind, reference, row, in, layoutSeed, &want);
    if (!problem.empty()) problem = "the portable kernel " + problem;
    if (problem.empty()) problem = Run(kKind, candidate, row, in, layoutSeed, &got);
    if (problem.empty() && want->Bytes() != got->Bytes()) problem = "the output bytes differ";
    if (problem.empty()) continue;

    ReportFailure(run, trial, problem);
    std::printf("  width %d, %s inputs\n", row.width, row.extremes ? "extreme" : "random");
    if (want && got && want->Bytes().size() == got->Bytes().size()) {
      for (int32_t c = 0; c < OutputBytes(kKind, row.width); ++c) {
        const size_t i = want->IndexOf(0, c);
        if (want->Bytes()[i] == got->Bytes()[i]) continue;
        std::printf("  first difference at byte %d: portable %u, checked variant %u\n", c, want->Bytes()[i],
                    got->Bytes()[i]);
        break;
      }
    }
    return false;
  }
  return true;
}

// Whole pictures: every format, sizes from 1x1 up, with and without chroma,
// strided sources whose planes end against an inaccessible page, and padded
// (for RGB sometimes bottom-up) destination planes with guard bands. The
// conversion must write exactly its planes' rows and columns, and the same
// bytes with every table.
constexpr PixelFormat kFormats[] = {PixelFormat::kYvu9, PixelFormat::kYuv410p, PixelFormat::kNv12,
                                    PixelFormat::kYv12, PixelFormat::kI420,    PixelFormat::kYuy2,
                                    PixelFormat::kRgb32, PixelFormat::kRgb24};

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

std::string RunPicture(const ConvertKernels& kernels, const PictureCase& c, const Yvu9Picture& picture,
                       uint64_t layoutSeed, std::vector<GuardedPlane>* planes) {
  Random layout(layoutSeed);
  int32_t rowBytes[3], rows[3];
  PlaneSizes(c, rowBytes, rows);
  planes->clear();
  Surface surface;
  for (int i = 0; i < 3 && rows[i] > 0 && rowBytes[i] > 0; ++i) {
    const int32_t pitch = (rowBytes[i] + (layout.Chance(50) ? 0 : layout.Range(1, 24))) * (i == 0 && c.bottomUp ? -1 : 1);
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

bool CheckPictures(const ConvertKernels& reference, const ConvertKernels& candidate, const CheckRun& run) {
  Random random = run.Inputs();
  const int trials = run.trials / 100 + 40;
  for (int trial = 0; trial < trials; ++trial) {
    SetCurrentTrial(trial);
    const PictureCase c{kFormats[trial % 8], random.Chance(80) ? random.Range(1, 67) : random.Range(68, 700),
                        random.Range(1, 13), random.Chance(80), random.Chance(50)};
    // The decoder's planes, each strided and ending against a guard page.
    const size_t lumaStride = static_cast<size_t>(c.width + random.Range(0, 9));
    const size_t chromaStride = static_cast<size_t>(c.width / 4 + random.Range(0, 5));
    const size_t chromaRows = static_cast<size_t>(c.height / 4);
    GuardedBuffer luma((c.height - 1) * lumaStride + c.width, GuardedBuffer::FlushAgainst::kEnd, random);
    const size_t chromaBytes = chromaRows ? (chromaRows - 1) * chromaStride + c.width / 4 : 0;
    GuardedBuffer v(std::max<size_t>(chromaBytes, 1), GuardedBuffer::FlushAgainst::kEnd, random);
    GuardedBuffer u(std::max<size_t>(chromaBytes, 1), GuardedBuffer::FlushAgainst::kEnd, random);
    Yvu9Picture picture;
    picture.width = c.width;
    picture.height = c.height;
    picture.luma = luma.data();
    picture.lumaStride = lumaStride;
    if (c.withChroma) picture.v = v.data(), picture.u = u.data(), picture.chromaStride = chromaStride;

    const uint64_t layoutSeed = random.Next64();
    std::vector<GuardedPlane> want, got;
    std::string problem = RunPicture(reference, c, picture, layoutSeed, &want);
    if (!problem.empty()) problem = "the portable conversion " + problem;
    if (problem.empty()) problem = RunPicture(candidate, c, picture, layoutSeed, &got);
    for (size_t i = 0; problem.empty() && i < want.size(); ++i) {
      if (want[i].Bytes() != got[i].Bytes()) problem = "plane " + std::to_string(i) + " differs";
    }
    if (problem.empty()) continue;
    ReportFailure(run, trial, problem);
    std::printf("  %s, %d x %d, %s%s\n", ConvertFormatName(c.format), c.width, c.height,
                c.withChroma ? "with chroma" : "luma only", c.bottomUp ? ", bottom-up" : "");
    return false;
  }
  return true;
}

template <typename Fn>
const void* Pointer(Fn fn) {
  return reinterpret_cast<const void*>(fn);
}

}  // namespace

const ConvertKernelCheck kConvertChecks[kConvertCheckCount] = {
    {"convert_expand_chroma", [](const ConvertKernels& k) { return Pointer(k.expandChroma); },
     Check<Kind::kExpand>},
    {"convert_interleave_chroma", [](const ConvertKernels& k) { return Pointer(k.interleaveChroma); },
     Check<Kind::kInterleave>},
    {"convert_yuy2_row", [](const ConvertKernels& k) { return Pointer(k.packYuy2); }, Check<Kind::kYuy2>},
    {"convert_chroma_terms", [](const ConvertKernels& k) { return Pointer(k.chromaTerms); },
     Check<Kind::kTerms>},
    {"convert_rgb32_row", [](const ConvertKernels& k) { return Pointer(k.rgb32Row); }, Check<Kind::kRgb32>},
    {"convert_rgb24_row", [](const ConvertKernels& k) { return Pointer(k.rgb24Row); }, Check<Kind::kRgb24>},
    // Every table differs in its RGB row kernel, so this runs once per level.
    {"convert_picture", [](const ConvertKernels& k) { return Pointer(k.rgb32Row); }, CheckPictures},
};

}  // namespace checkasm
}  // namespace zdc
