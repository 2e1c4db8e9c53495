#include "avi_writer.h"

#include <cmath>
#include <limits>

#include "byte_order.h"
#include "fourcc.h"
#include "media_error.h"

namespace zdc {

namespace {

constexpr uint32_t kAvifHasIndex = 0x10;
constexpr uint32_t kAviifKeyFrame = 0x10;

// Offsets of the fields patched by Finish, as laid out by the constructor.
constexpr uint64_t kRiffSizeAt = 4;
constexpr uint64_t kAvihAt = 32;  // first byte of the 'avih' data
constexpr uint64_t kMaxBytesPerSecAt = kAvihAt + 4;
constexpr uint64_t kTotalFramesAt = kAvihAt + 16;
constexpr uint64_t kAvihBufferSizeAt = kAvihAt + 28;
constexpr uint64_t kStrhAt = kAvihAt + 56 + 20;  // after 'avih', 'LIST' size 'strl', 'strh' size
constexpr uint64_t kStrhLengthAt = kStrhAt + 32;
constexpr uint64_t kStrhBufferSizeAt = kStrhAt + 36;

void AppendFourCC(std::vector<uint8_t>& out, uint32_t code) { AppendLe32(out, code); }

}  // namespace

uint16_t DecodedBitCount(uint32_t compression) {
  if (compression == FourCC("QZV3")) return 8;
  if (compression == FourCC("QZV2") || compression == FourCC("QZV4")) return 9;
  return 24;
}

AviWriter::AviWriter(const std::string& path, const AviVideoFormat& format)
    : out_(path, std::ios::binary | std::ios::out | std::ios::trunc), format_(format) {
  if (!out_) throw MediaError("cannot create file");
  if (format_.bitCount == 0) format_.bitCount = DecodedBitCount(format_.compression);
  if (!format_.frameRate.Known()) format_.frameRate = Rational{25, 1};
  const Rational rate = format_.frameRate.Reduced();
  const double usPerFrame = 1e6 * rate.den / rate.num;
  const uint32_t microSecPerFrame =
      usPerFrame >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(std::lround(usPerFrame));
  const uint32_t absHeight = static_cast<uint32_t>(format_.height < 0 ? -static_cast<int64_t>(format_.height)
                                                                       : format_.height);
  const uint32_t imageSize = static_cast<uint32_t>(
      (static_cast<uint64_t>(format_.bitCount) * static_cast<uint32_t>(format_.width) * absHeight) / 8);

  std::vector<uint8_t> h;
  AppendFourCC(h, FourCC("RIFF"));
  AppendLe32(h, 0);  // patched
  AppendFourCC(h, FourCC("AVI "));
  AppendFourCC(h, FourCC("LIST"));
  AppendLe32(h, 4 + (8 + 56) + (12 + (8 + 56) + (8 + 40)));
  AppendFourCC(h, FourCC("hdrl"));
  AppendFourCC(h, FourCC("avih"));
  AppendLe32(h, 56);
  AppendLe32(h, microSecPerFrame);
  AppendLe32(h, 0);  // dwMaxBytesPerSec, patched
  AppendLe32(h, 0);  // dwPaddingGranularity
  AppendLe32(h, kAvifHasIndex);
  AppendLe32(h, 0);  // dwTotalFrames, patched
  AppendLe32(h, 0);  // dwInitialFrames
  AppendLe32(h, 1);  // dwStreams
  AppendLe32(h, 0);  // dwSuggestedBufferSize, patched
  AppendLe32(h, static_cast<uint32_t>(format_.width));
  AppendLe32(h, absHeight);
  for (int i = 0; i < 4; ++i) AppendLe32(h, 0);
  AppendFourCC(h, FourCC("LIST"));
  AppendLe32(h, 4 + (8 + 56) + (8 + 40));
  AppendFourCC(h, FourCC("strl"));
  AppendFourCC(h, FourCC("strh"));
  AppendLe32(h, 56);
  AppendFourCC(h, FourCC("vids"));
  AppendLe32(h, format_.compression);
  AppendLe32(h, 0);  // dwFlags
  AppendLe16(h, 0);  // wPriority
  AppendLe16(h, 0);  // wLanguage
  AppendLe32(h, 0);  // dwInitialFrames
  AppendLe32(h, rate.den);  // dwScale
  AppendLe32(h, rate.num);  // dwRate
  AppendLe32(h, 0);  // dwStart
  AppendLe32(h, 0);  // dwLength, patched
  AppendLe32(h, 0);  // dwSuggestedBufferSize, patched
  AppendLe32(h, 0xFFFFFFFFu);  // dwQuality: default
  AppendLe32(h, 0);  // dwSampleSize: frames vary in size
  AppendLe16(h, 0);  // rcFrame
  AppendLe16(h, 0);
  AppendLe16(h, static_cast<uint16_t>(format_.width));
  AppendLe16(h, static_cast<uint16_t>(absHeight));
  AppendFourCC(h, FourCC("strf"));
  AppendLe32(h, 40);
  AppendLe32(h, 40);  // biSize
  AppendLe32(h, static_cast<uint32_t>(format_.width));
  AppendLe32(h, static_cast<uint32_t>(format_.height));
  AppendLe16(h, 1);  // biPlanes
  AppendLe16(h, format_.bitCount);
  AppendLe32(h, format_.compression);
  AppendLe32(h, imageSize);
  for (int i = 0; i < 4; ++i) AppendLe32(h, 0);  // pels per metre, colours
  AppendFourCC(h, FourCC("LIST"));
  AppendLe32(h, 0);  // 'movi' size, patched
  moviFourCC_ = h.size();
  AppendFourCC(h, FourCC("movi"));
  out_.write(reinterpret_cast<const char*>(h.data()), static_cast<std::streamsize>(h.size()));
  position_ = h.size();
  Check();
}

AviWriter::~AviWriter() {
  if (!finished_) {
    try {
      Finish();
    } catch (const MediaError&) {
    }
  }
}

void AviWriter::Check() {
  if (!out_) throw MediaError("write error");
}

void AviWriter::WriteFrame(const uint8_t* data, uint32_t length, bool key) {
  if (finished_) throw MediaError("file already finished");
  const uint64_t padded = 8ull + length + (length & 1);
  // Everything, including the index that follows, must stay addressable by
  // the 32-bit RIFF size.
  const uint64_t indexBytes = 8ull + index_.size() + 16;
  if (position_ + padded + indexBytes > std::numeric_limits<uint32_t>::max()) {
    throw MediaError("file would exceed the 4 GB limit of AVI 1.0");
  }
  uint8_t header[8];
  StoreLe32(header, FourCC("00dc"));
  StoreLe32(header + 4, length);
  out_.write(reinterpret_cast<const char*>(header), 8);
  if (length) out_.write(reinterpret_cast<const char*>(data), length);
  if (length & 1) out_.put('\0');
  Check();

  AppendFourCC(index_, FourCC("00dc"));
  AppendLe32(index_, key ? kAviifKeyFrame : 0);
  AppendLe32(index_, static_cast<uint32_t>(position_ - moviFourCC_));
  AppendLe32(index_, length);
  position_ += padded;
  if (length > largestFrame_) largestFrame_ = length;
  totalFrameBytes_ += length;
}

void AviWriter::Patch(uint64_t offset, uint32_t value) {
  uint8_t bytes[4];
  StoreLe32(bytes, value);
  out_.seekp(static_cast<std::streamoff>(offset));
  out_.write(reinterpret_cast<const char*>(bytes), 4);
}

void AviWriter::Finish() {
  if (finished_) return;
  finished_ = true;
  const uint64_t moviEnd = position_;
  uint8_t header[8];
  StoreLe32(header, FourCC("idx1"));
  StoreLe32(header + 4, static_cast<uint32_t>(index_.size()));
  out_.write(reinterpret_cast<const char*>(header), 8);
  out_.write(reinterpret_cast<const char*>(index_.data()), static_cast<std::streamsize>(index_.size()));
  position_ += 8 + index_.size();

  const uint32_t frames = static_cast<uint32_t>(FrameCount());
  const Rational rate = format_.frameRate.Reduced();
  uint32_t bytesPerSecond = 0;
  if (frames) {
    const double perSecond = static_cast<double>(totalFrameBytes_) / frames * rate.ToDouble();
    bytesPerSecond = perSecond >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(perSecond);
  }
  Patch(kRiffSizeAt, static_cast<uint32_t>(position_ - 8));
  Patch(kMaxBytesPerSecAt, bytesPerSecond);
  Patch(kTotalFramesAt, frames);
  Patch(kAvihBufferSizeAt, largestFrame_ + 8);
  Patch(kStrhLengthAt, frames);
  Patch(kStrhBufferSizeAt, largestFrame_ + 8);
  Patch(moviFourCC_ - 4, static_cast<uint32_t>(moviEnd - moviFourCC_));
  out_.flush();
  Check();
  out_.close();
}

}  // namespace zdc
