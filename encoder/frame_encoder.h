// The encoder: turns a sequence of pictures into compressed frames that the
// FrameDecoder turns back into exactly the pictures this object reconstructs.
//
// The encoder keeps, per plane, the CoefficientStore and the reconstructed
// pixels just as the decoder will hold them, by running the decoder's own
// kernels on the coefficients it writes. Key frames code every block; delta
// frames code the change of the stored coefficients for the blocks where that
// change is worth it and mark them in the section's change mask.
//
// Planes are coded at the sizes the decoder decodes: luma rounded up to whole
// blocks and, with chroma, chroma planes of a quarter of the size rounded up
// to 32, the pictures' last column and row repeated into the padding.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "coefficient_encoder.h"
#include "dequant_tracker.h"
#include "encoder_options.h"
#include "picture.h"
#include "plane_encoder.h"

namespace zdc {

// What one EncodeFrame call produced.
struct FrameInfo {
  bool keyFrame = false;
  uint16_t quality = 0;      // as written into the header
  uint16_t frameIndex = 0;   // 0 for a key frame, then 1, 2, ...
  uint32_t sectionSize[3] = {0, 0, 0};
  uint32_t codedBlocks[3] = {0, 0, 0};
  size_t bytes = 0;
};

class FrameEncoder {
 public:
  // Throws std::invalid_argument for a size that is not positive or options
  // out of range (unknown FourCC, quality outside 0..100).
  FrameEncoder(int32_t width, int32_t height, const EncoderOptions& options);
  ~FrameEncoder();
  FrameEncoder(const FrameEncoder&) = delete;
  FrameEncoder& operator=(const FrameEncoder&) = delete;

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  bool WithChroma() const { return FourccHasChroma(options_.fourcc); }
  const EncoderOptions& Options() const { return options_; }

  // The quality (0..100) of the frames from the next one on.
  void SetQuality(int quality);
  // The coefficient coding of the frames from the next one on. Every plane
  // and section names its own coder, so the coding may change at any frame.
  void SetCoder(CoefficientCoding coder);
  // Makes the next frame a key frame.
  void RequestKeyFrame();

  // One compressed frame for `picture`, which must be Width() x Height() and
  // carry chroma when WithChroma() (std::invalid_argument otherwise; a
  // luma-only stream ignores chroma planes).
  std::vector<uint8_t> EncodeFrame(const Picture& picture);

  const FrameInfo& LastFrame() const { return lastFrame_; }

  // The picture the decoder outputs for the frames so far (outputStride =
  // Width(), denoise and mask display off).
  Picture Reconstruction() const;

  // The coded planes: luma, then with chroma the first and second chroma plane.
  const std::vector<PlaneEncoder>& Planes() const { return planes_; }

 private:
  bool NextIsKey() const;
  // Each appends one plane's section to `frame`; `source` is the plane's
  // picture padded to the coded size.
  void EncodeKeyPlane(size_t plane, const uint8_t* source, std::vector<uint8_t>& frame);
  void EncodeDeltaSection(size_t plane, const uint8_t* source, std::vector<uint8_t>& frame);
  // The picture's plane padded to the coded size (valid until the next call).
  const uint8_t* PaddedSource(const Picture& picture, size_t plane);

  int32_t width_;
  int32_t height_;
  EncoderOptions options_;
  std::unique_ptr<CoefficientEncoder> coder_;
  std::vector<PlaneEncoder> planes_;
  DequantTracker dequant_;
  std::vector<uint8_t> padded_;   // the current plane's source, padded
  uint64_t framesEncoded_ = 0;
  uint64_t framesSinceKey_ = 0;
  uint16_t frameIndex_ = 0;
  bool keyRequested_ = false;
  FrameInfo lastFrame_;
};

}  // namespace zdc
