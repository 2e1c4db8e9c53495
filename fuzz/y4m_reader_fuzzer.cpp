// The YUV4MPEG2 reader on hostile streams: the header, then frames until the
// stream ends, a frame is refused, or kMaxFrames are read.
//
// Checks: no crash, no read outside the reader's buffers (AddressSanitizer),
// no error but MediaError; an accepted header has a picture size inside the
// reader's limits; every frame read has exactly the planes the header asks
// for; and the planes never take much more memory than the stream holds,
// however large a picture the header claims.
#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz_support.h"
#include "media_error.h"
#include "y4m_reader.h"

namespace zdc::fuzz {
namespace {

constexpr int kMaxFrames = 16;
// How far a plane may grow ahead of the bytes that have arrived.
constexpr size_t kPlaneSlack = size_t{16} << 20;

void ReadStream(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  Y4mFrame frame;
  try {
    Y4mReader reader(in);
    const Y4mHeader& header = reader.Header();
    ZDC_FUZZ_CHECK(header.width > 0 && header.height > 0 && header.width <= 65535 &&
                       header.height <= 65535 && header.FrameBytes() <= (size_t{1} << 30),
                   "an accepted header has a picture size inside the limits");
    const size_t luma = static_cast<size_t>(header.width) * header.height;
    const size_t chroma = static_cast<size_t>(header.ChromaWidth()) * header.ChromaHeight();
    for (int i = 0; i < kMaxFrames && reader.ReadFrame(&frame); ++i) {
      ZDC_FUZZ_CHECK(
          frame.y.size() == luma && frame.cb.size() == chroma && frame.cr.size() == chroma,
          "a frame has the planes the header asks for");
    }
  } catch (const MediaError&) {
    // Refused, with a message: the defined outcome for a bad stream.
  }
  ZDC_FUZZ_CHECK(frame.y.capacity() <= size + kPlaneSlack &&
                     frame.cb.capacity() <= size + kPlaneSlack &&
                     frame.cr.capacity() <= size + kPlaneSlack,
                 "planes take memory for the bytes that are there, not for the claimed picture");
}

}  // namespace
}  // namespace zdc::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zdc::fuzz::ReadStream(data, size);
  return 0;
}
