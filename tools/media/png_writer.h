// PNG encoding of 8-bit grey or RGB pictures. The image data is a zlib stream
// of stored (uncompressed) deflate blocks: files are about as large as the raw
// pixels, in exchange for a writer with nothing to get wrong and no
// dependency on a compression library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zdc {

enum class PngColor : uint8_t { kGray = 0, kRgb = 2 };  // the PNG colour types

// `pixels`: height rows at `stride`, each width samples of 1 (grey) or 3 (RGB)
// bytes.
std::vector<uint8_t> EncodePng(int width, int height, PngColor color, const uint8_t* pixels,
                               size_t stride);

// Writes an encoded PNG to `path`; throws MediaError.
void WritePngFile(const std::string& path, const std::vector<uint8_t>& png);

// Encodes and writes to `path`; throws MediaError.
void WritePng(const std::string& path, int width, int height, PngColor color, const uint8_t* pixels,
              size_t stride);

}  // namespace zdc
