#include "y4m_writer.h"

#include <string>

#include "media_error.h"
#include "picture_convert.h"

namespace zdc {

Y4mWriter::Y4mWriter(std::ostream& out, const Y4mHeader& header) : out_(out), header_(header) {
  if (header_.width <= 0 || header_.height <= 0) throw MediaError("picture size must be positive");
  if (!header_.frameRate.Known()) header_.frameRate = Rational{25, 1};
  std::string line = "YUV4MPEG2 W" + std::to_string(header_.width) + " H" +
                     std::to_string(header_.height) + " F" + std::to_string(header_.frameRate.num) +
                     ":" + std::to_string(header_.frameRate.den) + " I" + header_.interlace + " A" +
                     std::to_string(header_.aspect.num) + ":" + std::to_string(header_.aspect.den) +
                     " C" + Y4mChromaTag(header_.chroma) + "\n";
  out_.write(line.data(), static_cast<std::streamsize>(line.size()));
  if (!out_) throw MediaError("write error");
}

void Y4mWriter::WriteFrame(const Y4mFrame& frame) {
  const size_t luma = static_cast<size_t>(header_.width) * header_.height;
  const size_t chroma = static_cast<size_t>(header_.ChromaWidth()) * header_.ChromaHeight();
  if (frame.y.size() != luma || frame.cb.size() != chroma || frame.cr.size() != chroma) {
    throw MediaError("frame planes do not match the stream header");
  }
  WriteFrame(frame.y.data(), frame.cb.data(), frame.cr.data());
}

void Y4mWriter::WriteFrame(const uint8_t* y, const uint8_t* cb, const uint8_t* cr) {
  const size_t luma = static_cast<size_t>(header_.width) * header_.height;
  const size_t chroma = static_cast<size_t>(header_.ChromaWidth()) * header_.ChromaHeight();
  out_.write("FRAME\n", 6);
  out_.write(reinterpret_cast<const char*>(y), static_cast<std::streamsize>(luma));
  if (chroma) {
    out_.write(reinterpret_cast<const char*>(cb), static_cast<std::streamsize>(chroma));
    out_.write(reinterpret_cast<const char*>(cr), static_cast<std::streamsize>(chroma));
  }
  if (!out_) throw MediaError("write error");
}

void Y4mWriter::WritePicture(const Yvu9Picture& picture) {
  PicturePlanes(picture, &frame_);
  WritePlanes(frame_);
}

void Y4mWriter::PicturePlanes(const Yvu9Picture& picture, std::vector<uint8_t>* planes) const {
  if (picture.width != header_.width || picture.height != header_.height) {
    throw MediaError("picture size does not match the stream header");
  }
  if (header_.chroma == Y4mChroma::kMono) {
    // Rows may be padded in the picture; the stream wants them packed.
    Yvu9Picture luma = picture;
    luma.u = luma.v = nullptr;
    PackYvu9(luma, planes);
    return;
  }
  if (header_.chroma != Y4mChroma::k420Jpeg) throw MediaError("pictures are written as C420jpeg or Cmono");
  // The I420 conversion writes luma, Cb and Cr planes back to back.
  const ptrdiff_t pitch = PackedPitch(PixelFormat::kI420, picture.width);
  planes->resize(SurfaceBytes(PixelFormat::kI420, picture.height, pitch, true));
  ConvertPicture(picture, PixelFormat::kI420,
                 SurfaceInBuffer(PixelFormat::kI420, planes->data(), picture.height, pitch, true));
}

void Y4mWriter::WritePlanes(const std::vector<uint8_t>& planes) {
  out_.write("FRAME\n", 6);
  out_.write(reinterpret_cast<const char*>(planes.data()), static_cast<std::streamsize>(planes.size()));
  if (!out_) throw MediaError("write error");
}

}  // namespace zdc
