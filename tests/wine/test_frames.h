// Compressed frames for the graph tests and the pictures a FrameDecoder makes
// of them when run directly, the reference the filter's output must equal.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "encoder_options.h"
#include "test_source.h"

struct StreamShape {
  uint32_t fourcc;     // zdc::kFourccQzv2 / 3 / 4
  int32_t width;
  int32_t height;
  int frames;
  uint32_t keyInterval;
  zdc::CoefficientCoding coder;
  int quality;
};

// A moving test pattern, encoded with the project's encoder.
std::vector<SourceFrame> EncodeStream(const StreamShape& shape);

// A key frame whose three planes carry no coefficients (coder 2), padded in
// its first chroma section so that the frame is exactly `bytes` long (at
// least 32) and Decode returns that length.
std::vector<BYTE> EmptyKeyFrame(uint32_t bytes);

// One run of a FrameDecoder over `frames` (media frames only), as the filter
// drives it: SetSize and SetQuality(0.5) at the start, the switches set,
// then every frame decoded into one persistent output buffer of `stride`.
// `restartAt` >= 0 resizes to `newStride` (the rectangle stays) before that
// frame, as a format change does. Returns the buffer after each frame and
// each Decode result.
struct ReferenceRun {
  std::vector<std::vector<BYTE>> pictures;
  std::vector<int32_t> results;
  std::vector<int32_t> strides;
};
ReferenceRun DecodeReference(const std::vector<SourceFrame>& frames, int32_t width, int32_t height,
                             bool withChroma, int32_t stride, bool denoise, bool displayMask,
                             int restartAt = -1, int32_t newStride = 0);

// Equal pictures within the rectangle the decoder writes: width x height luma
// at `stride`, and with chroma the two planes of a quarter of each at stride/4.
// `detail` receives the first difference.
bool SamePicture(const std::vector<BYTE>& a, const std::vector<BYTE>& b, int32_t width,
                 int32_t height, bool withChroma, int32_t stride, char* detail, size_t detailSize);

// The rounded average the filter reports for these byte counts.
int32_t ExpectedAverage(const std::vector<int32_t>& counts);
