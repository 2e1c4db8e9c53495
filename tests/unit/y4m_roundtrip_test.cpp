// YUV4MPEG2 writer and reader: round trips in every layout, and the 4:1:0
// chroma conversions.
#include <gtest/gtest.h>

#include <sstream>

#include "chroma_resample.h"
#include "media_temp_dir.h"
#include "y4m_reader.h"
#include "y4m_writer.h"

namespace {

zdc::Y4mFrame MakeFrame(const zdc::Y4mHeader& header, uint8_t seed) {
  zdc::Y4mFrame frame;
  frame.y.resize(static_cast<size_t>(header.width) * header.height);
  const size_t chroma = static_cast<size_t>(header.ChromaWidth()) * header.ChromaHeight();
  frame.cb.resize(chroma);
  frame.cr.resize(chroma);
  for (size_t i = 0; i < frame.y.size(); ++i) frame.y[i] = static_cast<uint8_t>(i * 7 + seed);
  for (size_t i = 0; i < chroma; ++i) {
    frame.cb[i] = static_cast<uint8_t>(i * 3 + seed);
    frame.cr[i] = static_cast<uint8_t>(255 - i - seed);
  }
  return frame;
}

TEST(Y4mRoundTripTest, EveryLayoutAndOddSizes) {
  const struct Case {
    zdc::Y4mChroma chroma;
    int width, height;
    size_t chromaBytes;
  } cases[] = {
      {zdc::Y4mChroma::k420Jpeg, 16, 8, 8 * 4},  {zdc::Y4mChroma::k420Mpeg2, 7, 5, 4 * 3},
      {zdc::Y4mChroma::k420PalDv, 6, 4, 3 * 2},  {zdc::Y4mChroma::k422, 5, 3, 3 * 3},
      {zdc::Y4mChroma::k444, 4, 2, 4 * 2},       {zdc::Y4mChroma::kMono, 9, 3, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(zdc::Y4mChromaTag(c.chroma));
    zdc::Y4mHeader header;
    header.width = c.width;
    header.height = c.height;
    header.chroma = c.chroma;
    header.frameRate = {30000, 1001};
    header.aspect = {4, 3};
    EXPECT_EQ(header.FrameBytes(), static_cast<size_t>(c.width * c.height) + 2 * c.chromaBytes);
    std::stringstream stream;
    {
      zdc::Y4mWriter writer(stream, header);
      writer.WriteFrame(MakeFrame(header, 1));
      writer.WriteFrame(MakeFrame(header, 2));
    }
    EXPECT_EQ(stream.str().size(),
              stream.str().find('\n') + 1 + 2 * (6 + header.FrameBytes()));
    zdc::Y4mReader reader(stream);
    EXPECT_EQ(reader.Header().width, c.width);
    EXPECT_EQ(reader.Header().height, c.height);
    EXPECT_EQ(reader.Header().chroma, c.chroma);
    EXPECT_EQ(reader.Header().frameRate, (zdc::Rational{30000, 1001}));
    EXPECT_EQ(reader.Header().aspect, (zdc::Rational{4, 3}));
    zdc::Y4mFrame frame;
    for (uint8_t seed : {1, 2}) {
      ASSERT_TRUE(reader.ReadFrame(&frame));
      const zdc::Y4mFrame expected = MakeFrame(header, seed);
      EXPECT_EQ(frame.y, expected.y);
      EXPECT_EQ(frame.cb, expected.cb);
      EXPECT_EQ(frame.cr, expected.cr);
    }
    EXPECT_FALSE(reader.ReadFrame(&frame));
    EXPECT_EQ(reader.FramesRead(), 2u);
  }
}

TEST(Y4mRoundTripTest, ReadsFromAPath) {
  zdc_test::MediaTempDir dir;
  const std::string path = dir.File("clip.y4m");
  const std::string text = "YUV4MPEG2 W4 H2 F25:1 Ip A1:1 Cmono XCOMMENT=x\nFRAME\nabcdefghFRAME Ixyz\n12345678";
  zdc_test::WriteMediaFile(path, std::vector<uint8_t>(text.begin(), text.end()));
  zdc::Y4mReader reader(path);
  zdc::Y4mFrame frame;
  ASSERT_TRUE(reader.ReadFrame(&frame));
  EXPECT_EQ(std::string(frame.y.begin(), frame.y.end()), "abcdefgh");
  ASSERT_TRUE(reader.ReadFrame(&frame));  // FRAME lines may carry parameters
  EXPECT_EQ(std::string(frame.y.begin(), frame.y.end()), "12345678");
  EXPECT_FALSE(reader.ReadFrame(&frame));
}

// A decoded 4:1:0 picture written as 4:2:0: each chroma sample becomes a 2x2
// group, with the last column and row repeated where the size is not a
// multiple of 4, and grey where there is no chroma at all.
TEST(Y4mRoundTripTest, DecodedPictureUpsamplesChromaByReplication) {
  const int width = 10, height = 9;  // chroma 2 x 2; 4:2:0 chroma 5 x 5
  const size_t bytes = zdc::DecoderOutputBytes(width, height, true);
  std::vector<uint8_t> buffer(bytes, 0);
  for (int i = 0; i < width * height; ++i) buffer[i] = static_cast<uint8_t>(i);
  const zdc::Yvu9Picture picture = zdc::DecoderOutputPicture(buffer.data(), width, height, true);
  uint8_t* v = buffer.data() + (picture.v - buffer.data());
  uint8_t* u = buffer.data() + (picture.u - buffer.data());
  const uint8_t vValues[4] = {10, 20, 30, 40}, uValues[4] = {50, 60, 70, 80};
  for (int i = 0; i < 4; ++i) {
    v[(i / 2) * picture.chromaStride + i % 2] = vValues[i];
    u[(i / 2) * picture.chromaStride + i % 2] = uValues[i];
  }
  zdc::Y4mHeader header;
  header.width = width;
  header.height = height;
  std::stringstream stream;
  zdc::Y4mWriter(stream, header).WritePicture(picture);
  zdc::Y4mReader reader(stream);
  zdc::Y4mFrame frame;
  ASSERT_TRUE(reader.ReadFrame(&frame));
  EXPECT_EQ(frame.y, std::vector<uint8_t>(buffer.begin(), buffer.begin() + width * height));
  const std::vector<uint8_t> expectedCr = {10, 10, 20, 20, 20, 10, 10, 20, 20, 20, 30, 30, 40,
                                           40, 40, 30, 30, 40, 40, 40, 30, 30, 40, 40, 40};
  EXPECT_EQ(frame.cr, expectedCr);
  EXPECT_EQ(frame.cb[0], 50);
  EXPECT_EQ(frame.cb[24], 80);

  // 3 x 3: no chroma sample at all.
  std::vector<uint8_t> tiny(zdc::DecoderOutputBytes(3, 3, true), 7);
  zdc::Y4mHeader tinyHeader;
  tinyHeader.width = 3;
  tinyHeader.height = 3;
  std::stringstream tinyStream;
  zdc::Y4mWriter(tinyStream, tinyHeader).WritePicture(zdc::DecoderOutputPicture(tiny.data(), 3, 3, true));
  zdc::Y4mReader tinyReader(tinyStream);
  ASSERT_TRUE(tinyReader.ReadFrame(&frame));
  EXPECT_EQ(frame.cb, std::vector<uint8_t>(4, 128));
  EXPECT_EQ(frame.cr, std::vector<uint8_t>(4, 128));
}

TEST(Y4mRoundTripTest, LumaOnlyPictureWritesMono) {
  std::vector<uint8_t> buffer(8 * 4);
  for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<uint8_t>(i);
  zdc::Y4mHeader header;
  header.width = 8;
  header.height = 4;
  header.chroma = zdc::Y4mChroma::kMono;
  std::stringstream stream;
  zdc::Y4mWriter(stream, header).WritePicture(zdc::DecoderOutputPicture(buffer.data(), 8, 4, false));
  EXPECT_EQ(stream.str(), "YUV4MPEG2 W8 H4 F25:1 Ip A0:0 Cmono\nFRAME\n" + std::string(buffer.begin(), buffer.end()));
}

TEST(Y4mRoundTripTest, DownsamplesEveryLayoutTo410) {
  for (zdc::Y4mChroma chroma : {zdc::Y4mChroma::k420Jpeg, zdc::Y4mChroma::k422, zdc::Y4mChroma::k444,
                                zdc::Y4mChroma::kMono}) {
    SCOPED_TRACE(zdc::Y4mChromaTag(chroma));
    zdc::Y4mHeader header;
    header.width = 9;  // 2 x 2 chroma samples at 4:1:0
    header.height = 8;
    header.chroma = chroma;
    zdc::Y4mFrame frame = MakeFrame(header, 0);
    // Left 4:1:0 block: all 100 / 200; right block: alternating 10 and 11.
    const int cw = header.ChromaWidth();
    for (int y = 0; y < header.ChromaHeight(); ++y) {
      for (int x = 0; x < cw; ++x) {
        const bool left = x < cw * 4 / header.width;
        frame.cb[y * cw + x] = left ? 100 : static_cast<uint8_t>(10 + (x + y) % 2);
        frame.cr[y * cw + x] = left ? 200 : static_cast<uint8_t>(10 + (x + y) % 2);
      }
    }
    uint8_t v[4], u[4];
    zdc::DownsampleY4mTo410(header, frame, v, u);
    if (chroma == zdc::Y4mChroma::kMono) {
      for (int i = 0; i < 4; ++i) EXPECT_EQ(u[i], 128);
      continue;
    }
    EXPECT_EQ(u[0], 100);
    EXPECT_EQ(v[2], 200);
    EXPECT_EQ(u[1], 11);  // mean 10.5 rounds up
    EXPECT_EQ(v[3], 11);
  }
}

}  // namespace
