#include "picture_convert.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "convert_kernels.h"

namespace zdc {

namespace {

uint8_t* Row(uint8_t* plane, ptrdiff_t pitch, int row) { return plane + pitch * row; }

void CopyRows(const uint8_t* source, size_t stride, int width, int height, uint8_t* plane,
              ptrdiff_t pitch) {
  if (width <= 0) return;  // a plane without columns has no rows to copy
  for (int y = 0; y < height; ++y) {
    std::memcpy(Row(plane, pitch, y), source + stride * static_cast<size_t>(y), static_cast<size_t>(width));
  }
}

// The chroma rows of a picture at the 4:1:0 rate, each padded to
// ceil(width / 4) samples: the last column repeated where the width is not a
// multiple of 4, every sample 128 where the picture has no chroma samples.
class PaddedChroma {
 public:
  explicit PaddedChroma(const Yvu9Picture& picture)
      : picture_(picture),
        width_((picture.width + 3) / 4),
        present_(picture.HasChroma() && picture.ChromaWidth() > 0 && picture.ChromaHeight() > 0),
        u_(static_cast<size_t>(width_), 128),
        v_(static_cast<size_t>(width_), 128) {}

  int Width() const { return width_; }
  // The samples of chroma row `row` (the last row for rows past it).
  const uint8_t* U(int row) { return Get(picture_.u, row, &u_); }
  const uint8_t* V(int row) { return Get(picture_.v, row, &v_); }

 private:
  const uint8_t* Get(const uint8_t* plane, int row, std::vector<uint8_t>* padded) {
    if (!present_) return padded->data();
    const uint8_t* samples =
        plane + static_cast<size_t>(std::min(row, picture_.ChromaHeight() - 1)) * picture_.chromaStride;
    const int count = picture_.ChromaWidth();
    if (count == width_) return samples;
    std::memcpy(padded->data(), samples, static_cast<size_t>(count));
    std::fill(padded->begin() + count, padded->end(), samples[count - 1]);
    return padded->data();
  }

  const Yvu9Picture& picture_;
  int width_;
  bool present_;
  std::vector<uint8_t> u_, v_;
};

void ConvertYvu9(const Yvu9Picture& picture, const Surface& out) {
  CopyRows(picture.luma, picture.lumaStride, picture.width, picture.height, out.plane[0], out.pitch[0]);
  if (!picture.HasChroma()) return;
  CopyRows(picture.v, picture.chromaStride, picture.ChromaWidth(), picture.ChromaHeight(), out.plane[1],
           out.pitch[1]);
  CopyRows(picture.u, picture.chromaStride, picture.ChromaWidth(), picture.ChromaHeight(), out.plane[2],
           out.pitch[2]);
}

void ConvertYuv410p(const Yvu9Picture& picture, const Surface& out) {
  CopyRows(picture.luma, picture.lumaStride, picture.width, picture.height, out.plane[0], out.pitch[0]);
  PaddedChroma chroma(picture);
  const size_t width = static_cast<size_t>(chroma.Width());
  for (int row = 0; row < (picture.height + 3) / 4; ++row) {
    std::memcpy(Row(out.plane[1], out.pitch[1], row), chroma.U(row), width);
    std::memcpy(Row(out.plane[2], out.pitch[2], row), chroma.V(row), width);
  }
}

// 4:2:0: `uPlane` and `vPlane` index the surface's planes.
void Convert420(const Yvu9Picture& picture, const Surface& out, int uPlane, int vPlane,
                const ConvertKernels& kernels) {
  CopyRows(picture.luma, picture.lumaStride, picture.width, picture.height, out.plane[0], out.pitch[0]);
  PaddedChroma chroma(picture);
  const int width = (picture.width + 1) / 2;
  for (int row = 0; row < (picture.height + 1) / 2; ++row) {
    kernels.expandChroma(chroma.U(row / 2), Row(out.plane[uPlane], out.pitch[uPlane], row), width);
    kernels.expandChroma(chroma.V(row / 2), Row(out.plane[vPlane], out.pitch[vPlane], row), width);
  }
}

void ConvertNv12(const Yvu9Picture& picture, const Surface& out, const ConvertKernels& kernels) {
  CopyRows(picture.luma, picture.lumaStride, picture.width, picture.height, out.plane[0], out.pitch[0]);
  PaddedChroma chroma(picture);
  for (int row = 0; row < (picture.height + 1) / 2; ++row) {
    kernels.interleaveChroma(chroma.U(row / 2), chroma.V(row / 2), Row(out.plane[1], out.pitch[1], row),
                             (picture.width + 1) / 2);
  }
}

void ConvertYuy2(const Yvu9Picture& picture, const Surface& out, const ConvertKernels& kernels) {
  PaddedChroma chroma(picture);
  for (int y = 0; y < picture.height; ++y) {
    kernels.packYuy2(picture.luma + picture.lumaStride * static_cast<size_t>(y), chroma.U(y / 4),
                     chroma.V(y / 4), Row(out.plane[0], out.pitch[0], y), picture.width);
  }
}

void ConvertRgb(const Yvu9Picture& picture, const ConvertKernels& kernels, RgbRowFn rowKernel,
                const Surface& out) {
  PaddedChroma chroma(picture);
  const size_t samples = static_cast<size_t>(chroma.Width());
  std::vector<int16_t> terms(16 * samples);
  const ChromaTermRow row{terms.data(), terms.data() + 8 * samples};
  for (int y = 0; y < picture.height; ++y) {
    if (y % 4 == 0) {
      kernels.chromaTerms(chroma.U(y / 4), chroma.V(y / 4), terms.data(), terms.data() + 8 * samples,
                          chroma.Width());
    }
    rowKernel(picture.luma + picture.lumaStride * static_cast<size_t>(y), row,
              Row(out.plane[0], out.pitch[0], y), picture.width);
  }
}

}  // namespace

Surface SurfaceInBuffer(PixelFormat format, uint8_t* buffer, int height, ptrdiff_t pitch,
                        bool withChroma, bool bottomUp) {
  Surface surface;
  surface.plane[0] = buffer;
  surface.pitch[0] = pitch;
  uint8_t* const next = buffer + pitch * height;
  switch (format) {
    case PixelFormat::kYvu9:
      if (withChroma) {
        surface.plane[1] = next;
        surface.plane[2] = next + pitch * height / 16;
        surface.pitch[1] = surface.pitch[2] = pitch / 4;
      }
      break;
    case PixelFormat::kYuv410p:
      surface.plane[1] = next;
      surface.pitch[1] = surface.pitch[2] = (pitch + 3) / 4;
      surface.plane[2] = next + surface.pitch[1] * ((height + 3) / 4);
      break;
    case PixelFormat::kYv12:
    case PixelFormat::kI420:
      surface.plane[1] = next;
      surface.pitch[1] = surface.pitch[2] = (pitch + 1) / 2;
      surface.plane[2] = next + surface.pitch[1] * ((height + 1) / 2);
      break;
    case PixelFormat::kNv12:
      surface.plane[1] = next;
      surface.pitch[1] = 2 * ((pitch + 1) / 2);
      break;
    case PixelFormat::kYuy2:
      break;
    case PixelFormat::kRgb32:
    case PixelFormat::kRgb24:
      if (bottomUp && height > 0) {
        surface.plane[0] = buffer + pitch * (height - 1);
        surface.pitch[0] = -pitch;
      }
      break;
  }
  return surface;
}

size_t SurfaceBytes(PixelFormat format, int height, ptrdiff_t pitch, bool withChroma) {
  const size_t rows = static_cast<size_t>(height), first = static_cast<size_t>(pitch) * rows;
  switch (format) {
    case PixelFormat::kYvu9: return withChroma ? first + 2 * (first / 16) : first;
    case PixelFormat::kYuv410p: return first + 2 * static_cast<size_t>((pitch + 3) / 4) * ((rows + 3) / 4);
    case PixelFormat::kYv12:
    case PixelFormat::kI420: return first + 2 * static_cast<size_t>((pitch + 1) / 2) * ((rows + 1) / 2);
    case PixelFormat::kNv12: return first + static_cast<size_t>(2 * ((pitch + 1) / 2)) * ((rows + 1) / 2);
    case PixelFormat::kYuy2:
    case PixelFormat::kRgb32:
    case PixelFormat::kRgb24: return first;
  }
  return first;
}

ptrdiff_t PackedPitch(PixelFormat format, int width) {
  switch (format) {
    case PixelFormat::kYuy2: return ptrdiff_t{4} * ((width + 1) / 2);
    case PixelFormat::kRgb32: return ptrdiff_t{4} * width;
    case PixelFormat::kRgb24: return ptrdiff_t{3} * width;
    default: return width;
  }
}

void ConvertPicture(const Yvu9Picture& picture, PixelFormat format, const Surface& destination) {
  ConvertPictureWith(ProcessConvertKernels(), picture, format, destination);
}

void ConvertPictureWith(const ConvertKernels& kernels, const Yvu9Picture& picture, PixelFormat format,
                        const Surface& destination) {
  switch (format) {
    case PixelFormat::kYvu9: ConvertYvu9(picture, destination); break;
    case PixelFormat::kYuv410p: ConvertYuv410p(picture, destination); break;
    case PixelFormat::kNv12: ConvertNv12(picture, destination, kernels); break;
    case PixelFormat::kYv12: Convert420(picture, destination, 2, 1, kernels); break;
    case PixelFormat::kI420: Convert420(picture, destination, 1, 2, kernels); break;
    case PixelFormat::kYuy2: ConvertYuy2(picture, destination, kernels); break;
    case PixelFormat::kRgb32: ConvertRgb(picture, kernels, kernels.rgb32Row, destination); break;
    case PixelFormat::kRgb24: ConvertRgb(picture, kernels, kernels.rgb24Row, destination); break;
  }
}

}  // namespace zdc
