// Uncompressed pictures as the encoder takes them in and as the decoder puts
// them out: planar 4:1:0, a full-size luma plane and, unless the picture is
// luma only, two chroma planes of a quarter of the width and a quarter of the
// height, first the V plane, then the U plane (the decoder's output order).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zdc {

struct Picture {
  int32_t width = 0;
  int32_t height = 0;
  bool withChroma = false;
  std::vector<uint8_t> luma;       // width x height, pitch width
  std::vector<uint8_t> chroma[2];  // (width / 4) x (height / 4) each, pitch width / 4

  int32_t ChromaWidth() const { return width / 4; }
  int32_t ChromaHeight() const { return height / 4; }

  // A picture with every plane sized and filled with `fill`.
  static Picture Create(int32_t width, int32_t height, bool withChroma, uint8_t fill = 0);
  // True when every plane has the size that width, height and withChroma ask for.
  bool IsWellFormed() const;
};

// Bytes of the decoder's output picture for this size at outputStride = width:
// the luma plane, then with chroma two planes of lumaSize / 16 bytes each.
size_t OutputPictureSize(int32_t width, int32_t height, bool withChroma);

// The picture that the decoder wrote into `output` with `outputStride`.
Picture PictureFromOutput(const uint8_t* output, int32_t width, int32_t height, bool withChroma,
                          int32_t outputStride);

// Copies a width x height plane into a paddedWidth x paddedHeight plane (both
// at least as large), repeating the last column and the last row into the
// padding. A plane with no pixels pads to mid-grey.
void PadPlane(const uint8_t* source, int32_t width, int32_t height, int32_t sourcePitch,
              uint8_t* padded, int32_t paddedWidth, int32_t paddedHeight);

// The top-left width x height region of a plane of pitch `pitch`, packed.
std::vector<uint8_t> CropPlane(const uint8_t* plane, int32_t pitch, int32_t width,
                               int32_t height);

}  // namespace zdc
