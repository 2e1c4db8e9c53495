// YUV4MPEG2: the reader on (stream, expected header or error) rows, writer ->
// reader round trips in every layout, and the chroma brought down to 4:1:0
// (decoded pictures written as 4:2:0 are checked by the zdc tool's tests).
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "chroma_resample.h"
#include "media_error.h"
#include "media_temp_dir.h"
#include "y4m_reader.h"
#include "y4m_writer.h"

namespace {

// "" when `action` throws a MediaError whose message holds `message`.
std::string Expect(const char* message, const std::function<void()>& action) {
  try {
    action();
  } catch (const zdc::MediaError& e) {
    return std::string(e.what()).find(message) == std::string::npos ? std::string("wrong message: ") + e.what() : "";
  }
  return "no error";
}

TEST(Y4mReader, Streams) {
  const std::string mono = "YUV4MPEG2 W4 H2 Cmono\n";
  struct Refused {
    std::string stream;
    const char* error;  // part of the expected message
  } const refused[] = {
      {"", "not a YUV4MPEG2 stream"},
      {"YUV4MPEG W2 H2\n", "not a YUV4MPEG2 stream"},
      {"YUV4MPEG2 F25:1\n", "picture size"},
      {"YUV4MPEG2 W0 H16\n", "zero picture size"},
      {"YUV4MPEG2 W1x H16\n", "bad header tag 'W1x'"},
      {"YUV4MPEG2 W99999999 H16\n", "too large"},
      {"YUV4MPEG2 W65535 H65535 C444\n", "too large"},
      {"YUV4MPEG2 W16 H16 F25\n", "bad header tag 'F25'"},
      {"YUV4MPEG2 W16 H16 F25:0\n", "bad header tag 'F25:0'"},
      {"YUV4MPEG2 W16 H16 A1\n", "bad header tag"},
      {"YUV4MPEG2 W16 H16 It\n", "interlaced"},
      {"YUV4MPEG2 W16 H16 C420p10\n", "unsupported colour space C420p10"},
      {"YUV4MPEG2 W16 H16", "cut header"},
      {"YUV4MPEG2 " + std::string(10000, 'X') + "\n", "too long"},
      {mono + "FRAME\nabc", "frame 1 is cut short"},
      {mono + "FRAME\nabcdefghFRAME\nab", "frame 2 is cut short"},
      {mono + "FRA", "missing FRAME marker"},
      {mono + "hello\nabcdefgh", "missing FRAME marker"},
      {mono + "FRAME Ix", "cut FRAME line"},
  };
  for (const Refused& c : refused) {
    std::istringstream in(c.stream);
    EXPECT_EQ(Expect(c.error, [&] {
                zdc::Y4mReader reader(in);
                zdc::Y4mFrame frame;
                while (reader.ReadFrame(&frame)) {
                }
              }),
              "")
        << c.stream.substr(0, 60);
  }
  struct Accepted {
    std::string stream;
    zdc::Y4mChroma chroma;
    char interlace;
    size_t frames;
  } const accepted[] = {
      {"YUV4MPEG2 W4 H4\n", zdc::Y4mChroma::k420Jpeg, 'p', 0},
      {"YUV4MPEG2 W4 H4 F0:0\n", zdc::Y4mChroma::k420Jpeg, 'p', 0},
      {"YUV4MPEG2 W4 H4 C420 I?\n", zdc::Y4mChroma::k420Jpeg, '?', 0},
      {"YUV4MPEG2  W4   H4 C420paldv\n", zdc::Y4mChroma::k420PalDv, 'p', 0},
      {"YUV4MPEG2 W4 H4 C420mpeg2 XYSCSS=420MPEG2\n", zdc::Y4mChroma::k420Mpeg2, 'p', 0},
      {"YUV4MPEG2 W4 H4 C422 Ip\n", zdc::Y4mChroma::k422, 'p', 0},
      {mono + "FRAME\nabcdefghFRAME Ixyz\n12345678", zdc::Y4mChroma::kMono, 'p', 2},
  };
  for (const Accepted& c : accepted) {
    std::istringstream in(c.stream);
    zdc::Y4mReader reader(in);
    zdc::Y4mFrame frame;
    size_t frames = 0;
    while (reader.ReadFrame(&frame)) ++frames;
    EXPECT_EQ(reader.Header().chroma, c.chroma) << c.stream;
    EXPECT_EQ(reader.Header().interlace, c.interlace) << c.stream;
    EXPECT_FALSE(reader.Header().frameRate.Known()) << c.stream;
    EXPECT_EQ(frames, c.frames) << c.stream;
  }
  // A header may claim a picture of up to 1 GiB; over a stream that holds a
  // few bytes, reading it fails without taking that much memory.
  std::istringstream in("YUV4MPEG2 W65535 H10000 C420jpeg\nFRAME\n" + std::string(1000, 'x'));
  zdc::Y4mReader reader(in);
  zdc::Y4mFrame frame;
  EXPECT_EQ(Expect("frame 1 is cut short", [&] { reader.ReadFrame(&frame); }), "");
  EXPECT_LE(frame.y.capacity() + frame.cb.capacity() + frame.cr.capacity(), size_t{32} << 20);
}

zdc::Y4mFrame MakeFrame(const zdc::Y4mHeader& header, uint8_t seed) {
  zdc::Y4mFrame frame;
  frame.y.resize(static_cast<size_t>(header.width) * header.height);
  for (size_t i = 0; i < frame.y.size(); ++i) frame.y[i] = static_cast<uint8_t>(i * 7 + seed);
  for (size_t i = 0; i < static_cast<size_t>(header.ChromaWidth()) * header.ChromaHeight(); ++i) {
    frame.cb.push_back(static_cast<uint8_t>(i * 3 + seed));
    frame.cr.push_back(static_cast<uint8_t>(255 - i - seed));
  }
  return frame;
}

TEST(Y4mWriter, RoundTripsThroughTheReaderInEveryLayout) {
  struct Case {
    zdc::Y4mChroma chroma;
    int width, height;
    size_t chromaBytes;
  } const cases[] = {
      {zdc::Y4mChroma::k420Jpeg, 16, 8, 8 * 4}, {zdc::Y4mChroma::k420Mpeg2, 7, 5, 4 * 3},
      {zdc::Y4mChroma::k420PalDv, 6, 4, 3 * 2}, {zdc::Y4mChroma::k422, 5, 3, 3 * 3},
      {zdc::Y4mChroma::k444, 4, 2, 4 * 2},      {zdc::Y4mChroma::kMono, 9, 3, 0},
  };
  zdc_test::MediaTempDir dir;
  for (auto [width, height] : {std::pair{0, 16}, {16, 0}, {-2, 16}}) {
    zdc::Y4mHeader header;
    header.width = width;
    header.height = height;
    std::ostringstream out;
    EXPECT_EQ(Expect("must be positive", [&] { zdc::Y4mWriter writer(out, header); }), "") << width << "x" << height;
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(zdc::Y4mChromaTag(c.chroma));
    zdc::Y4mHeader header;
    header.width = c.width;
    header.height = c.height;
    header.chroma = c.chroma;
    header.frameRate = {30000, 1001};
    header.aspect = {4, 3};
    EXPECT_EQ(header.FrameBytes(), static_cast<size_t>(c.width * c.height) + 2 * c.chromaBytes);
    {
      std::ofstream file(dir.File("clip.y4m"), std::ios::binary);
      zdc::Y4mWriter writer(file, header);
      writer.WriteFrame(MakeFrame(header, 1));
      writer.WriteFrame(MakeFrame(header, 2));
      // Planes of another size are refused.
      for (auto plane : {&zdc::Y4mFrame::y, &zdc::Y4mFrame::cb, &zdc::Y4mFrame::cr}) {
        zdc::Y4mFrame wrong = MakeFrame(header, 3);
        (wrong.*plane).push_back(0);
        EXPECT_EQ(Expect("do not match", [&] { writer.WriteFrame(wrong); }), "");
      }
      // So are pictures of another size.
      for (auto [w, h] : {std::pair{c.width + 1, c.height}, {c.width, c.height + 1}}) {
        EXPECT_EQ(Expect("size does not match", [&] { writer.WritePicture(zdc::Yvu9Picture{w, h}); }), "");
      }
    }
    zdc::Y4mReader reader(dir.File("clip.y4m"));
    EXPECT_EQ(reader.Header().width, c.width);
    EXPECT_EQ(reader.Header().height, c.height);
    EXPECT_EQ(reader.Header().chroma, c.chroma);
    EXPECT_EQ(reader.Header().frameRate, (zdc::Rational{30000, 1001}));
    EXPECT_EQ(reader.Header().aspect, (zdc::Rational{4, 3}));
    zdc::Y4mFrame frame;
    for (uint8_t seed : {1, 2}) {
      ASSERT_TRUE(reader.ReadFrame(&frame));
      const zdc::Y4mFrame expected = MakeFrame(header, seed);
      EXPECT_TRUE(frame.y == expected.y && frame.cb == expected.cb && frame.cr == expected.cr);
    }
    EXPECT_FALSE(reader.ReadFrame(&frame));
    EXPECT_EQ(reader.FramesRead(), 2u);
  }
}

TEST(Y4mChroma, DownsamplesEveryLayoutTo410) {
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
    const bool mono = chroma == zdc::Y4mChroma::kMono;
    EXPECT_EQ(u[0], mono ? 128 : 100);
    EXPECT_EQ(v[2], mono ? 128 : 200);
    EXPECT_EQ(u[1], mono ? 128 : 11);  // mean 10.5 rounds up
    EXPECT_EQ(v[3], mono ? 128 : 11);
  }
}

}  // namespace
