// Whole streams from the FrameEncoder through the real FrameDecoder: the
// decoder's output must equal the encoder's reconstruction exactly, frame by
// frame, and stay close to the source.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "encoder_test_pictures.h"
#include "frame_encoder.h"
#include "frame_layout.h"
#include "picture_metrics.h"

namespace zdc {
namespace {

using test::EncoderTestDecoder;
using test::MakeTestPicture;

// Index of the first differing sample, as text, or "" when equal.
std::string FirstDifference(const Picture& a, const Picture& b) {
  if (a.width != b.width || a.height != b.height || a.withChroma != b.withChroma) return "shape";
  const std::vector<uint8_t>* planesA[3] = {&a.luma, &a.chroma[0], &a.chroma[1]};
  const std::vector<uint8_t>* planesB[3] = {&b.luma, &b.chroma[0], &b.chroma[1]};
  for (int p = 0; p < 3; ++p) {
    if (planesA[p]->size() != planesB[p]->size()) return "plane " + std::to_string(p) + " size";
    for (size_t i = 0; i < planesA[p]->size(); ++i) {
      if ((*planesA[p])[i] != (*planesB[p])[i]) {
        return "plane " + std::to_string(p) + " sample " + std::to_string(i) + ": " +
               std::to_string((*planesA[p])[i]) + " vs " + std::to_string((*planesB[p])[i]);
      }
    }
  }
  return "";
}

uint16_t Le16(const std::vector<uint8_t>& bytes, size_t offset) {
  return static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

// Encodes `picture`, decodes the frame and checks that the decoder took the
// whole frame and shows the encoder's reconstruction.
std::vector<uint8_t> EncodeAndCheck(FrameEncoder& encoder, EncoderTestDecoder& decoder,
                                    const Picture& picture) {
  std::vector<uint8_t> frame = encoder.EncodeFrame(picture);
  const FrameInfo& info = encoder.LastFrame();
  const int32_t result = decoder.Decode(frame);
  EXPECT_NE(result, 0) << "the decoder abandoned the frame";
  // Decode reports the end of luma or of the second chroma section, whichever
  // came last; sections left out do not count.
  int32_t expected = static_cast<int32_t>(kFrameHeaderSize);
  if (info.keyFrame || info.sectionSize[0] != 0) expected += static_cast<int32_t>(info.sectionSize[0]);
  if (info.keyFrame ? info.sectionSize[1] != 0 : info.sectionSize[2] != 0) {
    expected = static_cast<int32_t>(frame.size());
  }
  EXPECT_EQ(result, expected);
  EXPECT_EQ(FirstDifference(decoder.Output(), encoder.Reconstruction()), "");
  return frame;
}

// Every coefficient coding with every mask storage and FourCC, over key and
// delta frames of a picture whose size needs padding in every plane.
class EncoderRoundTrip
    : public testing::TestWithParam<std::tuple<CoefficientCoding, MaskStorage, uint32_t>> {};

TEST_P(EncoderRoundTrip, DecodesToTheReconstructionAndNearTheSource) {
  const auto [coder, mask, fourcc] = GetParam();
  const int32_t width = 100, height = 50;
  EncoderOptions options;
  options.fourcc = fourcc;
  options.coder = coder;
  options.mask = mask;
  options.keyInterval = 4;
  options.quality = 60;
  FrameEncoder encoder(width, height, options);
  EncoderTestDecoder decoder(width, height, encoder.WithChroma());
  for (int f = 0; f < 7; ++f) {
    SCOPED_TRACE(testing::Message() << "frame " << f);
    const Picture source = MakeTestPicture(width, height, encoder.WithChroma(), f);
    const std::vector<uint8_t> frame = EncodeAndCheck(encoder, decoder, source);
    const FrameInfo& info = encoder.LastFrame();
    EXPECT_EQ(info.keyFrame, f % 4 == 0);
    EXPECT_EQ(Le16(frame, 6), f % 4);
    if (!encoder.WithChroma()) {
      EXPECT_EQ(info.sectionSize[1], 0u);
      EXPECT_EQ(info.sectionSize[2], 0u);
    }
    // The moving square changes luma in every delta frame; its section says
    // which storage holds the mask.
    if (!info.keyFrame) {
      ASSERT_GT(info.codedBlocks[0], 0u);
      const size_t section = kFrameHeaderSize;
      EXPECT_EQ(frame[section + 12], static_cast<uint8_t>(coder));
      const uint16_t tag = Le16(frame, section + 6);
      const uint8_t storage = frame[section + 13];
      switch (mask) {
        case MaskStorage::kRaw: EXPECT_EQ(storage, kMaskStorageRaw); EXPECT_NE(tag, kFdMaskTag); break;
        case MaskStorage::kLzw: EXPECT_EQ(storage, kMaskStorageLzw); EXPECT_NE(tag, kFdMaskTag); break;
        case MaskStorage::kRunLength: EXPECT_EQ(storage, kMaskStorageRunLength); EXPECT_NE(tag, kFdMaskTag); break;
        case MaskStorage::kFd: EXPECT_EQ(tag, kFdMaskTag); break;
        default: break;
      }
    } else {
      EXPECT_EQ(frame[kFrameHeaderSize], static_cast<uint8_t>(coder));
    }
    const PicturePsnr psnr = ComparePictures(source, encoder.Reconstruction());
    EXPECT_GT(psnr.luma, 30.0);
    if (encoder.WithChroma()) {
      EXPECT_GT(psnr.chroma[0], 30.0);
      EXPECT_GT(psnr.chroma[1], 30.0);
    }
  }
}

std::string RoundTripName(
    const testing::TestParamInfo<std::tuple<CoefficientCoding, MaskStorage, uint32_t>>& info) {
  const auto [coder, mask, fourcc] = info.param;
  const char* masks[] = {"Auto", "Raw", "Lzw", "RunLength", "Fd"};
  std::string name = coder == CoefficientCoding::kHuffman ? "Huffman" : "Arithmetic";
  name += masks[static_cast<int>(mask)];
  name += fourcc == kFourccQzv2 ? "Qzv2" : fourcc == kFourccQzv3 ? "Qzv3" : "Qzv4";
  return name;
}

INSTANTIATE_TEST_SUITE_P(
    CodersMasksFourccs, EncoderRoundTrip,
    testing::Combine(testing::Values(CoefficientCoding::kHuffman, CoefficientCoding::kArithmetic),
                     testing::Values(MaskStorage::kAuto, MaskStorage::kRaw, MaskStorage::kLzw,
                                     MaskStorage::kRunLength, MaskStorage::kFd),
                     testing::Values(kFourccQzv2, kFourccQzv3, kFourccQzv4)),
    RoundTripName);

TEST(EncoderRoundTripSizes, OddAndSmallSizes) {
  struct Size {
    int32_t width, height;
  };
  // 1x1 and 3x5 have no chroma sample at all; 264 wide needs two mask words
  // per luma row; 8x8 is a single luma block.
  const Size sizes[] = {{8, 8}, {33, 17}, {100, 50}, {176, 144}, {1, 1}, {3, 5}, {264, 24}, {31, 64}};
  for (const Size& size : sizes) {
    for (uint32_t fourcc : {kFourccQzv2, kFourccQzv3}) {
      for (CoefficientCoding coder : {CoefficientCoding::kHuffman, CoefficientCoding::kArithmetic}) {
        SCOPED_TRACE(testing::Message() << size.width << "x" << size.height << " chroma "
                                        << (fourcc == kFourccQzv2) << " coder " << int(coder));
        EncoderOptions options;
        options.fourcc = fourcc;
        options.coder = coder;
        options.keyInterval = 3;
        FrameEncoder encoder(size.width, size.height, options);
        EncoderTestDecoder decoder(size.width, size.height, encoder.WithChroma());
        for (int f = 0; f < 5; ++f) {
          const Picture source = MakeTestPicture(size.width, size.height, encoder.WithChroma(), f);
          EncodeAndCheck(encoder, decoder, source);
          // Tiny pictures are mostly the sequence's fine checkerboard: a looser bound.
          EXPECT_GT(ComparePictures(source, encoder.Reconstruction()).overall, 26.0) << "frame " << f;
        }
      }
    }
  }
}

TEST(EncoderRoundTripQuality, QualityChangesBetweenFrames) {
  // 29 and 58 make the decoder store one hundredth less; the encoder then
  // writes them again for a following 28 or 57 (the table the decoder would
  // keep anyway), so a decoder that starts at any key frame agrees.
  struct Step {
    int quality;
    uint16_t header;
  };
  const Step steps[] = {{50, 50}, {10, 10}, {90, 90}, {29, 29}, {28, 29}, {28, 29}, {27, 27},
                        {28, 28}, {58, 58}, {57, 58}, {0, 0},   {4, 4},   {5, 5},   {100, 100}};
  for (CoefficientCoding coder : {CoefficientCoding::kHuffman, CoefficientCoding::kArithmetic}) {
    for (uint32_t keyInterval : {0u, 2u}) {
      SCOPED_TRACE(testing::Message() << "coder " << int(coder) << " key interval " << keyInterval);
      EncoderOptions options;
      options.coder = coder;
      options.keyInterval = keyInterval;
      const int32_t width = 64, height = 48;
      FrameEncoder encoder(width, height, options);
      EncoderTestDecoder decoder(width, height, true);
      int f = 0;
      for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << "frame " << f << " quality " << step.quality);
        encoder.SetQuality(step.quality);
        const std::vector<uint8_t> frame = EncodeAndCheck(encoder, decoder, MakeTestPicture(width, height, true, f));
        EXPECT_EQ(Le16(frame, 4), step.header);
        if (encoder.LastFrame().keyFrame) {
          // A decoder that starts here, freshly set up, shows the same picture.
          EncoderTestDecoder fresh(width, height, true);
          EXPECT_NE(fresh.Decode(frame), 0);
          EXPECT_EQ(FirstDifference(fresh.Output(), encoder.Reconstruction()), "");
        }
        ++f;
      }
    }
  }
}

TEST(EncoderRoundTripKeyFrames, IntervalsAndRequests) {
  struct Case {
    uint32_t keyInterval;
    std::vector<int> requestAt;
    std::vector<uint16_t> frameIndices;
  };
  const Case cases[] = {
      {0, {}, {0, 1, 2, 3, 4, 5, 6}},
      {1, {}, {0, 0, 0, 0, 0, 0, 0}},
      {3, {}, {0, 1, 2, 0, 1, 2, 0}},
      {3, {2}, {0, 1, 0, 1, 2, 0, 1}},
      {0, {4}, {0, 1, 2, 3, 0, 1, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "interval " << c.keyInterval);
    EncoderOptions options;
    options.keyInterval = c.keyInterval;
    FrameEncoder encoder(48, 40, options);
    EncoderTestDecoder decoder(48, 40, true);
    for (size_t f = 0; f < c.frameIndices.size(); ++f) {
      if (std::find(c.requestAt.begin(), c.requestAt.end(), static_cast<int>(f)) != c.requestAt.end()) {
        encoder.RequestKeyFrame();
      }
      const std::vector<uint8_t> frame =
          EncodeAndCheck(encoder, decoder, MakeTestPicture(48, 40, true, static_cast<int>(f)));
      EXPECT_EQ(Le16(frame, 6), c.frameIndices[f]) << "frame " << f;
      EXPECT_EQ(encoder.LastFrame().keyFrame, c.frameIndices[f] == 0);
    }
  }
}

TEST(EncoderRoundTripDelta, UnchangedPicturesCostOnlyTheHeader) {
  for (CoefficientCoding coder : {CoefficientCoding::kHuffman, CoefficientCoding::kArithmetic}) {
    EncoderOptions options;
    options.coder = coder;
    options.keyInterval = 0;
    FrameEncoder encoder(80, 64, options);
    EncoderTestDecoder decoder(80, 64, true);
    const Picture still = MakeTestPicture(80, 64, true, 0);
    EncodeAndCheck(encoder, decoder, still);
    for (int f = 1; f < 4; ++f) {
      const std::vector<uint8_t> frame = EncodeAndCheck(encoder, decoder, still);
      EXPECT_EQ(frame.size(), kFrameHeaderSize) << "frame " << f;
    }
    // A change confined to one luma block codes that block only.
    Picture changed = still;
    for (int y = 16; y < 24; ++y) {
      for (int x = 40; x < 48; ++x) changed.luma[static_cast<size_t>(y) * 80 + x] = 255;
    }
    EncodeAndCheck(encoder, decoder, changed);
    EXPECT_EQ(encoder.LastFrame().codedBlocks[0], 1u);
    EXPECT_EQ(encoder.LastFrame().codedBlocks[1] + encoder.LastFrame().codedBlocks[2], 0u);
  }
}

TEST(EncoderRoundTripDelta, ExtremePicturesAtExtremeQualities) {
  // Full-range jumps between frames push DC and AC changes to the limits of
  // the codes: black to white, block and pixel checkerboards and back.
  const int32_t width = 64, height = 32;
  auto make = [&](int kind) {
    Picture p = Picture::Create(width, height, true);
    auto value = [&](int32_t x, int32_t y) -> uint8_t {
      switch (kind) {
        case 0: return 0;
        case 1: return 255;
        case 2: return ((x / 8 + y / 8) % 2) ? 255 : 0;
        case 3: return ((x + y) % 2) ? 255 : 0;
        default: return ((x / 8 + y / 8) % 2) ? 0 : 255;
      }
    };
    for (int32_t y = 0; y < height; ++y) {
      for (int32_t x = 0; x < width; ++x) p.luma[static_cast<size_t>(y) * width + x] = value(x, y);
    }
    for (int c = 0; c < 2; ++c) {
      for (int32_t y = 0; y < height / 4; ++y) {
        for (int32_t x = 0; x < width / 4; ++x) {
          p.chroma[c][static_cast<size_t>(y) * (width / 4) + x] = value(x + 8 * c, y);
        }
      }
    }
    return p;
  };
  for (CoefficientCoding coder : {CoefficientCoding::kHuffman, CoefficientCoding::kArithmetic}) {
    for (int quality : {0, 100}) {
      SCOPED_TRACE(testing::Message() << "coder " << int(coder) << " quality " << quality);
      EncoderOptions options;
      options.coder = coder;
      options.quality = quality;
      options.keyInterval = 0;
      options.deltaThreshold = 0;
      FrameEncoder encoder(width, height, options);
      EncoderTestDecoder decoder(width, height, true);
      for (int kind : {0, 1, 0, 2, 4, 3, 1, 3, 0}) EncodeAndCheck(encoder, decoder, make(kind));
    }
  }
}

}  // namespace
}  // namespace zdc
