// Writer for AVI 1.0 files with one video stream of compressed frames: 'avih',
// one 'strl' ('strh' vids, 'strf' BITMAPINFOHEADER), 'movi' with one '00dc'
// chunk per frame, and an 'idx1' index flagging the key frames.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "rational.h"

namespace zdc {

struct AviVideoFormat {
  int32_t width = 0;
  int32_t height = 0;  // biHeight; positive (bottom-up order is meaningless for
                       // the planar formats we carry, but players expect > 0)
  uint32_t compression = 0;  // FourCC, used for fccHandler and biCompression
  // biBitCount: 0 picks the depth of the picture the stream decodes to (see
  // DecodedBitCount).
  uint16_t bitCount = 0;
  Rational frameRate{25, 1};
};

// Bits per pixel of the decoded picture of a stream with this FourCC: 8 for
// the luma-only QZV3, 9 (planar 4:1:0) for QZV2 and QZV4, 24 for anything
// else. A compressed stream's biBitCount has no fixed meaning; using the output
// depth is what codecs of this kind conventionally store there.
uint16_t DecodedBitCount(uint32_t compression);

class AviWriter {
 public:
  // Creates (truncates) the file and writes the headers. Throws MediaError.
  AviWriter(const std::string& path, const AviVideoFormat& format);
  // Finishes the file if Finish has not run; errors are swallowed there.
  ~AviWriter();
  AviWriter(const AviWriter&) = delete;
  AviWriter& operator=(const AviWriter&) = delete;

  // Appends one frame (length 0 is a dropped frame). Throws MediaError when
  // the file would outgrow the 32-bit sizes of AVI 1.0, or on a write error.
  void WriteFrame(const uint8_t* data, uint32_t length, bool key);
  // Writes the index and fixes the sizes and counts in the headers.
  void Finish();

  size_t FrameCount() const { return index_.size() / 16; }

 private:
  void Patch(uint64_t offset, uint32_t value);
  void Check();

  std::ofstream out_;
  AviVideoFormat format_;
  std::vector<uint8_t> index_;  // 'idx1' entries, 16 bytes per frame
  uint64_t moviFourCC_ = 0;     // file offset of the 'movi' list type
  uint64_t position_ = 0;       // current end of the file
  uint32_t largestFrame_ = 0;
  uint64_t totalFrameBytes_ = 0;
  bool finished_ = false;
};

}  // namespace zdc
