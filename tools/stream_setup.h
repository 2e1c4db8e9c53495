// Opening a compressed AVI for the commands and setting a decoder up for it
// the way the filter does when streaming starts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "avi_reader.h"
#include "frame_decoder.h"

namespace zdc {

struct CompressedStream {
  std::string path;
  std::unique_ptr<AviReader> reader;
  int32_t width = 0;
  int32_t height = 0;       // |biHeight|: the decoder's planes always start at the top row
  bool topDown = false;     // biHeight was negative
  bool withChroma = false;  // QZV2 and QZV4 carry chroma, QZV3 only luma
};

// Opens `path` and checks that it is an AVI with a QZV2, QZV3 or QZV4 video
// stream of a size the decoder takes (1..65535 each way). Throws FileError.
CompressedStream OpenCompressedStream(const std::string& path);

// SetSize(width, height, withChroma), then SetQuality(quality); throws
// FileError naming the stream when the decoder refuses.
void PrepareDecoder(FrameDecoder& decoder, const CompressedStream& stream, double quality);

}  // namespace zdc
