#include "test_frames.h"

#include <cstdio>
#include <cstring>

#include "frame_decoder.h"
#include "frame_encoder.h"
#include "picture.h"

namespace {

zdc::Picture Pattern(int32_t width, int32_t height, bool withChroma, int t) {
  zdc::Picture picture = zdc::Picture::Create(width, height, withChroma);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      int value = (x * 3 + y * 2 + t * 5) & 0xFF;
      // A bright square that moves, so that delta frames code some blocks.
      if (x >= 4 + 6 * t && x < 28 + 6 * t && y >= 8 && y < 30) value = 230;
      picture.luma[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(value);
    }
  if (withChroma) {
    const int32_t cw = picture.ChromaWidth(), ch = picture.ChromaHeight();
    for (int32_t y = 0; y < ch; ++y)
      for (int32_t x = 0; x < cw; ++x) {
        picture.chroma[0][static_cast<size_t>(y) * cw + x] = static_cast<uint8_t>(100 + x * 4 + t);
        picture.chroma[1][static_cast<size_t>(y) * cw + x] = static_cast<uint8_t>(160 - y * 4 + t);
      }
  }
  return picture;
}

void PutLe16(std::vector<BYTE>& frame, size_t offset, uint32_t value) {
  frame[offset] = static_cast<BYTE>(value);
  frame[offset + 1] = static_cast<BYTE>(value >> 8);
}

void PutLe32(std::vector<BYTE>& frame, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) frame[offset + i] = static_cast<BYTE>(value >> (8 * i));
}

}  // namespace

std::vector<SourceFrame> EncodeStream(const StreamShape& shape) {
  zdc::EncoderOptions options;
  options.fourcc = shape.fourcc;
  options.quality = shape.quality;
  options.keyInterval = shape.keyInterval;
  options.coder = shape.coder;
  zdc::FrameEncoder encoder(shape.width, shape.height, options);
  std::vector<SourceFrame> frames;
  for (int t = 0; t < shape.frames; ++t) {
    SourceFrame frame;
    std::vector<uint8_t> bytes =
        encoder.EncodeFrame(Pattern(shape.width, shape.height, encoder.WithChroma(), t));
    frame.data.assign(bytes.begin(), bytes.end());
    frame.key = encoder.LastFrame().keyFrame;
    frames.push_back(std::move(frame));
  }
  return frames;
}

std::vector<BYTE> EmptyKeyFrame(uint32_t bytes) {
  // Header, then three 4-byte plane headers with coder 2; the first chroma
  // section carries the padding. Decode returns the offset after the last
  // plane header: 20 + 4 + (4 + padding) + 4.
  const uint32_t padding = bytes - 32;
  std::vector<BYTE> frame(bytes, 0);
  PutLe16(frame, 4, 50);  // quality
  PutLe16(frame, 6, 0);   // key frame
  PutLe32(frame, 8, 4);
  PutLe32(frame, 12, 4 + padding);
  PutLe32(frame, 16, 4);
  frame[20] = 2;
  frame[24] = 2;
  frame[28 + padding] = 2;
  return frame;
}

ReferenceRun DecodeReference(const std::vector<SourceFrame>& frames, int32_t width, int32_t height,
                             bool withChroma, int32_t stride, bool denoise, bool displayMask,
                             int restartAt, int32_t newStride) {
  ReferenceRun run;
  zdc::FrameDecoder decoder;
  decoder.SetDenoise(denoise);
  decoder.SetDisplayMask(displayMask);
  decoder.SetSize(width, height, withChroma);
  decoder.SetQuality(0.5);
  const int32_t largestStride = newStride > stride ? newStride : stride;
  const size_t lumaBytes = static_cast<size_t>(largestStride) * height;
  std::vector<BYTE> buffer(withChroma ? lumaBytes + 2 * (lumaBytes / 16) : lumaBytes, 0);
  int index = 0;
  for (const SourceFrame& frame : frames) {
    if (!frame.media) continue;
    if (index == restartAt) {
      stride = newStride;
      decoder.SetSize(width, height, withChroma);
      decoder.SetQuality(0.5);
    }
    int32_t n = decoder.Decode(frame.data.data(), static_cast<uint32_t>(frame.data.size()),
                               buffer.data(), stride);
    run.results.push_back(n);
    run.pictures.push_back(buffer);
    run.strides.push_back(stride);
    ++index;
  }
  return run;
}

bool SamePicture(const std::vector<BYTE>& a, const std::vector<BYTE>& b, int32_t width,
                 int32_t height, bool withChroma, int32_t stride, char* detail, size_t detailSize) {
  auto differs = [&](size_t offset, const char* plane, int32_t x, int32_t y) {
    if (offset >= a.size() || offset >= b.size()) {
      std::snprintf(detail, detailSize, "%s (%d, %d) outside the buffers (%zu, %zu bytes)", plane,
                    x, y, a.size(), b.size());
      return true;
    }
    if (a[offset] == b[offset]) return false;
    std::snprintf(detail, detailSize, "%s (%d, %d): %u, expected %u", plane, x, y, a[offset],
                  b[offset]);
    return true;
  };
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      if (differs(static_cast<size_t>(y) * stride + x, "luma", x, y)) return false;
  if (withChroma) {
    const size_t lumaSize = static_cast<size_t>(height) * stride;
    for (int plane = 0; plane < 2; ++plane) {
      const size_t base = lumaSize + plane * (lumaSize / 16);
      for (int32_t y = 0; y < height / 4; ++y)
        for (int32_t x = 0; x < width / 4; ++x)
          if (differs(base + static_cast<size_t>(y) * (stride / 4) + x,
                      plane ? "second chroma" : "first chroma", x, y))
            return false;
    }
  }
  return true;
}

int32_t ExpectedAverage(const std::vector<int32_t>& counts) {
  double total = 0.0;
  for (int32_t n : counts) total += n;
  return counts.empty() ? 0 : static_cast<int32_t>(total / counts.size() + 0.5);
}
