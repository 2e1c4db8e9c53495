// `zdc encode` and `zdc demo` end to end: YUV4MPEG2 in, AVI out, decoded back
// by `zdc decode`; bad input and bad options; the demo on the shipped sample.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "avi_reader.h"
#include "cli_support.h"
#include "media_temp_dir.h"
#include "y4m_reader.h"
#include "y4m_writer.h"

namespace zdc_cli_test {
namespace {

using zdc_test::MediaTempDir;

// A moving diagonal gradient with a bright square, 4:2:0 or luma only.
void WriteSourceY4m(const std::string& path, int width, int height, int frames,
                    zdc::Y4mChroma chroma = zdc::Y4mChroma::k420Jpeg) {
  zdc::Y4mHeader header;
  header.width = width;
  header.height = height;
  header.chroma = chroma;
  header.frameRate = {25, 1};
  header.aspect = {1, 1};
  std::ofstream out(path, std::ios::binary);
  zdc::Y4mWriter writer(out, header);
  zdc::Y4mFrame frame;
  frame.cb.assign(static_cast<size_t>(header.ChromaWidth()) * header.ChromaHeight(), 150);
  for (size_t i = 0; i < frame.cb.size(); ++i) frame.cr.push_back(static_cast<uint8_t>(100 + i % 40));
  for (int f = 0; f < frames; ++f) {
    frame.y.clear();
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const bool square = x >= 8 + 2 * f && x < 24 + 2 * f && y >= 8 && y < 24;
        frame.y.push_back(static_cast<uint8_t>(square ? 230 : (x * 2 + y * 3 + f * 4) % 200 + 20));
      }
    }
    writer.WriteFrame(frame);
  }
}

double LumaPsnr(const Bytes& source, const Bytes& decoded) {
  double squared = 0;
  for (size_t i = 0; i < source.size(); ++i) {
    const double d = double(source[i]) - decoded[i];
    squared += d * d;
  }
  return squared == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * source.size() / squared);
}

TEST(EncodeCli, EncodedClipsDecodeBackCloseToTheSource) {
  struct Case {
    const char* options;
    bool withChroma;
  };
  const Case cases[] = {{"--fourcc QZV2", true},
                        {"--fourcc QZV4 --coder arith --mask rle --keyint 3", true},
                        {"--fourcc QZV3 --mask lzw --quality 90", false},
                        {"--coder huffman,arith --mask fd --keyint 0", true},
                        {"--mask raw --quality 20", true}};
  const int width = 72, height = 40, frames = 6;
  MediaTempDir dir;
  const std::string source = dir.File("source.y4m");
  WriteSourceY4m(source, width, height, frames);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    const std::string avi = dir.File("clip.avi"), raw = dir.File("clip.yuv");
    RunResult run = RunZdc("encode " + Quote(source) + " -o " + Quote(avi) + " " + c.options, dir.Path());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("6 frames"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("PSNR Y"), std::string::npos) << run.err;

    zdc::AviReader reader(avi);
    EXPECT_EQ(reader.FrameCount(), static_cast<size_t>(frames));
    run = RunZdc("decode " + Quote(avi) + " -o " + Quote(raw), dir.Path());
    ASSERT_EQ(run.status, 0) << run.err;
    const Bytes decoded = zdc_test::ReadMediaFile(raw);
    const size_t lumaBytes = size_t{width} * height;
    const size_t frameBytes = lumaBytes + (c.withChroma ? 2 * (width / 4) * (height / 4) : 0);
    ASSERT_EQ(decoded.size(), frameBytes * frames);
    // The last frame's luma against the source's.
    zdc::Y4mReader sourceReader(source);
    zdc::Y4mFrame frame, last;
    while (sourceReader.ReadFrame(&frame)) last = frame;
    ASSERT_EQ(last.y.size(), lumaBytes);
    const Bytes decodedLuma(decoded.begin() + (frames - 1) * frameBytes,
                            decoded.begin() + (frames - 1) * frameBytes + lumaBytes);
    EXPECT_GT(LumaPsnr(last.y, decodedLuma), 28.0);
  }
}

TEST(EncodeCli, ReadsStandardInputAndEveryChromaLayout) {
  MediaTempDir dir;
  for (zdc::Y4mChroma chroma : {zdc::Y4mChroma::k420Jpeg, zdc::Y4mChroma::kMono}) {
    SCOPED_TRACE(zdc::Y4mChromaTag(chroma));
    const std::string source = dir.File("in.y4m"), avi = dir.File("out.avi");
    WriteSourceY4m(source, 32, 32, 2, chroma);
    const RunResult run = RunZdc("encode - -o " + Quote(avi), dir.Path(), source);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(zdc::AviReader(avi).FrameCount(), 2u);
  }
}

TEST(EncodeCli, BadInputAndOptions) {
  MediaTempDir dir;
  const std::string good = dir.File("good.y4m");
  WriteSourceY4m(good, 16, 16, 1);
  std::ofstream(dir.File("text.y4m")) << "hello\n";
  std::ofstream(dir.File("interlaced.y4m")) << "YUV4MPEG2 W16 H16 F25:1 It C420jpeg\nFRAME\n";
  std::ofstream(dir.File("empty.y4m")) << "YUV4MPEG2 W0 H16 F25:1 Ip\n";
  struct Case {
    std::string args;
    int status;
  };
  const std::string out = " -o " + Quote(dir.File("x.avi"));
  const Case cases[] = {
      {"encode " + Quote(dir.File("text.y4m")) + out, 1},
      {"encode " + Quote(dir.File("interlaced.y4m")) + out, 1},
      {"encode " + Quote(dir.File("empty.y4m")) + out, 1},
      {"encode " + Quote(dir.File("missing.y4m")) + out, 1},
      {"encode " + Quote(good) + out + " --quality 101", 2},
      {"encode " + Quote(good) + out + " --fourcc QZV9", 2},
      {"encode " + Quote(good) + out + " --coder lzma", 2},
      {"encode " + Quote(good) + out + " --mask zip", 2},
      {"encode " + Quote(good), 2},
      {"encode" + out, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const RunResult run = RunZdc(c.args, dir.Path());
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(run.err.rfind("zdc: ", 0), 0u) << run.err;
  }
}

TEST(DemoCli, DecodesTheShippedSample) {
  MediaTempDir dir;
  const std::string folder = dir.File("out");
  const RunResult run = RunZdc("demo -o " + Quote(folder), dir.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("testsrc2.y4m"), std::string::npos) << run.out;
  const Bytes clip = zdc_test::ReadMediaFile(folder + "/testsrc2.y4m");
  const std::string text(clip.begin(), clip.end());
  size_t frames = 0;
  for (size_t at = text.find("FRAME\n"); at != std::string::npos; at = text.find("FRAME\n", at + 1)) ++frames;
  EXPECT_EQ(frames, 100u);
  EXPECT_TRUE(std::filesystem::exists(folder + "/frame_000.png"));
  EXPECT_TRUE(std::filesystem::exists(folder + "/frame_099.png"));
}

}  // namespace
}  // namespace zdc_cli_test
