// Writes a YUV4MPEG2 stream: the header line, then "FRAME" and the planes of
// each frame.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "y4m_format.h"
#include "yvu9_picture.h"

namespace zdc {

class Y4mWriter {
 public:
  // Writes the header. An unknown frame rate is written as 25:1, an unknown
  // aspect as A0:0 (the format's "unknown"). Throws MediaError on a header the
  // format cannot express (size not positive).
  Y4mWriter(std::ostream& out, const Y4mHeader& header);

  // Writes one frame whose planes hold exactly the header's sizes.
  void WriteFrame(const Y4mFrame& frame);
  // Writes one frame from packed planes (cb and cr ignored for mono).
  void WriteFrame(const uint8_t* y, const uint8_t* cb, const uint8_t* cr);
  // Writes a decoded 4:1:0 picture: its luma and, for a 4:2:0 stream, its
  // chroma replicated to 4:2:0 (the I420 conversion of picture_convert.h,
  // which keeps the chroma centred on its 4x4 luma block: C420jpeg siting).
  // The stream must be C420jpeg or Cmono and the picture must have the
  // header's size.
  void WritePicture(const Yvu9Picture& picture);
  // WritePicture in two steps: the frame's planes back to back, made from
  // the picture without touching the writer (so on any thread), then written.
  void PicturePlanes(const Yvu9Picture& picture, std::vector<uint8_t>* planes) const;
  void WritePlanes(const std::vector<uint8_t>& planes);

  const Y4mHeader& Header() const { return header_; }

 private:
  std::ostream& out_;
  Y4mHeader header_;
  std::vector<uint8_t> frame_;  // a converted 4:2:0 picture
};

}  // namespace zdc
