// An independent check of the PNG files we write: parses the chunk structure,
// verifies every CRC-32, the zlib header and its Adler-32, inflates the
// stored deflate blocks and undoes the row filters. Written separately from
// the writer (bitwise checksums, its own parsing) so it can catch the
// writer's mistakes instead of repeating them.
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
