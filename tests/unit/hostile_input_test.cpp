// Damaged and hostile frames: random corruption of well-formed key and delta
// frames (every coder and mask storage) must never crash the decoder, never
// read outside the sample (the frames sit in heap blocks of exactly their
// length, so a sanitizer build catches any stray read), never write outside
// the picture, and never spoil the decoder for the next frame.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "arithmetic_encoder.h"
#include "frame_decoder.h"
#include "mask_encoders.h"
#include "stream_builder.h"

namespace zdc {
namespace {

using test::DeltaFrame;
using test::DeltaSectionInput;
using test::HuffmanSectionWriter;
using test::KeyFrame;
using test::KeyPlane;

constexpr int kWidth = 72, kHeight = 40;  // luma 9 x 5 blocks, chroma 3 x 2 blocks
constexpr int kGuard = 64;

std::vector<uint8_t> HuffmanKeyPlane(int blocks, bool luminance, std::mt19937& rng) {
  HuffmanSectionWriter writer(luminance);
  for (int i = 0; i < blocks; ++i) {
    const int level = (rng() % 2 ? 1 : -1) * static_cast<int>(1 + rng() % 4);
    writer.Block(static_cast<int>(rng() % 61) - 30,
                 {{static_cast<int>(rng() % 3), level}, {static_cast<int>(rng() % 5), 200}});
  }
  return KeyPlane(0, writer.Finish());
}

std::vector<uint8_t> ArithmeticStream(int blocks, bool delta, std::mt19937& rng) {
  ArithmeticEncoder encoder;
  encoder.BeginSection(delta);
  for (int i = 0; i < blocks; ++i) {
    int16_t block[64] = {};
    block[0] = static_cast<int16_t>(delta ? rng() % 9 - 4 : 100 + rng() % 50);
    block[1 + rng() % 10] = static_cast<int16_t>(rng() % 21 - 10);
    encoder.EncodeBlock(block);
  }
  return encoder.Finish();
}

DeltaSectionInput MaskedSection(int blocksPerRow, int blockRows, int storage, bool arithmetic,
                                std::mt19937& rng) {
  std::vector<std::pair<int, int>> coded;
  for (int r = 0; r < blockRows; ++r) {
    for (int c = 0; c < blocksPerRow; ++c) {
      if (rng() % 3 == 0) coded.emplace_back(r, c);
    }
  }
  DeltaSectionInput section;
  const std::vector<uint8_t> mask = test::RawMask(blocksPerRow, blockRows, coded);
  const uint32_t wordsPerRow = (blocksPerRow + 31) / 32;
  switch (storage) {
    case 0: section.mask = mask; break;
    case 1: section.maskStorage = 1; section.mask = EncodeLzwMask(mask.data(), mask.size()); break;
    case 2: section.maskStorage = 2; section.mask = EncodeRunLengthMask(mask.data(), mask.size()); break;
    default:
      section.fdTag = true;
      section.mask = EncodeFdMask(mask.data(), wordsPerRow, static_cast<uint32_t>(blockRows));
  }
  if (arithmetic) {
    section.coder = 1;
    section.stream = ArithmeticStream(static_cast<int>(coded.size()), true, rng);
  } else {
    HuffmanSectionWriter writer(blocksPerRow == kWidth / 8);
    for (size_t i = 0; i < coded.size(); ++i) writer.Block(static_cast<int>(rng() % 9) - 4, {{0, 3}});
    section.stream = writer.Finish();
  }
  return section;
}

// The well-formed frames the corruption starts from: key frames with both
// coders and delta frames with every mask storage.
std::vector<std::vector<uint8_t>> SeedFrames(std::mt19937& rng) {
  const int lumaBlocks = (kWidth / 8) * (kHeight / 8);
  const int chromaBlocks = ((kWidth + 31) / 32) * ((kHeight + 31) / 32);
  std::vector<std::vector<uint8_t>> frames;
  frames.push_back(KeyFrame(50, {HuffmanKeyPlane(lumaBlocks, true, rng),
                                 HuffmanKeyPlane(chromaBlocks, false, rng),
                                 HuffmanKeyPlane(chromaBlocks, false, rng)}));
  frames.push_back(KeyFrame(70, {KeyPlane(1, ArithmeticStream(lumaBlocks, false, rng)),
                                 KeyPlane(1, ArithmeticStream(chromaBlocks, false, rng)),
                                 KeyPlane(1, ArithmeticStream(chromaBlocks, false, rng))}));
  for (int storage = 0; storage < 4; ++storage) {
    for (bool arithmetic : {false, true}) {
      frames.push_back(DeltaFrame(
          50, 1,
          {MaskedSection(kWidth / 8, kHeight / 8, storage, arithmetic, rng),
           MaskedSection(kWidth / 32 + 1, kHeight / 32 + 1, storage, arithmetic, rng),
           MaskedSection(kWidth / 32 + 1, kHeight / 32 + 1, storage, !arithmetic, rng)}));
    }
  }
  return frames;
}

std::vector<uint8_t> Corrupt(std::vector<uint8_t> frame, std::mt19937& rng) {
  switch (rng() % 5) {
    case 0:  // flip a few bits
      for (int i = 0, n = 1 + rng() % 4; i < n && !frame.empty(); ++i) {
        frame[rng() % frame.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
      }
      break;
    case 1:  // cut short
      frame.resize(rng() % (frame.size() + 1));
      break;
    case 2: {  // hostile header and section fields
      static const uint32_t kValues[] = {0, 1, 16, 0xFFFF, 0x7FFFFFFF, 0xFFFFFFF0, 0xFFFFFFFF};
      const size_t at = rng() % (frame.size() >= 4 ? frame.size() - 3 : 1);
      const uint32_t value = kValues[rng() % 7];
      for (int i = 0; i < 4 && at + i < frame.size(); ++i) frame[at + i] = static_cast<uint8_t>(value >> (8 * i));
      break;
    }
    case 3:  // random bytes over a stretch
      for (size_t i = rng() % frame.size(), n = rng() % 40; n-- && i < frame.size(); ++i) {
        frame[i] = static_cast<uint8_t>(rng());
      }
      break;
    default:  // no end bytes or markers where they were
      for (uint8_t& byte : frame) {
        if (byte == 0xED || byte == 0xFF) byte = static_cast<uint8_t>(rng());
      }
  }
  return frame;
}

class GuardedPicture {
 public:
  explicit GuardedPicture(size_t size) : size_(size), bytes_(size + 2 * kGuard, 0xA5) {}
  uint8_t* data() { return bytes_.data() + kGuard; }
  bool GuardsIntact() const {
    for (size_t i = 0; i < kGuard; ++i) {
      if (bytes_[i] != 0xA5 || bytes_[kGuard + size_ + i] != 0xA5) return false;
    }
    return true;
  }
  std::vector<uint8_t> Picture() const {
    return {bytes_.begin() + kGuard, bytes_.begin() + kGuard + static_cast<ptrdiff_t>(size_)};
  }

 private:
  size_t size_;
  std::vector<uint8_t> bytes_;
};

int32_t DecodeExact(FrameDecoder& decoder, const std::vector<uint8_t>& frame, uint8_t* output,
                    int32_t stride) {
  std::unique_ptr<uint8_t[]> exact(new uint8_t[frame.size() ? frame.size() : 1]);
  if (!frame.empty()) std::memcpy(exact.get(), frame.data(), frame.size());
  return decoder.Decode(frame.empty() ? nullptr : exact.get(), static_cast<uint32_t>(frame.size()),
                        output, stride);
}

TEST(HostileInput, CorruptFramesStayInsideTheirBuffersAndSpoilNothing) {
  std::mt19937 rng(20261205);
  const std::vector<std::vector<uint8_t>> seeds = SeedFrames(rng);
  for (const auto& flags : {std::pair{false, false}, std::pair{true, false}, std::pair{false, true},
                            std::pair{true, true}}) {
    SCOPED_TRACE(::testing::Message() << "denoise " << flags.first << " display " << flags.second);
    const int stride = kWidth + 8;
    const size_t pictureBytes = static_cast<size_t>(kHeight) * stride * 18 / 16;
    FrameDecoder decoder, reference;
    for (FrameDecoder* d : {&decoder, &reference}) {
      ASSERT_EQ(d->SetSize(kWidth, kHeight, true), 0u);
      d->SetQuality(0.5);
      d->SetDenoise(flags.first);
      d->SetDisplayMask(flags.second);
    }
    GuardedPicture picture(pictureBytes), clean(pictureBytes);
    ASSERT_EQ(DecodeExact(reference, seeds[0], clean.data(), stride),
              static_cast<int32_t>(seeds[0].size()));
    for (int round = 0; round < 400; ++round) {
      const auto& seed = seeds[rng() % seeds.size()];
      const auto damaged = Corrupt(seed, rng);
      DecodeExact(decoder, damaged, picture.data(), stride);
      ASSERT_TRUE(picture.GuardsIntact()) << "round " << round;
      // A good key frame afterwards decodes exactly as on a fresh decoder.
      if (round % 8 == 7) {
        ASSERT_EQ(DecodeExact(decoder, seeds[0], picture.data(), stride),
                  static_cast<int32_t>(seeds[0].size()));
        ASSERT_EQ(picture.Picture(), clean.Picture()) << "round " << round;
      }
    }
  }
}

TEST(HostileInput, LumaOnlyDecoderSkipsChromaSections) {
  std::mt19937 rng(7);
  const auto seeds = SeedFrames(rng);
  FrameDecoder decoder;
  ASSERT_EQ(decoder.SetSize(kWidth, kHeight, false), 0u);
  decoder.SetQuality(0.5);
  GuardedPicture picture(static_cast<size_t>(kWidth) * kHeight);
  for (const auto& frame : seeds) {
    DecodeExact(decoder, frame, picture.data(), kWidth);
    EXPECT_TRUE(picture.GuardsIntact());
  }
}

}  // namespace
}  // namespace zdc
