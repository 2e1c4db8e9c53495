// The frame driver on hand-made frames: the delta chain, mask bits beyond the
// last block column, and frames cut short. (The quality rules, refused frames
// and writes outside the picture are checked on every frame of the frame
// decoder's corpus replay; where planes land, by the golden decodes and the
// encoder round trips at a padded stride.)
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "coefficient_block.h"
#include "frame_decoder.h"
#include "huffman_encoder.h"

namespace zdc {
namespace {

using Bytes = std::vector<uint8_t>;

void PutLe(Bytes& out, size_t value, int size) {
  for (int i = 0; i < size; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A frame of quality 50: the header with the sections' sizes, then the sections.
Bytes Frame(uint16_t frameIndex, const std::vector<Bytes>& sections) {
  Bytes out = {'T', 'E', 'S', 'T'};
  PutLe(out, 50, 2);
  PutLe(out, frameIndex, 2);
  for (size_t i = 0; i < 3; ++i) PutLe(out, i < sections.size() ? sections[i].size() : 0, 4);
  for (const Bytes& section : sections) out = Concat(out, section);
  return out;
}

// A Huffman key plane: its 4-byte header, then the stream.
Bytes KeyPlane(const Bytes& stream) { return Concat(Bytes(4, 0), stream); }

// The first section of a delta frame, Huffman coded, its uncoded mask right
// after the stream.
Bytes DeltaSection(const Bytes& stream, const Bytes& mask) {
  Bytes out;
  PutLe(out, 20 + 16 + stream.size(), 4);  // where the mask starts in the frame
  PutLe(out, mask.size(), 2);
  PutLe(out, 0, 2);  // no FD tag
  PutLe(out, 1, 4);  // coded
  PutLe(out, 0, 4);  // Huffman, uncoded mask, reserved
  return Concat(Concat(out, stream), mask);
}

// A Huffman stream of blocks with the given DC values (and `ac` at zigzag
// position 1 and 3 when set), with each block's read offset in `offsets`.
Bytes DcStream(const std::vector<int>& dcs, bool delta, std::vector<uint32_t>* offsets = nullptr,
               bool ac = false) {
  HuffmanEncoder encoder;
  encoder.BeginSection(true, delta);
  for (size_t b = 0; b < dcs.size(); ++b) {
    alignas(16) int16_t block[64] = {static_cast<int16_t>(dcs[b])};
    if (ac) {
      block[kZigzag[1]] = static_cast<int16_t>(1 + b % 3);
      block[kZigzag[3]] = -1;
    }
    encoder.EncodeBlock(block);
    if (offsets) offsets->push_back(encoder.LoadedBytes());
  }
  return encoder.Finish();
}

// A luma-only decoder of `width` x `height` at quality 0.5, decoding each
// frame from a heap block of exactly its length into a packed picture.
struct Decoder {
  Decoder(int w, int h) : width(w), picture(static_cast<size_t>(w) * h, 0) {
    EXPECT_EQ(decoder.SetSize(w, h, false), 0u);
    EXPECT_EQ(decoder.SetQuality(0.5), 0u);
  }
  int32_t Decode(const Bytes& frame) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[frame.size() ? frame.size() : 1]);
    if (!frame.empty()) std::memcpy(copy.get(), frame.data(), frame.size());
    return decoder.Decode(copy.get(), static_cast<uint32_t>(frame.size()), picture.data(), width);
  }
  uint8_t Luma(int x, int y) const { return picture[static_cast<size_t>(y) * width + x]; }
  int width;
  FrameDecoder decoder;
  Bytes picture;
};

// Delta frames must carry the next index of the chain; once it breaks, only
// a key frame or setting the size again mends it. A frame off the chain is
// skipped: only its header is taken.
TEST(FrameDecoder, DeltaChain) {
  constexpr int kSetSize = -1;
  struct Case {
    std::vector<int> indices;
    std::vector<bool> decoded;
  } const cases[] = {
      {{0, 1, 2, 4, 5, 0, 1}, {true, true, true, false, false, true, true}},
      {{0, 1, 3, 3}, {true, true, false, false}},
      {{1, 2}, {true, true}},  // a chain may start without a key frame
      {{2, kSetSize, 1}, {false, false, true}},
  };
  for (const Case& c : cases) {
    Decoder decoder(16, 16);
    for (size_t i = 0; i < c.indices.size(); ++i) {
      if (c.indices[i] == kSetSize) {
        ASSERT_EQ(decoder.decoder.SetSize(16, 16, false), 0u);
        continue;
      }
      // A key plane of no coefficient coding, or an uncoded delta section.
      const Bytes frame = c.indices[i] == 0 ? Frame(0, {Bytes{2, 0, 0, 0}})
                                            : Frame(static_cast<uint16_t>(c.indices[i]), {Bytes(16, 0)});
      EXPECT_EQ(decoder.Decode(frame), c.decoded[i] ? static_cast<int32_t>(frame.size()) : 20) << "frame " << i;
    }
  }
}

TEST(FrameDecoder, MaskBitsBeyondTheRowAreIgnored) {
  // 40 pixels: 5 block columns, one mask word per row; bit 5 must not decode.
  Decoder decoder(40, 8);
  decoder.Decode(Frame(0, {KeyPlane(DcStream(std::vector<int>(5, 100), false))}));
  const Bytes mask = {0xF0, 0, 0, 0xFF};  // block column 4, and columns 5..31 that do not exist
  decoder.Decode(Frame(1, {DeltaSection(DcStream({10}, true), mask)}));
  for (int bx = 0; bx < 5; ++bx) EXPECT_EQ(decoder.Luma(8 * bx, 4), bx == 4 ? 110 : 100);
}

// A frame cut short is abandoned, but every block whose bits lay before the
// cut is in the picture, the last one included, and no block after it.
TEST(FrameDecoder, AFrameCutShortKeepsTheBlocksBeforeTheCut) {
  constexpr int kBlocks = 32;  // 64 x 32 luma
  std::vector<int> values;
  for (int b = 0; b < kBlocks; ++b) values.push_back(40 + 5 * b);
  std::vector<uint32_t> endOffsets;  // plane offset each block reads up to
  const Bytes frame = Frame(0, {KeyPlane(DcStream(values, false, &endOffsets, true))});
  for (size_t cut = 24; cut <= frame.size(); ++cut) {
    Decoder decoder(64, 32);
    decoder.Decode(Bytes(frame.begin(), frame.begin() + cut));
    for (int b = 0; b < kBlocks; ++b) {
      const bool decoded = 20 + 4 + endOffsets[b] <= cut;  // after the frame and plane headers
      // A decoded block is near its value (40 or more); an untouched one is 0.
      EXPECT_EQ(decoder.Luma(8 * (b % 8) + 4, 8 * (b / 8) + 4) != 0, decoded)
          << "block " << b << ", cut at " << cut;
    }
  }
}

}  // namespace
}  // namespace zdc
