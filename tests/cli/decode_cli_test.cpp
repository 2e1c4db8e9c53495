// `zdc decode` writes, byte for byte, the pictures a direct FrameDecoder run
// produces: the persistent output buffer, the plane layout of each format and
// the y4m framing. Covers direct and scratch-plane sizes, luma-only streams,
// and the switches.
#include <gtest/gtest.h>

#include <algorithm>

#include "cli_support.h"
#include "media_png_parser.h"
#include "media_temp_dir.h"
#include "ycbcr_to_rgb.h"

namespace {

using namespace zdc_cli_test;

struct ClipCase {
  const char* fourcc;
  int width, height;
};

const ClipCase kClips[] = {
    {"QZV2", 64, 48},   // every plane decoded straight into the output
    {"QZV4", 100, 50},  // luma and chroma through the decoder's own planes
    {"QZV3", 40, 24},   // luma only
};

// Planes of one reference buffer, unpacked by hand from the decoder layout.
struct Planes {
  Bytes y, v, u;
};

Planes Unpack(const Clip& clip, const Bytes& buffer) {
  Planes p;
  const size_t lumaSize = static_cast<size_t>(clip.width) * clip.height;
  p.y.assign(buffer.begin(), buffer.begin() + lumaSize);
  if (!clip.withChroma) return p;
  const int cw = clip.width / 4, ch = clip.height / 4;
  for (int row = 0; row < ch; ++row) {
    const auto v = buffer.begin() + lumaSize + row * cw;
    const auto u = buffer.begin() + lumaSize + lumaSize / 16 + row * cw;
    p.v.insert(p.v.end(), v, v + cw);
    p.u.insert(p.u.end(), u, u + cw);
  }
  return p;
}

// 4:2:0 chroma by replication of the 4:1:0 samples, edges repeated.
Bytes Upsample(const Bytes& plane, int width, int height) {
  const int cw = width / 4, ch = height / 4, w2 = (width + 1) / 2, h2 = (height + 1) / 2;
  Bytes out;
  for (int y = 0; y < h2; ++y) {
    for (int x = 0; x < w2; ++x) {
      out.push_back(cw && ch ? plane[std::min(y / 2, ch - 1) * cw + std::min(x / 2, cw - 1)] : 128);
    }
  }
  return out;
}

class DecodeCliTest : public ::testing::TestWithParam<ClipCase> {
 protected:
  void SetUp() override {
    clip_ = MakeClip(GetParam().fourcc, GetParam().width, GetParam().height);
    avi_ = dir_.File("clip.avi");
    WriteClip(clip_, avi_);
  }

  zdc_test::MediaTempDir dir_;
  Clip clip_;
  std::string avi_;
};

TEST_P(DecodeCliTest, Yvu9MatchesDirectDecoding) {
  Switches held;
  held.quality = 0.8;
  held.denoise = held.displayMask = true;
  const struct Case {
    Switches switches;
    std::string args;  // the output goes to out.yvu9, or standard output with "-o -"
  } cases[] = {
      {Switches(), "decode " + Quote(avi_) + " -o " + Quote(dir_.File("out.yvu9"))},
      {Switches(), "decode --format=yvu9 -o - " + Quote(avi_)},  // the default format
      {held, "decode " + Quote(avi_) + " -o " + Quote(dir_.File("out.yvu9")) +
                 " --denoise --display-mask --quality 0.8"},  // held for the whole run
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const std::vector<Bytes> reference = ReferenceBuffers(clip_, c.switches);
    ASSERT_EQ(reference.size(), clip_.frames.size());
    Bytes expected;
    bool anyPixel = false;
    for (const Bytes& buffer : reference) {
      const Planes p = Unpack(clip_, buffer);
      for (const Bytes* plane : {&p.y, &p.v, &p.u}) expected.insert(expected.end(), plane->begin(), plane->end());
      anyPixel |= std::any_of(p.y.begin(), p.y.end(), [](uint8_t b) { return b != 0; });
    }
    ASSERT_TRUE(anyPixel) << "the clip decodes to nothing; the comparison would prove little";
    const RunResult run = RunZdc(c.args, dir_.Path());
    ASSERT_EQ(run.status, 0) << run.err;
    const Bytes written = c.args.find("-o -") != std::string::npos ? Bytes(run.out.begin(), run.out.end())
                                                                   : zdc_test::ReadMediaFile(dir_.File("out.yvu9"));
    EXPECT_TRUE(written == expected);
  }
}

TEST_P(DecodeCliTest, Y4mMatchesDirectDecoding) {
  const std::vector<Bytes> reference = ReferenceBuffers(clip_, Switches());
  std::string expected = "YUV4MPEG2 W" + std::to_string(clip_.width) + " H" + std::to_string(clip_.height) +
                         " F30:1 Ip A0:0 C" + (clip_.withChroma ? "420jpeg" : "mono") + "\n";
  for (const Bytes& buffer : reference) {
    const Planes p = Unpack(clip_, buffer);
    expected += "FRAME\n";
    expected.append(p.y.begin(), p.y.end());
    if (clip_.withChroma) {
      const Bytes cb = Upsample(p.u, clip_.width, clip_.height), cr = Upsample(p.v, clip_.width, clip_.height);
      expected.append(cb.begin(), cb.end());
      expected.append(cr.begin(), cr.end());
    }
  }
  const std::string out = dir_.File("out.y4m");
  const RunResult run = RunZdc("decode " + Quote(avi_) + " --format y4m -o " + Quote(out), dir_.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  const Bytes written = zdc_test::ReadMediaFile(out);
  EXPECT_TRUE(std::string(written.begin(), written.end()) == expected);
}

TEST_P(DecodeCliTest, PngMatchesDirectDecoding) {
  const std::vector<Bytes> reference = ReferenceBuffers(clip_, Switches());
  const std::string folder = dir_.File("pictures");
  const std::string pattern = dir_.File("pic_%03d.png");
  for (const std::string& out : {folder, pattern}) {
    const RunResult run = RunZdc("decode " + Quote(avi_) + " --format png -o " + Quote(out), dir_.Path());
    ASSERT_EQ(run.status, 0) << run.err;
  }
  for (size_t i = 0; i < reference.size(); ++i) {
    const Planes p = Unpack(clip_, reference[i]);
    Bytes expected;
    for (int y = 0; y < clip_.height; ++y) {
      for (int x = 0; x < clip_.width; ++x) {
        const int cw = clip_.width / 4, ch = clip_.height / 4;
        const size_t c = static_cast<size_t>(std::min(y / 4, ch - 1)) * cw + std::min(x / 4, cw - 1);
        uint8_t rgb[3];
        zdc::YCbCrToRgb(p.y[y * clip_.width + x], clip_.withChroma ? p.u[c] : 128,
                        clip_.withChroma ? p.v[c] : 128, rgb);
        expected.insert(expected.end(), rgb, rgb + (clip_.withChroma ? 3 : 1));
      }
    }
    char number[32];
    std::snprintf(number, sizeof number, "%06zu", i + 1);
    char patterned[32];
    std::snprintf(patterned, sizeof patterned, "%03zu", i + 1);
    for (const std::string& name :
         {folder + "/frame_" + number + ".png", dir_.File(std::string("pic_") + patterned + ".png")}) {
      zdc_test::PngImage image;
      ASSERT_EQ(zdc_test::InspectPng(zdc_test::ReadMediaFile(name), &image), "") << name;
      EXPECT_EQ(image.colorType, clip_.withChroma ? 2 : 0);
      EXPECT_TRUE(image.pixels == expected) << name;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Clips, DecodeCliTest, ::testing::ValuesIn(kClips),
                         [](const ::testing::TestParamInfo<ClipCase>& info) {
                           return std::string(info.param.fourcc) + "_" + std::to_string(info.param.width) + "x" +
                                  std::to_string(info.param.height);
                         });

}  // namespace
