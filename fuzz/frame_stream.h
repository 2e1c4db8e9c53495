// The input of the whole-frame fuzz target, written by the seed generator:
// a picture setup, then frames, each with the settings to apply before it.
//
//   setup (6 bytes):
//     0-1  width - 1 (little-endian; modulo kMaxWidth)
//     2-3  height - 1 (modulo kMaxHeight)
//     4    bit 0: with chroma (else the luma-only QZV3); bit 1: portable
//          kernels only
//     5    output stride = width + this byte modulo 64
//   then frames until the input ends, each:
//     0    control (FrameControl)
//     1    quality: 255 = not a number, 254 = -0.01, else this value / 100;
//          with kResize the new size, with kFailedSize the unusable size
//     2-4  length of the frame (little-endian; the last takes what is left)
//     ...  the frame
#pragma once

#include <cstdint>

namespace zdc::fuzz {

constexpr int32_t kMaxWidth = 352, kMaxHeight = 288;

enum FrameControl : uint8_t {
  kDenoise = 0x01,
  kDisplayMask = 0x02,
  kSetQuality = 0x04,    // SetQuality from byte 1 first
  kSetSizeAgain = 0x08,  // SetSize again first (restarts the delta chain)
  kNarrowStride = 0x10,  // an output stride narrower than the picture: refused
  kResize = 0x20,        // a new picture size first, as when the media type changes
  kFailedSize = 0x40,    // a SetSize that fails first: frames refused until one succeeds
};

}  // namespace zdc::fuzz
