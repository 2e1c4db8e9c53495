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

// `value` as `size` little-endian bytes.
inline Bytes LeBytes(uint64_t value, int size) {
  Bytes out;
  for (int i = 0; i < size; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
  return out;
}
inline Bytes Le16Bytes(uint16_t value) { return LeBytes(value, 2); }
inline Bytes Le32Bytes(uint32_t value) { return LeBytes(value, 4); }
inline Bytes Le64Bytes(uint64_t value) { return LeBytes(value, 8); }

inline Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

inline Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// A chunk whose size field says `declaredSize` whatever the data holds.
inline Bytes ChunkWithSize(const char* id, uint32_t declaredSize, const Bytes& data) {
  return Join({Bytes(id, id + 4), Le32Bytes(declaredSize), data});
}

// A chunk: id, size, data and the pad byte after an odd size (unless `pad` is
// false, as some writers do).
inline Bytes Chunk(const char* id, const Bytes& data, bool pad = true) {
  Bytes out = ChunkWithSize(id, static_cast<uint32_t>(data.size()), data);
  if (pad && (data.size() & 1)) out.push_back(0);
  return out;
}

// 'LIST' (or 'RIFF' with kind "RIFF") of the given type and children.
inline Bytes ListOf(const char* type, const std::vector<Bytes>& children, const char* kind = "LIST") {
  Bytes body(type, type + 4);
  for (const Bytes& child : children) body.insert(body.end(), child.begin(), child.end());
  return Chunk(kind, body);
}
inline Bytes List(const char* type, std::initializer_list<Bytes> children, const char* kind = "LIST") {
  return ListOf(type, std::vector<Bytes>(children), kind);
}

struct AviLayout {
  int32_t width = 64;
  int32_t height = 48;
  const char* compression = "QZV2";
  uint32_t rate = 30;  // strh dwRate / dwScale
  uint32_t scale = 1;
  uint32_t microSecPerFrame = 33333;
};

inline Bytes MainHeaderChunk(const AviLayout& layout, uint32_t totalFrames) {
  return Chunk("avih", Join({Le32Bytes(layout.microSecPerFrame), Le32Bytes(0), Le32Bytes(0), Le32Bytes(0x10),
                             Le32Bytes(totalFrames), Le32Bytes(0), Le32Bytes(1), Le32Bytes(0),
                             Le32Bytes(static_cast<uint32_t>(layout.width)),
                             Le32Bytes(static_cast<uint32_t>(layout.height)), Bytes(16, 0)}));
}

// 'strl' with 'strh', the first `strfBytes` bytes of 'strf', then `after`.
inline Bytes VideoStreamList(const AviLayout& layout, size_t strfBytes = 40, const Bytes& after = {}) {
  const Bytes strh = Join({Text("vids"), Text(layout.compression), Bytes(12, 0), Le32Bytes(layout.scale),
                           Le32Bytes(layout.rate), Bytes(12, 0), Le32Bytes(0xFFFFFFFF), Bytes(12, 0)});
  const Bytes strf = Join({Le32Bytes(40), Le32Bytes(static_cast<uint32_t>(layout.width)),
                           Le32Bytes(static_cast<uint32_t>(layout.height)), Le16Bytes(1), Le16Bytes(9),
                           Text(layout.compression), Bytes(20, 0)});
  return List("strl", {Chunk("strh", strh), Chunk("strf", Bytes(strf.begin(), strf.begin() + strfBytes)), after});
}

inline Bytes AudioStreamList() {
  const Bytes strf = Join({Le16Bytes(1), Le16Bytes(1), Le32Bytes(8000), Le32Bytes(8000), Le16Bytes(1), Le16Bytes(8)});
  return List("strl", {Chunk("strh", Join({Text("auds"), Bytes(52, 0)})), Chunk("strf", strf)});
}

// One 'idx1' entry.
inline Bytes IndexEntry(const char* id, uint32_t flags, uint32_t offset, uint32_t size) {
  return Join({Text(std::string(id, 4)), Le32Bytes(flags), Le32Bytes(offset), Le32Bytes(size)});
}

// A complete, ordinary file: hdrl with the video stream, movi with one '00dc'
// chunk per frame, and (when `withIndex`) idx1 with keyFlags[i] per frame.
inline Bytes SimpleAvi(const AviLayout& layout, const std::vector<Bytes>& frames, const std::vector<bool>& keyFlags,
                       bool withIndex = true) {
  std::vector<Bytes> chunks;
  Bytes index;
  uint32_t offset = 4;  // counted from the 'movi' FourCC
  for (size_t i = 0; i < frames.size(); ++i) {
    chunks.push_back(Chunk("00dc", frames[i]));
    const bool key = i < keyFlags.size() && keyFlags[i];
    index = Join({index, IndexEntry("00dc", key ? 0x10 : 0, offset, static_cast<uint32_t>(frames[i].size()))});
    offset += static_cast<uint32_t>(chunks.back().size());
  }
  const Bytes hdrl = List("hdrl", {MainHeaderChunk(layout, static_cast<uint32_t>(frames.size())),
                                   VideoStreamList(layout)});
  if (!withIndex) return List("AVI ", {hdrl, ListOf("movi", chunks)}, "RIFF");
  return List("AVI ", {hdrl, ListOf("movi", chunks), Chunk("idx1", index)}, "RIFF");
}

// Deterministic frame contents of the given length.
inline Bytes FramePayload(size_t length, uint8_t seed) {
  Bytes out(length);
  uint32_t state = 0x9E3779B9u ^ seed;
  for (size_t i = 0; i < length; ++i) {
    state = state * 1664525u + 1013904223u;
    out[i] = static_cast<uint8_t>(state >> 24);
  }
  return out;
}

}  // namespace zdc_test
