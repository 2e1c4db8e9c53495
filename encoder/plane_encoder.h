// One plane of the encoded picture as the decoder will hold it: the plane's
// CoefficientStore and its reconstructed pixels, kept up to date by running
// the decoder's own reconstruction kernels on exactly the coefficients that
// go into the stream.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "block_kernels.h"
#include "coefficient_encoder.h"

namespace zdc {

class PlaneEncoder {
 public:
  // A plane of whole blocks: width and height are positive multiples of 8.
  PlaneEncoder(int32_t width, int32_t height, bool luminance, const BlockKernels& kernels);

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t BlocksPerRow() const { return width_ / 8; }
  int32_t BlockRows() const { return height_ / 8; }
  bool Luminance() const { return luminance_; }

  // The decoder's picture of this plane (pitch Width()) and its store.
  const uint8_t* Reconstruction() const { return reconstruction_.data(); }
  const int16_t* Store() const { return store_.get(); }

  // Codes every block of `source` (Width() x Height(), pitch Width()) into
  // `coder`, which the caller has begun as a key section.
  void EncodeKey(const uint8_t* source, const uint16_t* dequant, CoefficientEncoder& coder);

  // Codes into `coder` (begun as a delta section) the blocks whose coding
  // lowers their squared error against `source` by more than `threshold`,
  // and returns the BlockMask of those blocks (rows of little-endian 32-bit
  // words) together with their number.
  struct DeltaResult {
    std::vector<uint8_t> mask;
    uint32_t wordsPerRow = 0;
    uint32_t codedBlocks = 0;
  };
  DeltaResult EncodeDelta(const uint8_t* source, const uint16_t* dequant, uint32_t threshold,
                          CoefficientEncoder& coder);

 private:
  struct AlignedFree {
    void operator()(int16_t* p) const;
  };

  uint8_t* BlockPixels(int32_t row, int32_t column) {
    return reconstruction_.data() + static_cast<ptrdiff_t>(8 * row) * width_ + 8 * column;
  }
  int16_t* Slot(int32_t row, int32_t column) {
    return store_.get() + static_cast<ptrdiff_t>(row * BlocksPerRow() + column) * 64;
  }

  int32_t width_;
  int32_t height_;
  bool luminance_;
  BlockKernels kernels_;
  std::unique_ptr<int16_t[], AlignedFree> store_;
  std::vector<uint8_t> reconstruction_;
};

}  // namespace zdc
