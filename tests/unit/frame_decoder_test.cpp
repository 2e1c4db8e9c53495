// The frame driver: headers, the delta chain, where planes are decoded, the
// copy-outs, frames cut short and frames without a usable size.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "coefficient_block.h"
#include "frame_decoder.h"
#include "huffman_encoder.h"
#include "stream_builder.h"

namespace zdc {
namespace {

using test::DeltaFrame;
using test::DeltaSectionInput;
using test::KeyFrame;
using test::KeyPlane;
using test::RawMask;

// A Huffman stream of blocks with the given DC values (and `ac` at zigzag
// position 1 and 3 when set), with each block's read offset in `offsets`.
std::vector<uint8_t> DcStream(const std::vector<int>& dcs, bool luminance, bool delta,
                              std::vector<uint32_t>* offsets = nullptr, bool ac = false) {
  HuffmanEncoder encoder;
  encoder.BeginSection(luminance, delta);
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

// A Huffman key plane of flat blocks with the given values, in block order.
std::vector<uint8_t> FlatKeyPlane(const std::vector<int>& values, bool luminance) {
  return KeyPlane(0, DcStream(values, luminance, false));
}

std::vector<uint8_t> FlatKeyPlane(int blocks, int value, bool luminance) {
  return FlatKeyPlane(std::vector<int>(blocks, value), luminance);
}

// A delta section that moves each listed block's DC by `change` quantized steps.
DeltaSectionInput DcDeltaSection(int blocksPerRow, int blockRows,
                                const std::vector<std::pair<int, int>>& blocks, int change) {
  DeltaSectionInput section;
  section.stream = DcStream(std::vector<int>(blocks.size(), change), true, true);
  section.mask = RawMask(blocksPerRow, blockRows, blocks);
  return section;
}

DeltaSectionInput EmptySection() {
  DeltaSectionInput section;
  section.coded = false;
  return section;
}

// The decoder's output: luma rows of `stride` bytes, then the V and U planes
// at a quarter of the stride.
struct Picture {
  Picture(int w, int h, bool chroma, int s = 0)
      : height(h), stride(s ? s : w), bytes(static_cast<size_t>(h) * stride * (chroma ? 18 : 16) / 16, 0) {}
  uint8_t* data() { return bytes.data(); }
  uint8_t Luma(int x, int y) const { return bytes[static_cast<size_t>(y) * stride + x]; }
  uint8_t Chroma(int plane, int x, int y) const {
    return bytes[static_cast<size_t>(height) * stride * (16 + plane) / 16 + static_cast<size_t>(y) * (stride / 4) + x];
  }
  int height, stride;
  std::vector<uint8_t> bytes;
};

// Sets the decoder up for `width` x `height`, quality 0.5.
void Prepare(FrameDecoder& decoder, int width, int height, bool chroma) {
  ASSERT_EQ(decoder.SetSize(width, height, chroma), 0u);
  EXPECT_EQ(decoder.SetQuality(0.5), 0u);
}

int32_t Decode(FrameDecoder& decoder, const std::vector<uint8_t>& frame, Picture& picture) {
  // The frame in a heap block of exactly its length.
  std::unique_ptr<uint8_t[]> copy(new uint8_t[frame.size() ? frame.size() : 1]);
  if (!frame.empty()) std::memcpy(copy.get(), frame.data(), frame.size());
  return decoder.Decode(copy.get(), static_cast<uint32_t>(frame.size()), picture.data(),
                        picture.stride);
}

TEST(FrameDecoder, DeltaChain) {
  struct Case {
    std::vector<int> indices;
    std::vector<bool> decoded;
  };
  const Case cases[] = {
      {{0, 1, 2, 4, 5, 0, 1}, {true, true, true, false, false, true, true}},
      {{0, 1, 3, 3}, {true, true, false, false}},  // only a key frame repairs the chain
      {{1, 2}, {true, true}},                      // a chain may start without a key frame
      {{2, 0}, {false, true}},
  };
  for (const Case& c : cases) {
    FrameDecoder decoder;
    Prepare(decoder, 16, 16, false);
    Picture picture(16, 16, false);
    for (size_t i = 0; i < c.indices.size(); ++i) {
      const int index = c.indices[i];
      const auto frame = index == 0 ? KeyFrame(50, {KeyPlane(2, {})})
                                    : DeltaFrame(50, static_cast<uint16_t>(index), {EmptySection()});
      const int32_t expected = c.decoded[i] ? static_cast<int32_t>(frame.size()) : 20;
      EXPECT_EQ(Decode(decoder, frame, picture), expected) << "frame " << i;
    }
  }
}

TEST(FrameDecoder, QualityFromTheHeader) {
  FrameDecoder decoder;
  Prepare(decoder, 8, 8, false);
  Picture picture(8, 8, false);
  const auto frame = [](uint16_t q) { return KeyFrame(q, {KeyPlane(2, {})}); };
  Decode(decoder, frame(29), picture);
  EXPECT_EQ(decoder.QualityHundredths(), 28);
  EXPECT_EQ(decoder.DequantTable()[1], 19);
  Decode(decoder, frame(150), picture);  // refused: the previous table stays
  EXPECT_EQ(decoder.QualityHundredths(), 28);
  Decode(decoder, frame(100), picture);
  EXPECT_EQ(decoder.QualityHundredths(), 100);
  EXPECT_EQ(decoder.DequantTable()[1], 8);
}

TEST(FrameDecoder, PlanesLandInTheOutputLayout) {
  // Sizes that decode straight into the output, through the luma plane, and
  // through the chroma scratch planes; strides wider than the picture.
  struct Case {
    int width, height, stride;
  };
  const Case cases[] = {{64, 32, 64}, {64, 32, 80}, {176, 144, 176}, {100, 50, 100},
                        {100, 50, 108}, {40, 8, 40}, {8, 8, 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " stride " << c.stride);
    FrameDecoder decoder;
    Prepare(decoder, c.width, c.height, true);
    const int lumaCols = (c.width + 7) / 8, lumaRows = (c.height + 7) / 8;
    const int chromaCols = (c.width + 31) / 32, chromaRows = (c.height + 31) / 32;
    // Luma blocks take the value of their block column times 4 plus their
    // row; chroma planes are flat 60 and 200.
    std::vector<int> lumaValues;
    for (int r = 0; r < lumaRows; ++r) {
      for (int col = 0; col < lumaCols; ++col) lumaValues.push_back((4 * col + r) % 256);
    }
    const auto frame = KeyFrame(50, {FlatKeyPlane(lumaValues, true),
                                     FlatKeyPlane(chromaCols * chromaRows, 60, false),
                                     FlatKeyPlane(chromaCols * chromaRows, 200, false)});
    Picture picture(c.width, c.height, true, c.stride);
    EXPECT_EQ(Decode(decoder, frame, picture), static_cast<int32_t>(frame.size()));
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.stride; ++x) {
        if (x < c.width) {
          ASSERT_EQ(picture.Luma(x, y), (4 * (x / 8) + y / 8) % 256) << x << "," << y;
        } else {
          ASSERT_EQ(picture.Luma(x, y), 0) << "padding " << x << "," << y;
        }
      }
    }
    for (int y = 0; y < c.height / 4; ++y) {
      for (int x = 0; x < c.width / 4; ++x) {
        ASSERT_EQ(picture.Chroma(0, x, y), 60);
        ASSERT_EQ(picture.Chroma(1, x, y), 200);
      }
    }
  }
}

TEST(FrameDecoder, MaskBitsBeyondTheRowAreIgnored) {
  // 40 pixels: 5 block columns, one mask word per row; bit 5 must not decode.
  FrameDecoder decoder;
  Prepare(decoder, 40, 8, false);
  Picture picture(40, 8, false);
  Decode(decoder, KeyFrame(50, {FlatKeyPlane(5, 100, true)}), picture);
  DeltaSectionInput section = DcDeltaSection(5, 1, {{0, 4}}, 10);
  section.mask[0] |= 0xE0;  // columns 5..7 do not exist
  section.mask[3] = 0xFF;
  Decode(decoder, DeltaFrame(50, 1, {section}), picture);
  for (int bx = 0; bx < 5; ++bx) EXPECT_EQ(picture.Luma(8 * bx, 4), bx == 4 ? 110 : 100);
}

// A frame cut short is abandoned, but every block whose bits lay before the
// cut is in the picture, the last one included, and no block after it.
TEST(FrameDecoder, AFrameCutShortKeepsTheBlocksBeforeTheCut) {
  constexpr int kBlocks = 32;  // 64 x 32 luma
  std::vector<int> values;
  for (int b = 0; b < kBlocks; ++b) values.push_back(40 + 5 * b);
  std::vector<uint32_t> endOffsets;  // plane offset each block reads up to
  const auto frame = KeyFrame(50, {KeyPlane(0, DcStream(values, true, false, &endOffsets, true))});
  for (size_t cut = 24; cut <= frame.size(); ++cut) {
    FrameDecoder decoder;
    Prepare(decoder, 64, 32, false);
    Picture picture(64, 32, false);
    Decode(decoder, std::vector<uint8_t>(frame.begin(), frame.begin() + cut), picture);
    for (int b = 0; b < kBlocks; ++b) {
      const bool decoded = 20 + 4 + endOffsets[b] <= cut;  // after the frame and plane headers
      // A decoded block is near its value (40 or more); an untouched one is 0.
      EXPECT_EQ(picture.Luma(8 * (b % 8) + 4, 8 * (b / 8) + 4) != 0, decoded)
          << "block " << b << ", cut at " << cut;
    }
  }
}

TEST(FrameDecoder, RefusesFramesWithoutAUsableSize) {
  FrameDecoder decoder;
  Picture picture(16, 16, true);
  const auto frame = KeyFrame(50, {KeyPlane(2, {})});
  EXPECT_EQ(Decode(decoder, frame, picture), 0) << "no SetSize yet";
  EXPECT_NE(decoder.SetSize(0, 16, true), 0u);
  EXPECT_NE(decoder.SetSize(16, -4, true), 0u);
  EXPECT_EQ(Decode(decoder, frame, picture), 0);
  ASSERT_EQ(decoder.SetSize(16, 16, true), 0u);
  EXPECT_EQ(decoder.Decode(frame.data(), static_cast<uint32_t>(frame.size()), picture.data(), 8), 0)
      << "an output pitch narrower than the picture";
  EXPECT_EQ(Decode(decoder, frame, picture), 24);
}

}  // namespace
}  // namespace zdc
