#include "png_writer.h"

#include <algorithm>
#include <fstream>

#include "byte_order.h"
#include "checksums.h"
#include "media_error.h"

namespace zdc {

namespace {

constexpr size_t kStoredBlockMax = 65535;
constexpr size_t kIdatMax = size_t{1} << 20;  // bytes of zlib stream per IDAT chunk

void AppendChunk(std::vector<uint8_t>& png, const char type[4], const uint8_t* data, size_t size) {
  AppendBe32(png, static_cast<uint32_t>(size));
  const size_t typeAt = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data, data + size);
  AppendBe32(png, Crc32(png.data() + typeAt, size + 4));
}

// zlib stream (RFC 1950) of `raw` in stored deflate blocks (RFC 1951).
std::vector<uint8_t> StoreZlib(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> z;
  z.reserve(raw.size() + raw.size() / kStoredBlockMax * 5 + 16);
  z.push_back(0x78);  // deflate, 32 KB window
  z.push_back(0x01);  // no dictionary, fastest; makes the header a multiple of 31
  size_t pos = 0;
  do {
    const size_t length = std::min(kStoredBlockMax, raw.size() - pos);
    const bool last = pos + length == raw.size();
    z.push_back(last ? 1 : 0);  // BFINAL, BTYPE 00
    AppendLe16(z, static_cast<uint16_t>(length));
    AppendLe16(z, static_cast<uint16_t>(~length));
    z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + length);
    pos += length;
  } while (pos < raw.size());
  AppendBe32(z, Adler32(raw.data(), raw.size()));
  return z;
}

}  // namespace

std::vector<uint8_t> EncodePng(int width, int height, PngColor color, const uint8_t* pixels,
                               size_t stride) {
  if (width <= 0 || height <= 0) throw MediaError("picture size must be positive");
  const size_t rowBytes = static_cast<size_t>(width) * (color == PngColor::kRgb ? 3 : 1);
  std::vector<uint8_t> raw;
  raw.reserve((rowBytes + 1) * height);
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // filter type None
    const uint8_t* row = pixels + y * stride;
    raw.insert(raw.end(), row, row + rowBytes);
  }
  const std::vector<uint8_t> z = StoreZlib(raw);

  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> png(kSignature, kSignature + 8);
  uint8_t ihdr[13];
  StoreBe32(ihdr, static_cast<uint32_t>(width));
  StoreBe32(ihdr + 4, static_cast<uint32_t>(height));
  ihdr[8] = 8;  // bits per sample
  ihdr[9] = static_cast<uint8_t>(color);
  ihdr[10] = 0;  // deflate
  ihdr[11] = 0;  // adaptive filtering
  ihdr[12] = 0;  // not interlaced
  AppendChunk(png, "IHDR", ihdr, sizeof ihdr);
  for (size_t pos = 0; pos < z.size(); pos += kIdatMax) {
    AppendChunk(png, "IDAT", z.data() + pos, std::min(kIdatMax, z.size() - pos));
  }
  AppendChunk(png, "IEND", nullptr, 0);
  return png;
}

void WritePng(const std::string& path, int width, int height, PngColor color, const uint8_t* pixels,
              size_t stride) {
  WritePngFile(path, EncodePng(width, height, color, pixels, stride));
}

void WritePngFile(const std::string& path, const std::vector<uint8_t>& png) {
  std::ofstream out(path, std::ios::binary | std::ios::out | std::ios::trunc);
  if (!out) throw MediaError("cannot create file");
  out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  out.close();
  if (!out) throw MediaError("write error");
}

}  // namespace zdc
