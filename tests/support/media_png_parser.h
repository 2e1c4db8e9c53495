// A check of the PNG files we write, parsed apart from the writer: the chunk
// structure, every CRC-32, the zlib header and its Adler-32 (the checksums,
// pinned to published values by the PNG tests), the stored deflate blocks
// and the rows (filter None).
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "checksums.h"

namespace zdc_test {

struct PngImage {
  uint32_t width = 0, height = 0;
  uint8_t bitDepth = 0, colorType = 0, interlace = 0;
  std::vector<std::string> chunkTypes;
  size_t storedBlocks = 0;
  std::vector<uint8_t> pixels;  // rows packed, filters undone
};

inline uint32_t Be32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// Returns "" when the file is a valid PNG of the kind we write (8-bit grey or
// RGB, not interlaced, stored deflate blocks), else what is wrong with it.
inline std::string InspectPng(const std::vector<uint8_t>& file, PngImage* image) {
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (file.size() < 8 || !std::equal(kSignature, kSignature + 8, file.begin())) return "bad signature";
  std::vector<uint8_t> zlib;
  for (size_t pos = 8; pos < file.size();) {
    if (file.size() - pos < 12) return "chunk header cut";
    const uint32_t length = Be32(&file[pos]);
    if (length > file.size() - pos - 12) return "chunk runs past the file";
    const std::string type(file.begin() + pos + 4, file.begin() + pos + 8);
    const uint8_t* data = &file[pos + 8];
    if (zdc::Crc32(&file[pos + 4], length + 4) != Be32(data + length)) return "CRC mismatch in " + type;
    if (image->chunkTypes.empty() && (type != "IHDR" || length != 13)) return "IHDR is not first";
    if (type == "IHDR") {
      image->width = Be32(data);
      image->height = Be32(data + 4);
      image->bitDepth = data[8];
      image->colorType = data[9];
      image->interlace = data[12];
      if (data[10] != 0 || data[11] != 0) return "unknown compression or filter method";
    }
    if (type == "IDAT") zlib.insert(zlib.end(), data, data + length);
    image->chunkTypes.push_back(type);
    pos += 12 + length;
  }
  if (image->chunkTypes.empty() || image->chunkTypes.back() != "IEND") return "IEND is not last";
  if (image->bitDepth != 8 || (image->colorType != 0 && image->colorType != 2) || image->interlace != 0) {
    return "not an 8-bit grey or RGB progressive picture";
  }
  if (zlib.size() < 6 || (zlib[0] & 0x0F) != 8 || (zlib[0] * 256 + zlib[1]) % 31 != 0 || (zlib[1] & 0x20)) {
    return "bad zlib header";
  }
  std::vector<uint8_t> raw;
  size_t z = 2;
  for (bool last = false; !last; ++image->storedBlocks) {
    if (z + 5 > zlib.size()) return "deflate stream cut";
    last = zlib[z] & 1;
    if ((zlib[z] >> 1) != 0) return "not a stored deflate block";
    const unsigned length = zlib[z + 1] | zlib[z + 2] << 8;
    if ((length ^ 0xFFFF) != unsigned(zlib[z + 3] | zlib[z + 4] << 8)) return "stored block length check fails";
    z += 5;
    if (length > zlib.size() - z) return "stored block cut";
    raw.insert(raw.end(), zlib.begin() + z, zlib.begin() + z + length);
    z += length;
  }
  if (zlib.size() - z != 4 || Be32(&zlib[z]) != zdc::Adler32(raw.data(), raw.size())) return "Adler-32 mismatch";
  const size_t rowBytes = image->width * (image->colorType == 2 ? 3 : 1);
  if (raw.size() != (rowBytes + 1) * image->height) return "image data has the wrong size";
  for (size_t y = 0; y < image->height; ++y) {
    if (raw[y * (rowBytes + 1)] != 0) return "a row filter other than None";
    image->pixels.insert(image->pixels.end(), raw.begin() + y * (rowBytes + 1) + 1, raw.begin() + (y + 1) * (rowBytes + 1));
  }
  return "";
}

}  // namespace zdc_test
