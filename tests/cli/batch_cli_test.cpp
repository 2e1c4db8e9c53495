// The batch options of the zdc tool: `decode --threads N` writes the bytes of
// one thread on clips cut at key frames of every spacing, with delta frames
// before the first key frame, damaged frames, quality changes and the
// switches; --start/--frames select a slice of that output; `info --json`
// holds the facts of `info`; data alone goes to standard output.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "avi_reader.h"
#include "avi_writer.h"
#include "media_temp_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;
const std::string kTool = ZDC_TOOL_PATH;

Bytes Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int Shell(const std::string& command) { return std::system(command.c_str()); }

class BatchCli : public ::testing::Test {
 protected:
  // An encoded clip of `frames` moving pictures.
  std::string Encode(const std::string& name, int width, int height, int frames, const std::string& options) {
    const std::string y4m = dir_.File(name + ".y4m"), avi = dir_.File(name + ".avi");
    std::ofstream out(y4m, std::ios::binary);
    out << "YUV4MPEG2 W" << width << " H" << height << " F25:1 Ip C420jpeg\n";
    for (int f = 0; f < frames; ++f) {
      out << "FRAME\n";
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) out.put(static_cast<char>(((x + f * f) / 7 % 2) * 120 + x * 3 + y * 2));
      for (int i = 0; i < 2 * ((width + 1) / 2) * ((height + 1) / 2); ++i) out.put(static_cast<char>(100 + (i + f) % 50));
    }
    out.close();
    EXPECT_EQ(Shell(kTool + " encode " + y4m + " -o " + avi + " " + options + " 2>/dev/null"), 0) << options;
    return avi;
  }

  // `avi` again from frame `first` on, each frame passed through `edit`.
  template <class Edit>
  std::string Rewrite(const std::string& avi, const std::string& name, size_t first, Edit edit) {
    zdc::AviReader reader(avi);
    const std::string out = dir_.File(name + ".avi");
    zdc::AviWriter writer(out, {reader.Width(), reader.Height(), reader.Compression(), 0, {25, 1}});
    for (size_t i = first; i < reader.FrameCount(); ++i) {
      Bytes frame = reader.ReadFrame(i);
      edit(i, frame);
      writer.WriteFrame(frame.data(), static_cast<uint32_t>(frame.size()), reader.Frames()[i].key);
    }
    writer.Finish();
    return out;
  }

  Bytes Decode(const std::string& avi, const std::string& options) {
    const std::string out = dir_.File("out.yvu9");
    EXPECT_EQ(Shell(kTool + " decode " + avi + " -o " + out + " " + options), 0) << options;
    return Read(out);
  }

  zdc_test::MediaTempDir dir_;
};

TEST_F(BatchCli, ThreadsWriteTheBytesOfOneThread) {
  std::vector<std::string> clips = {
      Encode("every", 64, 48, 30, "--fourcc QZV2 --keyint 1 --coder arith"),
      Encode("three", 70, 42, 40, "--fourcc QZV4 --keyint 3 --coder huffman,arith --mask rle"),
      Encode("seven", 64, 48, 40, "--fourcc QZV3 --keyint 7 --mask lzw"),
      Encode("once", 64, 48, 20, "--fourcc QZV2 --keyint 0 --mask fd"),
  };
  const std::string base = clips[1];
  // Delta frames before the first key frame.
  clips.push_back(Rewrite(base, "late", 1, [](size_t, Bytes&) {}));
  // Key frames cut short, overwritten, with a refused and a changed quality,
  // an empty frame, a delta frame out of its chain.
  clips.push_back(Rewrite(base, "damaged", 0, [](size_t i, Bytes& frame) {
    if (i == 18) frame.resize(frame.size() / 2);  // runs start at 0, 18 and 36
    for (size_t j = 30; i == 36 && j < frame.size(); j += 5) frame[j] ^= 0xa5;
    if (i == 33) frame[4] = 30;
    if (i == 36) frame[4] = 150;
    if (i == 25) frame.clear();
    if (i == 28) frame[6] = 9;
  }));
  for (const std::string& clip : clips) {
    for (const char* switches : {"", "--denoise", "--display-mask", "--denoise --display-mask --quality 0.8"}) {
      const Bytes one = Decode(clip, std::string("--threads 1 ") + switches);
      EXPECT_FALSE(one.empty());
      for (const char* threads : {"--threads 2 ", "--threads 3 "}) {
        EXPECT_TRUE(Decode(clip, threads + std::string(switches)) == one) << clip << " " << threads << switches;
      }
    }
  }
}

TEST_F(BatchCli, StartAndFramesSliceTheOutput) {
  const std::string clip = Encode("slice", 64, 48, 24, "--fourcc QZV2 --keyint 5");
  const size_t frameBytes = 64 * 48 + 2 * 16 * 12;
  const Bytes all = Decode(clip, "--threads 1");
  ASSERT_EQ(all.size(), 24 * frameBytes);
  struct Slice {
    size_t start, frames, expected;
  };
  for (const Slice s : {Slice{0, 3, 3}, Slice{5, 100, 19}, Slice{7, 4, 4}, Slice{23, 9, 1}, Slice{30, 1, 0}}) {
    for (const char* threads : {"1", "2"}) {
      const Bytes part = Decode(clip, "--threads " + std::string(threads) + " --start " + std::to_string(s.start) +
                                          " --frames " + std::to_string(s.frames));
      ASSERT_EQ(part.size(), s.expected * frameBytes) << s.start;
      EXPECT_TRUE(std::equal(part.begin(), part.end(), all.begin() + s.start * frameBytes)) << s.start;
    }
  }
  for (const char* bad : {"--threads 0", "--threads x", "--start -1", "--frames"}) {
    EXPECT_EQ(WEXITSTATUS(Shell(kTool + " decode " + clip + " -o - " + bad + " >/dev/null 2>&1")), 2) << bad;
  }
}

TEST_F(BatchCli, DataAloneOnStandardOutputAndInfoAsJson) {
  const std::string clip = Encode("json", 64, 48, 60, "--fourcc QZV4 --keyint 10");
  // Not a terminal: no progress line, and standard output is the pictures.
  const std::string err = dir_.File("err");
  ASSERT_EQ(Shell(kTool + " decode " + clip + " -o - > " + dir_.File("piped") + " 2> " + err), 0);
  EXPECT_TRUE(Read(err).empty());
  EXPECT_TRUE(Read(dir_.File("piped")) == Decode(clip, ""));

  // The JSON and the table agree on every frame's type and decode result.
  const std::string check = dir_.File("check.py");
  std::ofstream(check) << "import json, sys\n"
                          "info = json.load(open(sys.argv[1]))\n"
                          "rows = [l.split() for l in open(sys.argv[2]) if l[:6].strip().isdigit()]\n"
                          "assert info['frame_count'] == len(rows) == len(info['frames']) == 60\n"
                          "assert info['fourcc'] == 'QZV4' and info['width'] == 64 and info['chroma']\n"
                          "assert all(f['type'] == r[2] and str(f['decoded']) == r[-1] for f, r in zip(info['frames'], rows))\n";
  ASSERT_EQ(Shell(kTool + " info --json " + clip + " > " + dir_.File("info.json")), 0);
  ASSERT_EQ(Shell(kTool + " info " + clip + " > " + dir_.File("info.txt")), 0);
  EXPECT_EQ(Shell("python3 " + check + " " + dir_.File("info.json") + " " + dir_.File("info.txt")), 0);
  EXPECT_EQ(Shell(kTool + " --version | grep -q '^zdc [0-9]'"), 0);
}

}  // namespace
