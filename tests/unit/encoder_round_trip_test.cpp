// Whole streams from the FrameEncoder through the real FrameDecoder: the
// decoder's output must equal the encoder's reconstruction exactly, frame by
// frame, and stay close to the source; the frame headers say what was asked.
#include <gtest/gtest.h>

#include <algorithm>
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

bool SamePicture(const Picture& a, const Picture& b) {
  return a.width == b.width && a.height == b.height && a.luma == b.luma && a.chroma[0] == b.chroma[0] &&
         a.chroma[1] == b.chroma[1];
}

uint16_t Le16(const std::vector<uint8_t>& bytes, size_t offset) {
  return static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

// Encodes `picture`, decodes the frame and checks that the decoder took the
// whole frame (up to the last section it decodes) and shows the encoder's
// reconstruction.
std::vector<uint8_t> EncodeAndCheck(FrameEncoder& encoder, EncoderTestDecoder& decoder, const Picture& picture) {
  std::vector<uint8_t> frame = encoder.EncodeFrame(picture);
  const FrameInfo& info = encoder.LastFrame();
  int32_t expected = static_cast<int32_t>(kFrameHeaderSize);
  if (info.keyFrame || info.sectionSize[0] != 0) expected += static_cast<int32_t>(info.sectionSize[0]);
  if (info.keyFrame ? info.sectionSize[1] != 0 : info.sectionSize[2] != 0) expected = static_cast<int32_t>(frame.size());
  EXPECT_EQ(decoder.Decode(frame), expected);
  EXPECT_TRUE(SamePicture(decoder.Output(), encoder.Reconstruction())) << "decoder and encoder disagree";
  EXPECT_EQ(Le16(frame, 6), info.frameIndex);
  return frame;
}

// coder x mask storage x FourCC, each over odd sizes and qualities (at the
// kernel level the run allows: checkasm holds the levels to each other).
using RoundTripParam = std::tuple<CoefficientCoding, MaskStorage, uint32_t>;
class EncoderRoundTrip : public testing::TestWithParam<RoundTripParam> {};

TEST_P(EncoderRoundTrip, DecodesToTheReconstructionAndNearTheSource) {
  const auto [coder, mask, fourcc] = GetParam();
  struct Case {
    int32_t width, height;
    int quality;
    double minPsnr;
  } const cases[] = {{100, 50, 60, 30}, {33, 17, 0, 20}, {264, 24, 100, 30}, {3, 5, 50, 26}, {8, 8, 29, 26}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " quality " << c.quality);
    EncoderOptions options;
    options.fourcc = fourcc;
    options.coder = coder;
    options.mask = mask;
    options.keyInterval = 3;
    options.quality = c.quality;
    FrameEncoder encoder(c.width, c.height, options);
    EncoderTestDecoder decoder(c.width, c.height, encoder.WithChroma());
    for (int f = 0; f < 5; ++f) {
      SCOPED_TRACE(testing::Message() << "frame " << f);
      const Picture source = MakeTestPicture(c.width, c.height, encoder.WithChroma(), f);
      const std::vector<uint8_t> frame = EncodeAndCheck(encoder, decoder, source);
      const FrameInfo& info = encoder.LastFrame();
      EXPECT_EQ(info.keyFrame, f % 3 == 0);
      EXPECT_EQ(Le16(frame, 4), c.quality);
      EXPECT_TRUE(encoder.WithChroma() || info.sectionSize[1] + info.sectionSize[2] == 0);
      if (info.keyFrame) {
        EXPECT_EQ(frame[kFrameHeaderSize], static_cast<uint8_t>(coder));
      } else if (info.codedBlocks[0] > 0) {
        // The luma section says which coder and which storage hold it.
        const size_t section = kFrameHeaderSize;
        EXPECT_EQ(frame[section + 12], static_cast<uint8_t>(coder));
        const bool fd = Le16(frame, section + 6) == kFdMaskTag;
        const uint8_t storage = frame[section + 13];
        EXPECT_TRUE(mask == MaskStorage::kAuto || (mask == MaskStorage::kFd) == fd);
        EXPECT_TRUE(mask != MaskStorage::kRaw || storage == kMaskStorageRaw);
        EXPECT_TRUE(mask != MaskStorage::kLzw || storage == kMaskStorageLzw);
        EXPECT_TRUE(mask != MaskStorage::kRunLength || storage == kMaskStorageRunLength);
      }
      EXPECT_GT(ComparePictures(source, encoder.Reconstruction()).overall, c.minPsnr);
    }
  }
}

std::string RoundTripName(const testing::TestParamInfo<RoundTripParam>& info) {
  const auto [coder, mask, fourcc] = info.param;
  const char* masks[] = {"Auto", "Raw", "Lzw", "RunLength", "Fd"};
  return std::string(coder == CoefficientCoding::kHuffman ? "Huffman" : "Arithmetic") + masks[static_cast<int>(mask)] +
         (fourcc == kFourccQzv2 ? "Qzv2" : fourcc == kFourccQzv3 ? "Qzv3" : "Qzv4");
}

INSTANTIATE_TEST_SUITE_P(
    All, EncoderRoundTrip,
    testing::Combine(testing::Values(CoefficientCoding::kHuffman, CoefficientCoding::kArithmetic),
                     testing::Values(MaskStorage::kAuto, MaskStorage::kRaw, MaskStorage::kLzw, MaskStorage::kRunLength,
                                     MaskStorage::kFd),
                     testing::Values(kFourccQzv2, kFourccQzv3, kFourccQzv4)),
    RoundTripName);

// Each step is one frame: the quality asked for, a key frame requested, the
// picture (test sequence frame, or a change to frame 0), and what the frame
// must hold. 29 and 58 make the decoder store one hundredth less; the encoder
// then writes them again for a following 28 or 57, so a decoder that starts
// at any key frame agrees.
TEST(EncoderSequences, KeyFramesQualitiesAndDeltaThreshold) {
  enum Content { kMoving, kStill, kOneBlockPlus1, kOneBlockPlus4, kOneBlockWhite };
  struct Step {
    int quality;
    bool requestKey;
    Content content;
    uint16_t header, frameIndex;
    int codedLuma;  // -1: any
  };
  struct Case {
    const char* name;
    uint32_t keyInterval;
    std::vector<Step> steps;
  } const cases[] = {
      {"qualities between frames", 0,
       {{50, false, kMoving, 50, 0, -1}, {10, false, kMoving, 10, 1, -1}, {29, false, kMoving, 29, 2, -1},
        {28, false, kMoving, 29, 3, -1}, {27, false, kMoving, 27, 4, -1}, {28, false, kMoving, 28, 5, -1},
        {58, true, kMoving, 58, 0, -1}, {57, false, kMoving, 58, 1, -1}, {0, false, kMoving, 0, 2, -1},
        {100, false, kMoving, 100, 3, -1}}},
      {"interval and requests", 3,
       {{50, false, kMoving, 50, 0, -1}, {50, false, kMoving, 50, 1, -1}, {50, true, kMoving, 50, 0, -1},
        {50, false, kMoving, 50, 1, -1}, {50, false, kMoving, 50, 2, -1}, {50, false, kMoving, 50, 0, -1}}},
      {"every frame a key frame", 1, {{50, false, kMoving, 50, 0, -1}, {50, false, kMoving, 50, 0, -1}}},
      {"unchanged pictures and small changes", 0,
       {{50, false, kStill, 50, 0, -1}, {50, false, kStill, 50, 1, 0}, {50, false, kOneBlockPlus1, 50, 2, 0},
        {50, false, kOneBlockPlus4, 50, 3, 1}, {50, false, kOneBlockWhite, 50, 4, 1}}},
  };
  const int32_t width = 64, height = 48;
  for (CoefficientCoding coder : {CoefficientCoding::kHuffman, CoefficientCoding::kArithmetic}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.name << ", coder " << int(coder));
      EncoderOptions options;
      options.coder = coder;
      options.keyInterval = c.keyInterval;
      FrameEncoder encoder(width, height, options);
      EncoderTestDecoder decoder(width, height, true);
      for (size_t f = 0; f < c.steps.size(); ++f) {
        const Step& step = c.steps[f];
        SCOPED_TRACE(testing::Message() << "frame " << f);
        Picture picture = MakeTestPicture(width, height, true, step.content == kMoving ? static_cast<int>(f) : 0);
        for (int32_t y = 0; y < height; ++y) {
          for (int32_t x = 0; x < width; ++x) {
            uint8_t& p = picture.luma[static_cast<size_t>(y) * width + x];
            const bool inBlock = x >= 40 && x < 48 && y >= 16 && y < 24;
            if (step.content == kOneBlockPlus1 && inBlock) p = static_cast<uint8_t>(std::min(255, p + 1));
            if (step.content == kOneBlockPlus4 && inBlock) p = static_cast<uint8_t>(std::min(255, p + 4));
            if (step.content == kOneBlockWhite && inBlock) p = 255;
          }
        }
        encoder.SetQuality(step.quality);
        if (step.requestKey) encoder.RequestKeyFrame();
        const std::vector<uint8_t> frame = EncodeAndCheck(encoder, decoder, picture);
        const FrameInfo& info = encoder.LastFrame();
        EXPECT_EQ(Le16(frame, 4), step.header);
        EXPECT_EQ(info.frameIndex, step.frameIndex);
        EXPECT_EQ(info.keyFrame, step.frameIndex == 0);
        if (step.codedLuma >= 0) {
          EXPECT_EQ(info.codedBlocks[0], static_cast<uint32_t>(step.codedLuma));
          EXPECT_EQ(info.codedBlocks[1] + info.codedBlocks[2], 0u);
          EXPECT_TRUE(step.codedLuma != 0 || frame.size() == kFrameHeaderSize) << "only the header";
        }
        if (info.keyFrame) {
          // A decoder that starts here, freshly set up, shows the same picture.
          EncoderTestDecoder fresh(width, height, true);
          EXPECT_NE(fresh.Decode(frame), 0);
          EXPECT_TRUE(SamePicture(fresh.Output(), encoder.Reconstruction()));
        }
      }
    }
  }
}

// Planes are padded to whole blocks by repeating their last column and row,
// so a flat picture of any size comes back exactly.
TEST(EncoderEdges, FlatPicturesOfAnySizeComeBackExactly) {
  for (auto [width, height] : {std::pair{13, 11}, {1, 1}, {3, 5}, {31, 64}, {264, 24}}) {
    EncoderOptions options;
    options.quality = 100;
    FrameEncoder encoder(width, height, options);
    const Picture flat = zdc::Picture::Create(width, height, true, 100);
    EncoderTestDecoder decoder(width, height, true);
    EncodeAndCheck(encoder, decoder, flat);
    EXPECT_TRUE(SamePicture(encoder.Reconstruction(), flat)) << width << "x" << height;
  }
}

}  // namespace
}  // namespace zdc
