#include "stream_setup.h"

#include "command_line.h"
#include "fourcc.h"
#include "media_error.h"

namespace zdc {

CompressedStream OpenCompressedStream(const std::string& path) {
  CompressedStream stream;
  stream.path = path;
  try {
    stream.reader.reset(new AviReader(path));
  } catch (const MediaError& e) {
    throw FileError(path, e.what());
  }
  const uint32_t fourcc = stream.reader->Compression();
  if (fourcc != FourCC("QZV2") && fourcc != FourCC("QZV3") && fourcc != FourCC("QZV4")) {
    throw FileError(path, "video FourCC '" + FourCCToString(fourcc) + "' is not QZV2, QZV3 or QZV4");
  }
  stream.withChroma = fourcc != FourCC("QZV3");
  const int64_t width = stream.reader->Width();
  const int64_t height = stream.reader->Height();
  if (width < 1 || width > 65535 || height == 0 || height < -65535 || height > 65535) {
    throw FileError(path, "unsupported picture size " + std::to_string(width) + "x" + std::to_string(height));
  }
  stream.width = static_cast<int32_t>(width);
  stream.height = static_cast<int32_t>(height < 0 ? -height : height);
  stream.topDown = height < 0;
  return stream;
}

void PrepareDecoder(FrameDecoder& decoder, const CompressedStream& stream, double quality) {
  if (decoder.SetSize(stream.width, stream.height, stream.withChroma) != 0) {
    throw FileError(stream.path, "the decoder cannot take a " + std::to_string(stream.width) + "x" +
                                     std::to_string(stream.height) + " picture");
  }
  if (decoder.SetQuality(quality) != 0) throw UsageError("quality must lie in [0, 1]");
}

}  // namespace zdc
