// A check of the PNG files we write, parsed apart from the writer: the chunk
// structure, every CRC-32, the zlib header and its Adler-32 (the checksums,
// pinned to published values by the PNG tests), the stored deflate blocks
// and the rows (filter None).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zdc_test {

struct PngImage {
  uint32_t width = 0, height = 0;
  uint8_t bitDepth = 0, colorType = 0, interlace = 0;
  std::vector<std::string> chunkTypes;
  size_t storedBlocks = 0;
  std::vector<uint8_t> pixels;  // rows packed, filters undone
};

// Returns "" when the file is a valid PNG of the kind we write (8-bit grey or
// RGB, not interlaced, stored deflate blocks), else what is wrong with it.
std::string InspectPng(const std::vector<uint8_t>& file, PngImage* image);

}  // namespace zdc_test
