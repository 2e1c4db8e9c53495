// The input of the whole-frame fuzz target: a picture setup, then a sequence
// of frames, each with the settings to apply before it. The seed generator
// writes this layout and the target reads it.
//
//   setup (6 bytes):
//     0-1  width - 1   (little-endian; taken modulo kMaxWidth)
//     2-3  height - 1  (taken modulo kMaxHeight)
//     4    bit 0: with chroma (QZV2/QZV4, else the luma-only QZV3)
//          bit 1: portable kernels only
//          bit 2: after the stream, check that good key and delta frames
//                 decode exactly as on a fresh decoder
//     5    output stride = width + this byte modulo 64
//   then frames until the input ends, each:
//     0    control: bit 0 denoise, bit 1 display mask, bit 2 set the quality
//          from byte 1 first, bit 3 SetSize again first (restarts the delta
//          chain), bit 4 decode with an output stride narrower than the
//          picture (the decoder must refuse the frame), bit 5 change the
//          picture size first (SetSize with the size that byte 1 picks, as
//          when the output media type changes while streaming), bit 6 a
//          SetSize that fails first (an unusable size, picked by byte 1;
//          the decoder must refuse frames until a SetSize succeeds)
//     1    quality: 255 = not a number, 254 = -0.01, else this value / 100;
//          with bit 5, the new size instead (see ResizedSetup)
//     2-4  length of the frame (little-endian); the last frame takes what is
//          left when the length runs past the input
//     ...  the frame
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zdc::fuzz {

constexpr int32_t kMaxWidth = 352;
constexpr int32_t kMaxHeight = 288;

struct StreamSetup {
  int32_t width = 1;
  int32_t height = 1;
  bool withChroma = false;
  bool portableKernels = false;
  bool checkRecovery = false;
  int32_t strideExtra = 0;
  int32_t Stride() const { return width + strideExtra; }
};

enum FrameControl : uint8_t {
  kDenoise = 0x01,
  kDisplayMask = 0x02,
  kSetQuality = 0x04,
  kSetSizeAgain = 0x08,
  kNarrowStride = 0x10,
  kResize = 0x20,
  kFailedSize = 0x40,
};

struct FrameRecord {
  uint8_t control = 0;
  uint8_t quality = 50;
  const uint8_t* data = nullptr;
  size_t size = 0;
};

struct FrameStreamInput {
  StreamSetup setup;
  std::vector<FrameRecord> frames;
};

FrameStreamInput ParseFrameStream(const uint8_t* data, size_t size);

// The quality that a record's quality byte asks for.
double RecordQuality(uint8_t quality);

// The setup after a kResize record: a size picked by `choice`, with or
// without chroma; the kernels, the check at the end and the stride's
// padding stay.
StreamSetup ResizedSetup(const StreamSetup& setup, uint8_t choice);

// An unusable picture size for a kFailedSize record, picked by `choice`.
void UnusableSize(uint8_t choice, int32_t* width, int32_t* height);

// Writers for the seed generator.
void AppendSetup(const StreamSetup& setup, std::vector<uint8_t>* out);
void AppendFrame(uint8_t control, uint8_t quality, const std::vector<uint8_t>& frame,
                 std::vector<uint8_t>* out);

}  // namespace zdc::fuzz
