// Hand-made AVI files for the reader's tests: RIFF chunks and lists put
// together byte by byte, so that tests can build exactly the damaged or
// unusual layouts they need.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace zdc_test {

using Bytes = std::vector<uint8_t>;

Bytes Le16Bytes(uint16_t value);
Bytes Le32Bytes(uint32_t value);
Bytes Le64Bytes(uint64_t value);
Bytes Join(std::initializer_list<Bytes> parts);
Bytes Text(const std::string& text);

// A chunk: id, size, data and the pad byte after an odd size (unless `pad` is
// false, as some writers do).
Bytes Chunk(const char* id, const Bytes& data, bool pad = true);
// A chunk whose size field says `declaredSize` whatever the data holds.
Bytes ChunkWithSize(const char* id, uint32_t declaredSize, const Bytes& data);
// 'LIST' (or 'RIFF' with kind "RIFF") of the given type and children.
Bytes List(const char* type, std::initializer_list<Bytes> children, const char* kind = "LIST");
Bytes ListOf(const char* type, const std::vector<Bytes>& children, const char* kind = "LIST");

struct AviLayout {
  int32_t width = 64;
  int32_t height = 48;
  const char* compression = "QZV2";
  uint32_t rate = 30;  // strh dwRate / dwScale
  uint32_t scale = 1;
  uint32_t microSecPerFrame = 33333;
};

Bytes MainHeaderChunk(const AviLayout& layout, uint32_t totalFrames);
// 'strl' with 'strh', the first `strfBytes` bytes of 'strf', then `after`.
Bytes VideoStreamList(const AviLayout& layout, size_t strfBytes = 40, const Bytes& after = {});
Bytes AudioStreamList();
// One 'idx1' entry.
Bytes IndexEntry(const char* id, uint32_t flags, uint32_t offset, uint32_t size);

// A complete, ordinary file: hdrl with the video stream, movi with one '00dc'
// chunk per frame, and (when `withIndex`) idx1 with keyFlags[i] per frame.
Bytes SimpleAvi(const AviLayout& layout, const std::vector<Bytes>& frames,
                const std::vector<bool>& keyFlags, bool withIndex = true);

// Deterministic frame contents of the given length.
Bytes FramePayload(size_t length, uint8_t seed);

}  // namespace zdc_test
