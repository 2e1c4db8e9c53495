#include "media_avi_builder.h"

namespace zdc_test {

namespace {

Bytes LeBytes(uint64_t value, int size) {
  Bytes out;
  for (int i = 0; i < size; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
  return out;
}

}  // namespace

Bytes Le16Bytes(uint16_t value) { return LeBytes(value, 2); }
Bytes Le32Bytes(uint32_t value) { return LeBytes(value, 4); }
Bytes Le64Bytes(uint64_t value) { return LeBytes(value, 8); }

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes ChunkWithSize(const char* id, uint32_t declaredSize, const Bytes& data) {
  Bytes out(id, id + 4);
  const Bytes size = Le32Bytes(declaredSize);
  out.insert(out.end(), size.begin(), size.end());
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

Bytes Chunk(const char* id, const Bytes& data, bool pad) {
  Bytes out = ChunkWithSize(id, static_cast<uint32_t>(data.size()), data);
  if (pad && (data.size() & 1)) out.push_back(0);
  return out;
}

Bytes ListOf(const char* type, const std::vector<Bytes>& children, const char* kind) {
  Bytes body(type, type + 4);
  for (const Bytes& child : children) body.insert(body.end(), child.begin(), child.end());
  return Chunk(kind, body);
}

Bytes List(const char* type, std::initializer_list<Bytes> children, const char* kind) {
  return ListOf(type, std::vector<Bytes>(children), kind);
}

Bytes MainHeaderChunk(const AviLayout& layout, uint32_t totalFrames) {
  return Chunk("avih", Join({Le32Bytes(layout.microSecPerFrame), Le32Bytes(0), Le32Bytes(0),
                             Le32Bytes(0x10), Le32Bytes(totalFrames), Le32Bytes(0), Le32Bytes(1),
                             Le32Bytes(0), Le32Bytes(static_cast<uint32_t>(layout.width)),
                             Le32Bytes(static_cast<uint32_t>(layout.height)), Bytes(16, 0)}));
}

Bytes VideoStreamList(const AviLayout& layout, size_t strfBytes, const Bytes& after) {
  const Bytes strh = Join({Text("vids"), Text(layout.compression), Le32Bytes(0), Le16Bytes(0),
                           Le16Bytes(0), Le32Bytes(0), Le32Bytes(layout.scale), Le32Bytes(layout.rate),
                           Le32Bytes(0), Le32Bytes(0), Le32Bytes(0), Le32Bytes(0xFFFFFFFF),
                           Le32Bytes(0), Bytes(8, 0)});
  const Bytes strf = Join({Le32Bytes(40), Le32Bytes(static_cast<uint32_t>(layout.width)),
                           Le32Bytes(static_cast<uint32_t>(layout.height)), Le16Bytes(1), Le16Bytes(9),
                           Text(layout.compression), Le32Bytes(0), Bytes(16, 0)});
  return List("strl", {Chunk("strh", strh), Chunk("strf", Bytes(strf.begin(), strf.begin() + strfBytes)), after});
}

Bytes AudioStreamList() {
  const Bytes strh = Join({Text("auds"), Le32Bytes(0), Bytes(48, 0)});
  const Bytes strf = Join({Le16Bytes(1), Le16Bytes(1), Le32Bytes(8000), Le32Bytes(8000), Le16Bytes(1),
                           Le16Bytes(8)});
  return List("strl", {Chunk("strh", strh), Chunk("strf", strf)});
}

Bytes IndexEntry(const char* id, uint32_t flags, uint32_t offset, uint32_t size) {
  return Join({Text(std::string(id, 4)), Le32Bytes(flags), Le32Bytes(offset), Le32Bytes(size)});
}

Bytes SimpleAvi(const AviLayout& layout, const std::vector<Bytes>& frames, const std::vector<bool>& keyFlags,
                bool withIndex) {
  std::vector<Bytes> chunks;
  Bytes index;
  uint32_t offset = 4;  // counted from the 'movi' FourCC
  for (size_t i = 0; i < frames.size(); ++i) {
    chunks.push_back(Chunk("00dc", frames[i]));
    const Bytes entry = IndexEntry("00dc", i < keyFlags.size() && keyFlags[i] ? 0x10 : 0, offset,
                                   static_cast<uint32_t>(frames[i].size()));
    index.insert(index.end(), entry.begin(), entry.end());
    offset += static_cast<uint32_t>(chunks.back().size());
  }
  const Bytes hdrl = List("hdrl", {MainHeaderChunk(layout, static_cast<uint32_t>(frames.size())),
                                   VideoStreamList(layout)});
  const Bytes movi = ListOf("movi", chunks);
  if (!withIndex) return List("AVI ", {hdrl, movi}, "RIFF");
  return List("AVI ", {hdrl, movi, Chunk("idx1", index)}, "RIFF");
}

Bytes FramePayload(size_t length, uint8_t seed) {
  Bytes out(length);
  uint32_t state = 0x9E3779B9u ^ seed;
  for (size_t i = 0; i < length; ++i) {
    state = state * 1664525u + 1013904223u;
    out[i] = static_cast<uint8_t>(state >> 24);
  }
  return out;
}

}  // namespace zdc_test
