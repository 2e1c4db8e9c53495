#include "packed_picture.h"

namespace {

struct Plane {
  int rows;
  ptrdiff_t rowBytes;
};

// The planes of `format` in surface order, each with its rows and the bytes
// of one packed row.
int PlanesOf(zdc::PixelFormat format, int w, int h, bool withChroma, Plane planes[3]) {
  using zdc::PixelFormat;
  planes[0] = {h, zdc::PackedPitch(format, w)};
  switch (format) {
    case PixelFormat::kYvu9:
      if (!withChroma) return 1;
      planes[1] = planes[2] = {h / 4, w / 4};
      return 3;
    case PixelFormat::kYuv410p:
      planes[1] = planes[2] = {(h + 3) / 4, (w + 3) / 4};
      return 3;
    case PixelFormat::kYv12:
    case PixelFormat::kI420:
      planes[1] = planes[2] = {(h + 1) / 2, (w + 1) / 2};
      return 3;
    case PixelFormat::kNv12:
      planes[1] = {(h + 1) / 2, 2 * ((w + 1) / 2)};
      return 2;
    default:
      return 1;
  }
}

}  // namespace

void WritePackedPicture(std::ostream& out, zdc::PixelFormat format, const zdc::Surface& surface,
                        int width, int height, bool withChroma) {
  Plane planes[3];
  const int count = PlanesOf(format, width, height, withChroma, planes);
  for (int p = 0; p < count; ++p) {
    for (int r = 0; r < planes[p].rows; ++r) {
      out.write(reinterpret_cast<const char*>(surface.plane[p] + r * surface.pitch[p]),
                planes[p].rowBytes);
    }
  }
}
