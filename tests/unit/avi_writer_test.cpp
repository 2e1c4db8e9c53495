// The AVI writer: round trip through the reader, and through ffprobe when it
// is installed.
#include "avi_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "avi_reader.h"
#include "fourcc.h"
#include "media_avi_builder.h"
#include "media_temp_dir.h"

namespace {

using namespace zdc_test;

struct WrittenClip {
  std::vector<Bytes> frames;
  std::vector<bool> keys;
};

WrittenClip WriteClip(const std::string& path, const zdc::AviVideoFormat& format, size_t count) {
  WrittenClip clip;
  zdc::AviWriter writer(path, format);
  for (size_t i = 0; i < count; ++i) {
    // Odd, even and zero lengths; every fifth frame a key frame.
    const size_t length = i % 7 == 3 ? 0 : 50 + (i * 37) % 101;
    clip.frames.push_back(FramePayload(length, static_cast<uint8_t>(i)));
    clip.keys.push_back(i % 5 == 0);
    writer.WriteFrame(clip.frames.back().data(), static_cast<uint32_t>(length), clip.keys.back());
  }
  writer.Finish();
  return clip;
}

TEST(AviWriterTest, RoundTripThroughReader) {
  MediaTempDir dir;
  const struct Case {
    const char* fourcc;
    int32_t width, height;
    zdc::Rational rate;
    uint16_t expectedBits;
  } cases[] = {
      {"QZV2", 176, 144, {30000, 1001}, 9},
      {"QZV3", 100, 50, {25, 1}, 8},
      {"QZV4", 640, 480, {60, 2}, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fourcc);
    zdc::AviVideoFormat format;
    format.width = c.width;
    format.height = c.height;
    format.compression = zdc::MakeFourCC(c.fourcc[0], c.fourcc[1], c.fourcc[2], c.fourcc[3]);
    format.frameRate = c.rate;
    const std::string path = dir.File(std::string(c.fourcc) + ".avi");
    const WrittenClip clip = WriteClip(path, format, 23);
    zdc::AviReader reader(path);
    EXPECT_EQ(reader.Width(), c.width);
    EXPECT_EQ(reader.Height(), c.height);
    EXPECT_EQ(reader.Compression(), format.compression);
    EXPECT_EQ(reader.BitCount(), c.expectedBits);
    EXPECT_EQ(reader.FrameRate(), c.rate.Reduced());
    EXPECT_TRUE(reader.HasIndex());
    ASSERT_EQ(reader.FrameCount(), clip.frames.size());
    for (size_t i = 0; i < clip.frames.size(); ++i) {
      EXPECT_EQ(reader.ReadFrame(i), clip.frames[i]) << i;
      EXPECT_EQ(reader.Frames()[i].key, clip.keys[i]) << i;
    }
  }
}

TEST(AviWriterTest, EmptyClipIsStillAValidFile) {
  MediaTempDir dir;
  zdc::AviVideoFormat format;
  format.width = 32;
  format.height = 32;
  format.compression = zdc::FourCC("QZV2");
  const std::string path = dir.File("empty.avi");
  { zdc::AviWriter writer(path, format); }  // finished by the destructor
  zdc::AviReader reader(path);
  EXPECT_EQ(reader.FrameCount(), 0u);
  EXPECT_EQ(reader.FileSize(), ReadMediaFile(path).size());
}

std::string RunCapture(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return output;
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
  pclose(pipe);
  return output;
}

TEST(AviWriterTest, FfprobeReadsSizeAndFrameCount) {
  if (std::system("ffprobe -version > /dev/null 2>&1") != 0) GTEST_SKIP() << "ffprobe not on PATH";
  MediaTempDir dir;
  zdc::AviVideoFormat format;
  format.width = 176;
  format.height = 144;
  format.compression = zdc::FourCC("QZV2");
  format.frameRate = {30000, 1001};
  const std::string path = dir.File("probe.avi");
  WriteClip(path, format, 17);
  const std::string output = RunCapture(
      "ffprobe -v error -count_packets -select_streams v:0 -show_entries "
      "stream=codec_tag_string,width,height,nb_frames,nb_read_packets,r_frame_rate -of default=nw=1 '" +
      path + "' 2>&1");
  EXPECT_NE(output.find("width=176"), std::string::npos) << output;
  EXPECT_NE(output.find("height=144"), std::string::npos) << output;
  EXPECT_NE(output.find("codec_tag_string=QZV2"), std::string::npos) << output;
  EXPECT_NE(output.find("r_frame_rate=30000/1001"), std::string::npos) << output;
  EXPECT_NE(output.find("nb_frames=17"), std::string::npos) << output;
  // ffmpeg drops empty chunks (dropped frames) when it reads packets: frames
  // 3 and 10 of the clip.
  EXPECT_NE(output.find("nb_read_packets=15"), std::string::npos) << output;
}

}  // namespace
