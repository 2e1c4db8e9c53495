// The picture conversions, one check per output format, run with the kernel
// table of every level that changes the format's row kernel: whole pictures
// of every width from 1 to 67 and random wider ones, 1 to 13 rows, with and
// without chroma, random or range-end samples, from decoder planes that end
// against an inaccessible page (an empty chroma plane sits right behind one),
// into padded destination planes inside guard bands (the first plane
// sometimes bottom-up). Every destination byte must equal the portable
// conversion's, and nothing outside the rows may change.
#include <string>
#include <vector>

#include "checkasm.h"

namespace zdc::checkasm {
namespace {

// Bytes per row and rows of each destination plane.
void PlaneSizes(PixelFormat format, int w, int h, bool withChroma, int32_t rowBytes[3],
                int32_t rows[3]) {
  rowBytes[0] = static_cast<int32_t>(PackedPitch(format, w)), rows[0] = h;
  rowBytes[1] = rowBytes[2] = rows[1] = rows[2] = 0;
  switch (format) {
    case PixelFormat::kYvu9:
      if (withChroma) rowBytes[1] = rowBytes[2] = w / 4, rows[1] = rows[2] = h / 4;
      break;
    case PixelFormat::kYuv410p:
      rowBytes[1] = rowBytes[2] = (w + 3) / 4, rows[1] = rows[2] = (h + 3) / 4;
      break;
    case PixelFormat::kYv12:
    case PixelFormat::kI420:
      rowBytes[1] = rowBytes[2] = (w + 1) / 2, rows[1] = rows[2] = (h + 1) / 2;
      break;
    case PixelFormat::kNv12: rowBytes[1] = 2 * ((w + 1) / 2), rows[1] = (h + 1) / 2; break;
    default: break;
  }
}

// A luma or chroma plane of `picture` as the decoder leaves it, ending
// against an inaccessible page; an empty one is one byte behind the page.
guarded::Input DecoderPlane(const Yvu9Picture& picture, bool chroma, bool rangeEnds,
                            Random& random) {
  const int width = chroma ? picture.width / 4 : picture.width;
  const int rows = chroma ? picture.height / 4 : picture.height;
  const size_t stride = chroma ? picture.chromaStride : picture.lumaStride;
  const bool empty = rows <= 0 || width <= 0;
  std::vector<uint8_t> bytes(empty ? 1 : (static_cast<size_t>(rows) - 1) * stride + width);
  static const uint8_t kEnds[] = {0, 1, 15, 16, 128, 235, 240, 254, 255};
  for (uint8_t& b : bytes)
    b = static_cast<uint8_t>(rangeEnds ? kEnds[random.Range(0, 8)] : random.Next32());
  return guarded::Input(bytes.data(), bytes.size(),
                        empty ? guarded::Input::kFlushStart : guarded::Input::kFlushEnd);
}

Outcome Run(PixelFormat format, const Kernels& kernels, uint64_t seed, int trial) {
  Random random(seed);
  // Every width from 1 to 67, then wider ones; random or range-end samples.
  const int width = trial < 67 ? trial + 1 : random.Range(68, 700), height = random.Range(1, 13);
  const bool withChroma = random.Chance(80), rangeEnds = random.Chance(25);
  Yvu9Picture picture;
  picture.width = width, picture.height = height;
  picture.lumaStride = static_cast<size_t>(width + random.Range(0, 9));
  picture.chromaStride = static_cast<size_t>(width / 4 + random.Range(0, 5));
  const guarded::Input luma = DecoderPlane(picture, false, rangeEnds, random);
  const guarded::Input v = DecoderPlane(picture, true, rangeEnds, random);
  const guarded::Input u = DecoderPlane(picture, true, rangeEnds, random);
  picture.luma = luma.data();
  if (withChroma) picture.v = v.data(), picture.u = u.data();

  int32_t rowBytes[3], rows[3];
  PlaneSizes(format, width, height, withChroma, rowBytes, rows);
  std::vector<guarded::Area> planes;  // (moving one keeps its bytes where they are)
  Surface surface;
  for (int i = 0; i < 3 && rows[i] > 0 && rowBytes[i] > 0; ++i) {
    const int32_t pitch = Pitch(random, rowBytes[i], 23, i == 0 ? 30 : 0);
    uint8_t* origin;
    planes.push_back(OutputPlane(rowBytes[i], rows[i], pitch, random, &origin));
    surface.plane[i] = origin, surface.pitch[i] = pitch;
  }
  ConvertPictureWith(kernels.convert, picture, format, surface);
  Outcome outcome;
  for (size_t i = 0; i < planes.size(); ++i) {
    if (!planes[i].Intact()) return {{}, "wrote outside plane " + std::to_string(i)};
    const std::vector<uint8_t> bytes = planes[i].Allowed();
    outcome.output.insert(outcome.output.end(), bytes.begin(), bytes.end());
  }
  return outcome;
}

template <PixelFormat kFormat>
constexpr KernelCheck MakeCheck(const char* name, const void* (*variant)(const Kernels&)) {
  return {name, variant, 200,
          [](const Kernels& k, uint64_t seed, int trial) { return Run(kFormat, k, seed, trial); }};
}

// Plane copies have no row kernel: checked once, with the portable table.
const void* NoKernel(const Kernels&) { return nullptr; }

}  // namespace

// The chroma term kernel changes with the RGB row kernels.
const KernelCheck kConvertChecks[8] = {
    MakeCheck<PixelFormat::kYvu9>("convert_yvu9", NoKernel),
    MakeCheck<PixelFormat::kYuv410p>("convert_yuv410p", NoKernel),
    MakeCheck<PixelFormat::kNv12>("convert_nv12", CHECKASM_VARIANT(convert.interleaveChroma)),
    MakeCheck<PixelFormat::kYv12>("convert_yv12", CHECKASM_VARIANT(convert.expandChroma)),
    MakeCheck<PixelFormat::kI420>("convert_i420", CHECKASM_VARIANT(convert.expandChroma)),
    MakeCheck<PixelFormat::kYuy2>("convert_yuy2", CHECKASM_VARIANT(convert.packYuy2)),
    MakeCheck<PixelFormat::kRgb32>("convert_rgb32", CHECKASM_VARIANT(convert.rgb32Row)),
    MakeCheck<PixelFormat::kRgb24>("convert_rgb24", CHECKASM_VARIANT(convert.rgb24Row)),
};

}  // namespace zdc::checkasm
