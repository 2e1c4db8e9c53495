// The decoding engine: one object per stream (per filter instance). Turns one
// compressed frame at a time into a planar 4:1:0 picture (or its luma plane).
#pragma once

#include <atomic>
#include <cstdint>

#include "arithmetic_decoder.h"
#include "codec_context.h"
#include "huffman_decoder.h"

namespace zdc {

class FrameDecoder : public CodecContext {
 public:
  FrameDecoder();
  ~FrameDecoder() override;

  // Sizes every picture-dependent buffer for a width x height picture
  // (positive) and restarts the delta chain. Returns 0, or a non-zero status
  // when the size is unusable or memory runs out; the decoder then holds no
  // buffers and Decode refuses frames until a SetSize succeeds.
  uint32_t SetSize(int32_t width, int32_t height, bool withChroma);
  // Whether SetSize takes this size (memory aside), so that a host can refuse
  // a stream when it connects rather than when it starts.
  static bool AcceptsSize(int32_t width, int32_t height);

  // Decodes the frame of `frameLength` bytes at `frame` into `output`, laid
  // out as luma (height rows at outputStride), then with chroma the first and
  // second chroma planes (height / 4 rows at outputStride / 4). Returns the
  // frame's length as its sections found it, 20 for a skipped frame and 0 when
  // decoding was abandoned (compressed data ends early, no usable size, or an
  // output pitch narrower than the picture). Reads only inside the frame;
  // writes only inside the output picture and the decoder's own buffers.
  int32_t Decode(const uint8_t* frame, uint32_t frameLength, uint8_t* output,
                 int32_t outputStride);

  // The user switches, 32-bit flags kept exactly as set (any non-zero value
  // is on). Setters take the lock so a switch never changes inside a frame;
  // getters read without it.
  void SetDisplayMask(int32_t on);
  void SetDenoise(int32_t on);
  int32_t GetDisplayMask() const { return displayMask.load(std::memory_order_relaxed); }
  int32_t GetDenoise() const { return denoise.load(std::memory_order_relaxed); }

  bool HasChroma() const { return hasChroma; }

  // Whether the picture the last Decode left follows from the frames since
  // the last key frame that decoded whole (every block of every plane rebuilt),
  // with no frame since reading mask bytes it did not write itself. Decoders
  // that went through different frames before that key frame then hold the
  // same picture: this is what lets a clip be cut at key frames and its runs
  // decoded apart.
  bool PictureFollowsFromKeyFrame() const { return followsFromKeyFrame; }

 protected:
  bool AllocateBuffers(bool withChroma) override;
  void FreeBuffers() override;

 private:
  struct PlaneTarget;
  template <class EntropyDecoder>
  bool KeyBlockLoop(EntropyDecoder& entropy, const PlaneTarget& plane);
  template <class EntropyDecoder>
  void DeltaBlockLoop(EntropyDecoder& entropy, const PlaneTarget& plane, const SampleView& mask);
  bool DecodeKeyPlane(const SampleView& sample, uint32_t* readOffset, const PlaneTarget& plane);
  void DecodeDeltaSection(const SampleView& sample, uint32_t* readOffset,
                          const PlaneTarget& plane);
  int32_t DecodeLocked(const SampleView& sample, uint8_t* output, int32_t outputStride);

  std::atomic<int32_t> displayMask{0};
  std::atomic<int32_t> denoise{0};
  bool hasChroma = false;
  bool followsFromKeyFrame = false;
  uint8_t* referencePicture = nullptr;
  uint8_t* lumaPlane = nullptr;
  uint8_t* chromaScratch[2] = {nullptr, nullptr};  // for the second, then the first chroma plane
  size_t referenceBytes = 0, lumaPlaneBytes = 0, chromaScratchBytes = 0;
  uint8_t* denoiseThresholds = nullptr;
  HuffmanDecoder* huffman;
  ArithmeticDecoder* arithmetic;
  BlockKernels kernels;
  LzwMaskDecoder lzw;
};

}  // namespace zdc
