// The peer decoder the benchmark measures against: libjpeg-turbo through its
// TurboJPEG API, decoding to planar 4:2:0 YUV (no upsampling, no colour
// conversion) with its default accurate integer IDCT.
//
// Baseline Huffman JPEGs are made by TurboJPEG from the 4:2:0 planes. The
// TurboJPEG 2.x API has no arithmetic-coding switch, so arithmetic-coded
// JPEGs are made by transcoding those baseline files losslessly with the
// libjpeg API of the same library (the coefficients stay exactly the same);
// without the libjpeg headers that case is skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "source_image.h"

namespace zdc {
namespace bench {

enum class JpegCoding { kHuffman, kArithmetic };

class JpegPeer {
 public:
  JpegPeer();
  ~JpegPeer();
  JpegPeer(const JpegPeer&) = delete;
  JpegPeer& operator=(const JpegPeer&) = delete;

  // The library's version and whether it can write arithmetic-coded files.
  static std::string Version();
  static bool CanCodeArithmetic();

  // One JPEG of `planes` at `quality` (1..100); empty on failure.
  std::vector<uint8_t> Compress(const Planes420& planes, int quality, JpegCoding coding);

  // Decodes `jpeg` into `planes` (sized to the picture). False on failure,
  // with the library's message in LastError().
  bool Decode(const std::vector<uint8_t>& jpeg, Planes420* planes);

  // Blocks one decode handles: whole 16x16 MCUs of four luma blocks and one
  // block of each chroma component.
  static uint64_t BlocksPerPicture(int32_t width, int32_t height);

  const std::string& LastError() const { return error_; }

 private:
  void* compressor_;
  void* decompressor_;
  std::string error_;
};

// The JPEG whose size comes nearest to targetBytes, searched over the
// quality with `compress` (quality -> file); quality and file are returned.
struct JpegMatch {
  int quality = 0;
  std::vector<uint8_t> data;
};
JpegMatch MatchSize(const std::function<std::vector<uint8_t>(int)>& compress, size_t targetBytes);

}  // namespace bench
}  // namespace zdc
