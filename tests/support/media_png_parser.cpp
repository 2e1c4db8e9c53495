#include "media_png_parser.h"

#include <algorithm>
#include <cstdlib>

namespace zdc_test {

namespace {

uint32_t BitwiseCrc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

uint32_t SlowAdler32(const std::vector<uint8_t>& data) {
  uint32_t a = 1, b = 0;
  for (uint8_t byte : data) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return b << 16 | a;
}

uint32_t Be32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

int Paeth(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

}  // namespace

std::string InspectPng(const std::vector<uint8_t>& file, PngImage* image) {
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (file.size() < 8 || !std::equal(kSignature, kSignature + 8, file.begin())) return "bad signature";
  std::vector<uint8_t> zlib;
  size_t pos = 8;
  while (pos < file.size()) {
    if (file.size() - pos < 12) return "chunk header cut";
    const uint32_t length = Be32(&file[pos]);
    if (length > file.size() - pos - 12) return "chunk runs past the file";
    const std::string type(file.begin() + pos + 4, file.begin() + pos + 8);
    const uint8_t* data = &file[pos + 8];
    if (BitwiseCrc32(&file[pos + 4], length + 4) != Be32(data + length)) return "CRC mismatch in " + type;
    if (image->chunkTypes.empty() && type != "IHDR") return "IHDR is not first";
    if (type == "IHDR") {
      if (length != 13) return "IHDR length";
      image->width = Be32(data);
      image->height = Be32(data + 4);
      image->bitDepth = data[8];
      image->colorType = data[9];
      image->interlace = data[12];
      if (data[10] != 0 || data[11] != 0) return "unknown compression or filter method";
    } else if (type == "IDAT") {
      zlib.insert(zlib.end(), data, data + length);
    }
    image->chunkTypes.push_back(type);
    pos += 12 + length;
  }
  if (image->chunkTypes.empty() || image->chunkTypes.back() != "IEND") return "IEND is not last";
  if (image->bitDepth != 8 || (image->colorType != 0 && image->colorType != 2) || image->interlace != 0) {
    return "not an 8-bit grey or RGB progressive picture";
  }

  if (zlib.size() < 6) return "zlib stream too short";
  if ((zlib[0] & 0x0F) != 8 || (zlib[0] >> 4) > 7) return "zlib method is not deflate";
  if ((zlib[0] * 256 + zlib[1]) % 31 != 0) return "zlib header check fails";
  if (zlib[1] & 0x20) return "zlib preset dictionary";
  std::vector<uint8_t> raw;
  size_t z = 2;
  for (bool last = false; !last;) {
    if (z + 5 > zlib.size()) return "deflate stream cut";
    const uint8_t header = zlib[z];
    last = header & 1;
    if ((header >> 1) != 0) return "not a stored deflate block";
    const unsigned length = zlib[z + 1] | zlib[z + 2] << 8;
    const unsigned complement = zlib[z + 3] | zlib[z + 4] << 8;
    if ((length ^ 0xFFFF) != complement) return "stored block length check fails";
    z += 5;
    if (length > zlib.size() - z) return "stored block cut";
    raw.insert(raw.end(), zlib.begin() + z, zlib.begin() + z + length);
    z += length;
    ++image->storedBlocks;
  }
  if (zlib.size() - z != 4) return "bytes after the deflate stream";
  if (Be32(&zlib[z]) != SlowAdler32(raw)) return "Adler-32 mismatch";

  const size_t channels = image->colorType == 2 ? 3 : 1;
  const size_t rowBytes = image->width * channels;
  if (raw.size() != (rowBytes + 1) * image->height) return "image data has the wrong size";
  image->pixels.assign(rowBytes * image->height, 0);
  for (size_t y = 0; y < image->height; ++y) {
    const uint8_t filter = raw[y * (rowBytes + 1)];
    const uint8_t* in = &raw[y * (rowBytes + 1) + 1];
    uint8_t* out = &image->pixels[y * rowBytes];
    const uint8_t* up = y ? out - rowBytes : nullptr;
    for (size_t x = 0; x < rowBytes; ++x) {
      const int a = x >= channels ? out[x - channels] : 0;
      const int b = up ? up[x] : 0;
      const int c = up && x >= channels ? up[x - channels] : 0;
      int predictor = 0;
      switch (filter) {
        case 0: predictor = 0; break;
        case 1: predictor = a; break;
        case 2: predictor = b; break;
        case 3: predictor = (a + b) / 2; break;
        case 4: predictor = Paeth(a, b, c); break;
        default: return "unknown row filter";
      }
      out[x] = static_cast<uint8_t>(in[x] + predictor);
    }
  }
  return "";
}

}  // namespace zdc_test
