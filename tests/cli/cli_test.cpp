// The zdc tool end to end, on clips it encoded itself (some then damaged).
// What `decode` writes in the decoder's layout and the raw formats is pinned
// by the golden hashes; here the other outputs must agree with it, the batch
// options must keep it, `info` must describe the clip, `encode` must honour
// its options, and bad files and options must give a clear status.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "avi_reader.h"
#include "avi_writer.h"
#include "media_png_parser.h"
#include "media_temp_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;
using zdc_test::ReadMediaFile;

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

struct RunResult {
  int status = -1;
  std::string out, err;
};

class Zdc : public ::testing::Test {
 protected:
  // Runs the built zdc; each word "@name" in `args` is the quoted path of
  // `name` in the scratch folder; standard input from `input` likewise.
  RunResult Run(const std::string& args, const std::string& input = "") {
    std::istringstream words(args);
    std::string command = Quote(ZDC_TOOL_PATH);
    for (std::string word; words >> word;) command += " " + (word[0] == '@' ? Quote(dir_.File(word.substr(1))) : word);
    command += " > " + Quote(dir_.File("stdout")) + " 2> " + Quote(dir_.File("stderr")) + " < " +
               Quote(input.empty() ? "/dev/null" : dir_.File(input));
    const int raw = std::system(command.c_str());
    const Bytes o = ReadMediaFile(dir_.File("stdout")), e = ReadMediaFile(dir_.File("stderr"));
    return {raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, std::string(o.begin(), o.end()),
            std::string(e.begin(), e.end())};
  }

  // name.y4m: a moving diagonal gradient with a bright square, 4:2:0 or luma only.
  void Source(const std::string& name, int width, int height, int frames, bool chroma = true) {
    std::ofstream out(dir_.File(name), std::ios::binary);
    out << "YUV4MPEG2 W" << width << " H" << height << " F25:1 Ip C" << (chroma ? "420jpeg" : "mono") << "\n";
    for (int f = 0; f < frames; ++f) {
      out << "FRAME\n";
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          const bool square = x >= 8 + 2 * f && x < 24 + 2 * f && y >= 8 && y < 24;
          out.put(static_cast<char>(square ? 230 : (x * 2 + y * 3 + f * 4) % 200 + 20));
        }
      }
      for (int i = 0; chroma && i < 2 * ((width + 1) / 2) * ((height + 1) / 2); ++i) out.put(static_cast<char>(100 + (i + f) % 50));
    }
  }

  // name.avi encoded from a source of `frames` pictures with `options`.
  std::string Encode(const std::string& name, int width, int height, int frames, const std::string& options) {
    Source(name + ".y4m", width, height, frames);
    const RunResult run = Run("encode @" + name + ".y4m -o @" + name + ".avi " + options);
    EXPECT_EQ(run.status, 0) << options << run.err;
    return name + ".avi";
  }

  // `avi` again as `name`, from frame `first` on, each frame through `edit`.
  template <class Edit>
  std::string Rewrite(const std::string& avi, const std::string& name, size_t first, Edit edit) {
    zdc::AviReader reader(dir_.File(avi));
    zdc::AviWriter writer(dir_.File(name), {reader.Width(), reader.Height(), reader.Compression(), 0, {25, 1}});
    for (size_t i = first; i < reader.FrameCount(); ++i) {
      Bytes frame = reader.ReadFrame(i);
      edit(i, frame);
      writer.WriteFrame(frame.data(), static_cast<uint32_t>(frame.size()), reader.Frames()[i].key);
    }
    writer.Finish();
    return name;
  }

  // What `decode avi -o FILE options` writes.
  Bytes Decode(const std::string& avi, const std::string& options) {
    const RunResult run = Run("decode @" + avi + " -o @decoded " + options);
    EXPECT_EQ(run.status, 0) << options << run.err;
    return ReadMediaFile(dir_.File("decoded"));
  }

  zdc_test::MediaTempDir dir_;
};

// Standard output, y4m and PNG pictures against the raw formats the golden
// hashes pin: y4m frames hold the i420 bytes (the luma alone without chroma),
// PNG pictures the rgb24 pixels in RGB order (grey alone without chroma).
TEST_F(Zdc, EveryOutputShowsTheSamePictures) {
  for (const char* options : {"--fourcc QZV4 --coder arith", "--fourcc QZV3 --mask lzw"}) {
    SCOPED_TRACE(options);
    const bool chroma = std::string(options).find("QZV3") == std::string::npos;
    const int w = 98, h = 50, frames = 3;
    const std::string clip = Encode("clip", w, h, frames, options);
    const Bytes yvu9 = Decode(clip, ""), rgb = Decode(clip, "--format rgb24");
    const std::string out = Run("decode @" + clip + " --format=yvu9 -o -").out;
    EXPECT_TRUE(Bytes(out.begin(), out.end()) == yvu9);

    const Bytes planes = chroma ? Decode(clip, "--format i420") : yvu9, y4m = Decode(clip, "--format y4m");
    const std::string header(y4m.begin(), std::find(y4m.begin(), y4m.end(), '\n') + 1);
    EXPECT_EQ(header.rfind(std::string("YUV4MPEG2 W98 H50 F25:1"), 0), 0u) << header;
    EXPECT_NE(header.find(chroma ? " C420jpeg" : " Cmono"), std::string::npos) << header;
    std::string frameList = header;
    const size_t frameBytes = planes.size() / frames;
    for (int f = 0; f < frames; ++f) {
      frameList += "FRAME\n" + std::string(planes.begin() + f * frameBytes, planes.begin() + (f + 1) * frameBytes);
    }
    EXPECT_TRUE(std::string(y4m.begin(), y4m.end()) == frameList);

    for (auto [out, names] : {std::pair{"pictures", "pictures/frame_%06d.png"}, {"pic_%03d.png", "pic_%03d.png"}}) {
      ASSERT_EQ(Run("decode @" + clip + " --format png -o @" + out).status, 0);
      for (int f = 0; f < frames; ++f) {
        char name[64];
        std::snprintf(name, sizeof name, names, f + 1);
        zdc_test::PngImage image;
        ASSERT_EQ(zdc_test::InspectPng(ReadMediaFile(dir_.File(name)), &image), "") << name;
        ASSERT_EQ(image.pixels.size(), size_t(w) * h * (chroma ? 3 : 1));
        for (size_t i = 0; i < size_t(w) * h; ++i) {
          const uint8_t* bgr = &rgb[(f * size_t(w) * h + i) * 3];
          const Bytes want = chroma ? Bytes{bgr[2], bgr[1], bgr[0]} : Bytes{bgr[0]};
          ASSERT_TRUE(std::equal(want.begin(), want.end(), &image.pixels[i * want.size()])) << name << " " << i;
        }
      }
    }
  }
}

// --threads N writes the bytes of one thread on clips cut at key frames of
// every spacing, with delta frames before the first key frame, damaged
// frames, quality changes and the switches; --start/--frames slice it.
TEST_F(Zdc, BatchOptionsKeepTheBytesOfOneThread) {
  std::vector<std::string> clips = {
      Encode("every", 64, 48, 30, "--fourcc QZV2 --keyint 1 --coder arith"),
      Encode("three", 70, 42, 40, "--fourcc QZV4 --keyint 3 --coder huffman,arith --mask rle"),
      Encode("seven", 64, 48, 40, "--fourcc QZV3 --keyint 7 --mask lzw"),
      Encode("once", 64, 48, 20, "--fourcc QZV2 --keyint 0 --mask fd"),
  };
  clips.push_back(Rewrite(clips[1], "late.avi", 1, [](size_t, Bytes&) {}));
  // Key frames cut short, overwritten, with a refused and a changed quality,
  // an empty frame, a delta frame out of its chain.
  clips.push_back(Rewrite(clips[1], "damaged.avi", 0, [](size_t i, Bytes& frame) {
    if (i == 18) frame.resize(frame.size() / 2);  // runs start at 0, 18 and 36
    for (size_t j = 30; i == 36 && j < frame.size(); j += 5) frame[j] ^= 0xa5;
    if (i == 33) frame[4] = 30;
    if (i == 36) frame[4] = 150;
    if (i == 25) frame.clear();
    if (i == 28) frame[6] = 9;
  }));
  // Luma masks cut to nothing right after a key frame read the mask bytes
  // that frames before it left; a key frame without chroma keeps their chroma.
  clips.push_back(Rewrite(clips[1], "short_mask.avi", 0, [](size_t i, Bytes& frame) {
    if (i == 19 || i == 20) {
      frame[24] = 1;
      frame[25] = 0;
    }
  }));
  clips.push_back(Rewrite(clips[1], "grey_key.avi", 0, [](size_t i, Bytes& frame) {
    if (i == 18) std::fill_n(frame.begin() + 12, 4, 0);
  }));
  for (const std::string& clip : clips) {
    for (const std::string options : {"", "--denoise", "--display-mask", "--denoise --display-mask --quality 0.8",
                                      "--format y4m", "--format rgb24"}) {
      const Bytes one = Decode(clip, "--threads 1 " + options);
      EXPECT_FALSE(one.empty());
      for (const char* threads : {"--threads 2 ", "--threads 3 "}) {
        EXPECT_TRUE(Decode(clip, threads + options) == one) << clip << " " << threads << options;
      }
    }
  }
  const std::string clip = Encode("slice", 64, 48, 24, "--fourcc QZV2 --keyint 5");
  const size_t frameBytes = 64 * 48 + 2 * 16 * 12;
  const Bytes all = Decode(clip, "--threads 1");
  ASSERT_EQ(all.size(), 24 * frameBytes);
  struct Slice {
    size_t start, frames, expected;
  };
  for (const Slice s : {Slice{0, 3, 3}, Slice{5, 100, 19}, Slice{7, 4, 4}, Slice{23, 9, 1}, Slice{30, 1, 0}}) {
    for (const std::string threads : {"1", "2"}) {
      const Bytes part = Decode(clip, "--threads " + threads + " --start " + std::to_string(s.start) + " --frames " +
                                          std::to_string(s.frames));
      ASSERT_EQ(part.size(), s.expected * frameBytes) << s.start;
      EXPECT_TRUE(std::equal(part.begin(), part.end(), all.begin() + s.start * frameBytes)) << s.start;
    }
  }
  // Not a terminal: no progress line.
  EXPECT_EQ(Run("decode @" + clip + " -o -").err, "");
}

// `info` and `info --json` agree on every frame's size, type and decode
// result, and name the damage.
TEST_F(Zdc, InfoDescribesTheStreamAndEveryFrame) {
  const std::string clip = Rewrite(Encode("json", 64, 48, 12, "--fourcc QZV4 --keyint 5 --coder huffman,arith --mask rle"),
                                   "info.avi", 0, [](size_t i, Bytes& frame) {
                                     if (i == 3) frame.clear();
                                     if (i == 7) frame.resize(5);
                                   });
  const RunResult table = Run("info @" + clip);
  ASSERT_EQ(table.status, 0) << table.err;
  for (const char* line : {"picture:     64x48", "fourcc:      QZV4", "frames:      12", "frame rate:  25/1",
                           "dropped frame", "short frame", "huffman", "arith", "rle"}) {
    EXPECT_NE(table.out.find(line), std::string::npos) << line << "\n" << table.out;
  }
  // The JSON form parses and tells the same stream, key frames where --keyint put them.
  ASSERT_EQ(Run("info --json @" + clip).status, 0);
  const std::string check = "import json, sys; info = json.load(open(sys.argv[1])); "
                            "assert info['fourcc'] == 'QZV4' and info['frame_count'] == len(info['frames']) == 12; "
                            "assert [i for i, f in enumerate(info['frames']) if f['type'] == 'key'] == [0, 5, 10]";
  EXPECT_EQ(std::system(("python3 -c " + Quote(check) + " " + Quote(dir_.File("stdout"))).c_str()), 0);
  EXPECT_EQ(Run("--version").out.rfind("zdc ", 0), 0u);
}

// Encoding from a file or standard input, luma only or with chroma, and from
// a mono source into a stream with chroma: the last frame decodes back close
// to the source's luma.
TEST_F(Zdc, EncodedClipsDecodeBackCloseToTheSource) {
  const int width = 72, height = 40, frames = 6;
  const size_t luma = size_t{width} * height;
  Source("source.y4m", width, height, frames);
  Source("mono.y4m", width, height, frames, false);
  const Bytes source = ReadMediaFile(dir_.File("source.y4m"));
  const uint8_t* lastLuma = &source[source.size() - luma - luma / 2];
  for (const std::string args : {"@source.y4m --fourcc QZV3 --mask lzw --quality 90", "- --fourcc QZV2", "@mono.y4m"}) {
    SCOPED_TRACE(args);
    const RunResult run = Run("encode " + args + " -o @clip.avi", args[0] == '-' ? "source.y4m" : "");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("6 frames"), std::string::npos) << run.err;
    const Bytes decoded = Decode("clip.avi", "");
    const size_t frameBytes = luma + (args.find("QZV3") == std::string::npos ? luma / 8 : 0);
    ASSERT_EQ(decoded.size(), frameBytes * frames);
    double squared = 0;
    for (size_t i = 0; i < luma; ++i) squared += std::pow(double(lastLuma[i]) - decoded[decoded.size() - frameBytes + i], 2);
    EXPECT_GT(10 * std::log10(255.0 * 255.0 * luma / std::max(squared, 1.0)), 28.0);
  }
}

// Bad files: one line "zdc: FILE: ..." and status 1; bad options: the usage
// and status 2; help and the demo succeed.
TEST_F(Zdc, StatusesAndMessages) {
  Encode("good", 32, 32, 2, "");
  Bytes xvid = ReadMediaFile(dir_.File("good.avi"));
  for (size_t at = 0; (at = std::search(xvid.begin() + at, xvid.end(), "QZV2", "QZV2" + 4) - xvid.begin()) < xvid.size();) {
    std::copy_n("XVID", 4, xvid.begin() + at);
  }
  zdc_test::WriteMediaFile(dir_.File("xvid.avi"), xvid);
  zdc_test::WriteMediaFile(dir_.File("notes.avi"), Bytes{'h', 'e', 'l', 'l', 'o'});
  std::ofstream(dir_.File("interlaced.y4m")) << "YUV4MPEG2 W16 H16 F25:1 It C420jpeg\nFRAME\n";
  struct Case {
    const char* args;
    int status;
    const char* message;  // in standard error (status 1: after "zdc: FILE: ")
  } const cases[] = {
      {"decode @missing.avi -o @out", 1, "cannot open"},
      {"decode @notes.avi -o @out", 1, "not"},
      {"decode @xvid.avi -o @out", 1, "XVID"},
      {"info @notes.avi", 1, "not"},
      {"decode @good.avi -o @no/such/out.yvu9", 1, "cannot create"},
      {"encode @notes.avi -o @out", 1, ""},
      {"encode @interlaced.y4m -o @out", 1, "interlaced"},
      {"", 2, "usage: zdc"},
      {"frobnicate", 2, "usage: zdc"},
      {"info @good.avi @good.avi", 2, "usage: zdc"},
      {"decode @good.avi", 2, "usage: zdc"},
      {"decode @good.avi -o", 2, "usage: zdc"},
      {"decode @good.avi -o @out --format bmp", 2, "usage: zdc"},
      {"decode @good.avi -o @out --quality 1.5", 2, "usage"},
      {"decode @good.avi -o @out --quality nan", 2, "usage"},
      {"decode @good.avi --format png -o -", 2, "usage"},
      {"decode @good.avi --format png -o %d_%d.png", 2, "usage"},
      {"decode @good.avi -o - --threads 0", 2, "usage"},
      {"decode @good.avi -o - --start -1", 2, "usage"},
      {"encode @good.y4m", 2, "usage"},
  };
  for (const Case& c : cases) {
    const RunResult run = Run(c.args);
    SCOPED_TRACE(std::string(c.args) + "\n" + run.err);
    EXPECT_EQ(run.status, c.status);
    EXPECT_NE(run.err.find(c.message), std::string::npos);
    if (c.status == 1) {
      EXPECT_EQ(run.err.rfind("zdc: " + dir_.Path() + "/", 0), 0u);
      EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
    }
  }
  RunResult run = Run("--help");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("frame_000001.png"), std::string::npos) << run.out;
  run = Run("demo -o @demo");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(std::filesystem::exists(dir_.File("demo/testsrc2.y4m")));
  EXPECT_TRUE(std::filesystem::exists(dir_.File("demo/frame_099.png")));
}

}  // namespace
