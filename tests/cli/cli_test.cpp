// The zdc tool end to end, one table per command: the built program runs on
// AVI and y4m files written by the tests; what `decode` writes must be, byte
// for byte, the pictures of a FrameDecoder run over the same frames.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "avi_reader.h"
#include "avi_writer.h"
#include "fourcc.h"
#include "frame_decoder.h"
#include "media_png_parser.h"
#include "media_temp_dir.h"
#include "stream_builder.h"
#include "y4m_reader.h"
#include "y4m_writer.h"
#include "ycbcr_to_rgb.h"

namespace {

using Bytes = std::vector<uint8_t>;
using namespace zdc::test;
using zdc_test::MediaTempDir;
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

// Runs the built zdc with `args` (shell-quoted where needed), standard input
// from the file `input`.
RunResult RunZdc(const std::string& args, const MediaTempDir& dir, const std::string& input = "/dev/null") {
  const std::string out = dir.File("stdout.txt"), err = dir.File("stderr.txt");
  const int raw = std::system((Quote(ZDC_TOOL_PATH) + " " + args + " > " + Quote(out) + " 2> " + Quote(err) +
                               " < " + Quote(input))
                                  .c_str());
  const Bytes o = ReadMediaFile(out), e = ReadMediaFile(err);
  return {raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, std::string(o.begin(), o.end()),
          std::string(e.begin(), e.end())};
}

struct Clip {
  const char* fourcc;
  int width, height;
  bool withChroma;
  std::vector<Bytes> frames;
};

// Frames of every kind the tool must pass through untouched: key frames with
// Huffman and arithmetic planes, delta frames (raw, LZW and run-length masks,
// empty sections), a frame that breaks the delta chain and one after it, an
// empty chunk, a frame shorter than its header, a frame of random bytes.
// Section contents are pseudo-random: the plumbing is tested, not the decoder.
Clip MakeClip(const char* fourcc, int width, int height) {
  Clip clip{fourcc, width, height, std::string(fourcc) != "QZV3", {}};
  uint32_t state = static_cast<uint32_t>(width * 131 + height);
  auto take = [&state](size_t count) {
    Bytes out(count);
    for (uint8_t& b : out) b = static_cast<uint8_t>((state = state * 1664525u + 1013904223u) >> 24);
    return out;
  };
  auto maskBytes = [](int w, int h) { return static_cast<size_t>(h / 8) * ((w / 8 + 31) / 32) * 4; };
  const size_t lumaMask = maskBytes((width + 7) / 8 * 8, (height + 7) / 8 * 8);
  const size_t chromaMask = maskBytes((width + 31) / 32 * 8, (height + 31) / 32 * 8);
  auto key = [&](uint16_t quality, uint8_t lumaCoder, uint8_t chromaCoder) {
    std::vector<Bytes> planes = {KeyPlane(lumaCoder, take(400))};
    if (clip.withChroma) planes.insert(planes.end(), {KeyPlane(chromaCoder, take(80)), KeyPlane(chromaCoder ^ 1, take(80))});
    return KeyFrame(quality, planes);
  };
  auto delta = [&](uint16_t index, uint8_t coder, uint8_t storage) {
    std::vector<DeltaSectionInput> sections = {{true, coder, storage, false, take(200), take(lumaMask)}};
    if (clip.withChroma) {
      sections.push_back({false, 0, 0, false, {}, {}});
      sections.push_back({true, coder, storage, false, take(40), take(chromaMask)});
    }
    return DeltaFrame(60, index, sections);
  };
  clip.frames = {key(50, 0, 0), delta(1, 0, 0), Bytes(), delta(2, 1, 0), Bytes(5, 7), delta(3, 0, 1),
                 delta(7, 0, 0), delta(8, 0, 0), key(29, 1, 1), delta(1, 0, 2), KeyFrame(50, {KeyPlane(2, Bytes())}),
                 take(300)};
  return clip;
}

void WriteClip(const Clip& clip, const std::string& path) {
  zdc::AviVideoFormat format;
  format.width = clip.width;
  format.height = clip.height;
  format.compression = zdc::MakeFourCC(clip.fourcc[0], clip.fourcc[1], clip.fourcc[2], clip.fourcc[3]);
  format.frameRate = {30, 1};
  zdc::AviWriter writer(path, format);
  for (const Bytes& frame : clip.frames) {
    writer.WriteFrame(frame.data(), static_cast<uint32_t>(frame.size()), frame.size() >= 8 && frame[6] == 0 && frame[7] == 0);
  }
}

struct Switches {
  double quality = 0.5;
  bool denoise = false, displayMask = false;
};

// Y, V and U planes after each frame of a FrameDecoder run set up as the
// filter does; the decode results in `results`.
std::vector<Bytes> Reference(const Clip& clip, const Switches& switches, std::vector<int32_t>* results = nullptr) {
  zdc::FrameDecoder decoder;
  EXPECT_EQ(decoder.SetSize(clip.width, clip.height, clip.withChroma), 0u);
  decoder.SetQuality(switches.quality);
  decoder.SetDenoise(switches.denoise);
  decoder.SetDisplayMask(switches.displayMask);
  const size_t luma = static_cast<size_t>(clip.width) * clip.height;
  Bytes buffer(clip.withChroma ? luma + 2 * (luma / 16) : luma, 0);
  std::vector<Bytes> pictures;
  for (Bytes frame : clip.frames) {
    const int32_t result = decoder.Decode(frame.data(), static_cast<uint32_t>(frame.size()), buffer.data(), clip.width);
    if (results) results->push_back(result);
    Bytes planes(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(luma));
    for (int plane = 0; clip.withChroma && plane < 2; ++plane) {
      for (int row = 0; row < clip.height / 4; ++row) {
        const auto from = buffer.begin() + static_cast<std::ptrdiff_t>(luma + plane * (luma / 16) + row * (clip.width / 4));
        planes.insert(planes.end(), from, from + clip.width / 4);
      }
    }
    pictures.push_back(planes);
  }
  return pictures;
}

TEST(ZdcDecode, WritesTheDecodersPictures) {
  const Clip clips[] = {MakeClip("QZV2", 64, 48),    // every plane decoded straight into the output
                        MakeClip("QZV4", 100, 50),   // luma and chroma through the decoder's own planes
                        MakeClip("QZV3", 40, 24)};   // luma only
  Switches held;
  held.quality = 0.8;
  held.denoise = held.displayMask = true;
  struct Case {
    std::string args;     // after "decode clip.avi"; OUT is `out` in the scratch folder
    std::string out;      // "" for standard output
    std::string written;  // the file written, or the PNG files' names with the frame number as %d
    Switches switches;
  } const cases[] = {
      {"-o OUT", "out.yvu9", "out.yvu9", {}},
      {"--format=yvu9 -o -", "", "", {}},
      {"-o OUT --denoise --display-mask --quality 0.8", "out.yvu9", "out.yvu9", held},  // held for the whole run
      {"--format y4m -o OUT", "out.y4m", "out.y4m", {}},
      {"--format png -o OUT", "pictures", "pictures/frame_%06d.png", {}},
      {"--format png -o OUT", "pic_%03d.png", "pic_%03d.png", {}},
  };
  for (const Clip& clip : clips) {
    MediaTempDir dir;
    WriteClip(clip, dir.File("clip.avi"));
    const int w = clip.width, h = clip.height, cw = w / 4, ch = h / 4;
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << clip.fourcc << " " << c.args << " " << c.out);
      std::string args = "decode " + Quote(dir.File("clip.avi")) + " " + c.args;
      if (!c.out.empty()) args.replace(args.find("OUT"), 3, Quote(dir.File(c.out)));
      const RunResult run = RunZdc(args, dir);
      ASSERT_EQ(run.status, 0) << run.err;
      const std::vector<Bytes> reference = Reference(clip, c.switches);
      std::string expected;
      const bool png = c.written.find("png") != std::string::npos, y4m = c.written.find("y4m") != std::string::npos;
      if (y4m) {
        expected = "YUV4MPEG2 W" + std::to_string(w) + " H" + std::to_string(h) + " F30:1 Ip A0:0 C" +
                   (clip.withChroma ? "420jpeg" : "mono") + "\n";
      }
      for (size_t i = 0; i < reference.size(); ++i) {
        const Bytes& p = reference[i];
        auto chroma = [&](int plane, int x, int y) {  // V then U, 4x4 per sample, edges repeated
          return cw && ch ? p[static_cast<size_t>(w * h + plane * cw * ch + std::min(y, ch - 1) * cw + std::min(x, cw - 1))] : 128;
        };
        if (png) {
          Bytes pixels;
          for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
              uint8_t rgb[3];
              zdc::YCbCrToRgb(p[static_cast<size_t>(y * w + x)], clip.withChroma ? chroma(1, x / 4, y / 4) : 128,
                              clip.withChroma ? chroma(0, x / 4, y / 4) : 128, rgb);
              pixels.insert(pixels.end(), rgb, rgb + (clip.withChroma ? 3 : 1));
            }
          }
          char name[64];
          std::snprintf(name, sizeof name, c.written.c_str(), static_cast<int>(i + 1));
          zdc_test::PngImage image;
          ASSERT_EQ(zdc_test::InspectPng(ReadMediaFile(dir.File(name)), &image), "") << name;
          EXPECT_TRUE(image.pixels == pixels) << name;
          continue;
        }
        if (!y4m) {
          expected.append(p.begin(), p.end());
          continue;
        }
        expected += "FRAME\n";
        expected.append(p.begin(), p.begin() + w * h);
        for (int plane = 1; clip.withChroma && plane >= 0; --plane) {  // Cb = U, then Cr = V
          for (int y = 0; y < (h + 1) / 2; ++y) {
            for (int x = 0; x < (w + 1) / 2; ++x) expected += static_cast<char>(chroma(plane, x / 2, y / 2));
          }
        }
      }
      if (!png) {
        const Bytes written = c.out.empty() ? Bytes(run.out.begin(), run.out.end()) : ReadMediaFile(dir.File(c.out));
        EXPECT_TRUE(std::string(written.begin(), written.end()) == expected);
      }
    }
  }
}

TEST(ZdcInfo, DescribesTheStreamAndEveryFrame) {
  MediaTempDir dir;
  const Clip clip = MakeClip("QZV2", 64, 48);
  WriteClip(clip, dir.File("clip.avi"));
  std::vector<int32_t> results;
  Reference(clip, Switches(), &results);
  const RunResult run = RunZdc("info " + Quote(dir.File("clip.avi")), dir);
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* line : {"picture:     64x48", "fourcc:      QZV2", "frames:      12", "frame rate:  30/1",
                           "dropped frame", "short frame"}) {
    EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
  }
  std::vector<std::vector<std::string>> rows;  // the words of each frame's line
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream in(line);
    std::vector<std::string> words{std::istream_iterator<std::string>(in), {}};
    if (!words.empty() && std::isdigit(static_cast<unsigned char>(words[0][0]))) rows.push_back(words);
  }
  ASSERT_EQ(rows.size(), clip.frames.size()) << run.out;
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i][0], std::to_string(i));
    EXPECT_EQ(rows[i][1], std::to_string(clip.frames[i].size()));
    EXPECT_EQ(rows[i].back(), std::to_string(results[i])) << "decode result of frame " << i;
  }
  // (frame, word, expected): kinds, indices, qualities and section coders.
  struct Word {
    size_t frame, word;
    const char* text;
  } const words[] = {{0, 2, "key"},        {0, 3, "0"},         {0, 4, "50"},      {0, 6, "huffman"},
                     {0, 8, "huffman"},    {0, 10, "arith"},    {1, 2, "delta"},   {1, 6, "huffman/raw"},
                     {1, 7, "16"},         {1, 8, "empty"},     {3, 6, "arith/raw"}, {5, 6, "huffman/lzw"},
                     {9, 6, "huffman/rle"}, {10, 6, "none"},    {10, 8, "-"}};
  for (const Word& w : words) EXPECT_EQ(rows[w.frame][w.word], w.text) << "frame " << w.frame;
}

// A moving diagonal gradient with a bright square, 4:2:0 or luma only.
void WriteSource(const std::string& path, int width, int height, int frames, zdc::Y4mChroma chroma) {
  zdc::Y4mHeader header;
  header.width = width;
  header.height = height;
  header.chroma = chroma;
  header.frameRate = {25, 1};
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

// Encoded clips decode back (through `zdc decode`) close to the source.
TEST(ZdcEncode, EncodedClipsDecodeBackCloseToTheSource) {
  struct Case {
    std::string args;  // after "encode"; IN is source.y4m (4:2:0), MONO mono.y4m
    bool fromStdin, withChroma;
  } const cases[] = {{"IN --fourcc QZV2", false, true},
                     {"IN --fourcc QZV4 --coder arith --mask rle --keyint 3", false, true},
                     {"IN --fourcc QZV3 --mask lzw --quality 90", false, false},
                     {"IN --coder huffman,arith --mask fd --keyint 0", false, true},
                     {"IN --mask raw --quality 20", false, true},
                     {"- --fourcc QZV2", true, true},
                     {"MONO", false, true}};
  const int width = 72, height = 40, frames = 6;
  MediaTempDir dir;
  WriteSource(dir.File("source.y4m"), width, height, frames, zdc::Y4mChroma::k420Jpeg);
  WriteSource(dir.File("mono.y4m"), width, height, frames, zdc::Y4mChroma::kMono);
  zdc::Y4mReader source(dir.File("source.y4m"));
  zdc::Y4mFrame last;
  while (source.ReadFrame(&last)) {
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    std::string args = "encode " + c.args + " -o " + Quote(dir.File("clip.avi"));
    if (args.find("IN") != std::string::npos) args.replace(args.find("IN"), 2, Quote(dir.File("source.y4m")));
    if (args.find("MONO") != std::string::npos) args.replace(args.find("MONO"), 4, Quote(dir.File("mono.y4m")));
    RunResult run = RunZdc(args, dir, c.fromStdin ? dir.File("source.y4m") : "/dev/null");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("6 frames"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("PSNR Y"), std::string::npos) << run.err;
    EXPECT_EQ(zdc::AviReader(dir.File("clip.avi")).FrameCount(), static_cast<size_t>(frames));
    run = RunZdc("decode " + Quote(dir.File("clip.avi")) + " -o " + Quote(dir.File("clip.yuv")), dir);
    ASSERT_EQ(run.status, 0) << run.err;
    const Bytes decoded = ReadMediaFile(dir.File("clip.yuv"));
    const size_t luma = size_t{width} * height, frameBytes = luma + (c.withChroma ? 2 * luma / 16 : 0);
    ASSERT_EQ(decoded.size(), frameBytes * frames);
    double squared = 0;  // the last frame's luma against the source's
    for (size_t i = 0; i < luma; ++i) {
      const double d = double(last.y[i]) - decoded[(frames - 1) * frameBytes + i];
      squared += d * d;
    }
    EXPECT_GT(10 * std::log10(255.0 * 255.0 * luma / std::max(squared, 1.0)), 28.0);
  }
}

// Bad files: one line "zdc: FILE: ..." and status 1; bad options: the usage
// and status 2; help and the demo succeed.
TEST(ZdcCommands, StatusesAndMessages) {
  MediaTempDir dir;
  const std::string good = Quote(dir.File("good.avi")), out = Quote(dir.File("out"));
  Clip other = MakeClip("QZV2", 32, 32);
  WriteClip(other, dir.File("good.avi"));
  other.fourcc = "XVID";
  WriteClip(other, dir.File("xvid.avi"));
  zdc_test::WriteMediaFile(dir.File("notes.avi"), Bytes{'h', 'e', 'l', 'l', 'o'});
  WriteSource(dir.File("good.y4m"), 16, 16, 1, zdc::Y4mChroma::k420Jpeg);
  std::ofstream(dir.File("text.y4m")) << "hello\n";
  std::ofstream(dir.File("interlaced.y4m")) << "YUV4MPEG2 W16 H16 F25:1 It C420jpeg\nFRAME\n";
  struct Case {
    std::string args;  // FILE/NAME is replaced by the quoted path of dir/NAME
    int status;
    const char* message;  // in standard error (status 1: after "zdc: FILE: ")
  } const cases[] = {
      {"decode FILE/missing.avi -o OUT", 1, "cannot open"},
      {"decode FILE/notes.avi -o OUT", 1, "not"},
      {"decode FILE/xvid.avi -o OUT", 1, "XVID"},
      {"info FILE/xvid.avi", 1, "XVID"},
      {"info FILE/notes.avi", 1, "not"},
      {"decode GOOD -o FILE/no/such/out.yvu9", 1, "cannot create"},
      {"encode FILE/text.y4m -o OUT", 1, ""},
      {"encode FILE/interlaced.y4m -o OUT", 1, "interlaced"},
      {"encode FILE/missing.y4m -o OUT", 1, ""},
      {"", 2, "usage: zdc"},                             {"frobnicate", 2, "usage: zdc"},
      {"info", 2, "usage: zdc"},                         {"info a.avi b.avi", 2, "usage: zdc"},
      {"decode", 2, "usage: zdc"},                       {"decode GOOD", 2, "usage: zdc"},
      {"decode -o OUT", 2, "usage: zdc"},                {"decode GOOD -o", 2, "usage: zdc"},
      {"decode GOOD GOOD -o OUT", 2, "usage: zdc"},      {"decode GOOD -o OUT --format bmp", 2, "usage: zdc"},
      {"decode GOOD -o OUT --quality 1.5", 2, "usage"},  {"decode GOOD -o OUT --quality -0.1", 2, "usage"},
      {"decode GOOD -o OUT --quality abc", 2, "usage"},  {"decode GOOD -o OUT --quality nan", 2, "usage"},
      {"decode GOOD -o OUT --quality", 2, "usage"},      {"decode GOOD -o OUT --speed", 2, "usage"},
      {"decode GOOD --format png -o -", 2, "usage"},     {"decode GOOD --format png -o %s.png", 2, "usage"},
      {"decode GOOD --format png -o %d_%d.png", 2, "usage"},
      {"encode FILE/good.y4m -o OUT --quality 101", 2, "usage"},
      {"encode FILE/good.y4m -o OUT --fourcc QZV9", 2, "usage"},
      {"encode FILE/good.y4m -o OUT --coder lzma", 2, "usage"},
      {"encode FILE/good.y4m -o OUT --mask zip", 2, "usage"},
      {"encode FILE/good.y4m", 2, "usage"},              {"encode -o OUT", 2, "usage"},
  };
  for (const Case& c : cases) {
    std::string args = c.args, file;
    for (size_t at; (at = args.find("GOOD")) != std::string::npos;) args.replace(at, 4, good);
    for (size_t at; (at = args.find("OUT")) != std::string::npos;) args.replace(at, 3, out);
    if (size_t at = args.find("FILE/"); at != std::string::npos) {
      const size_t end = args.find(' ', at);
      file = dir.File(args.substr(at + 5, end == std::string::npos ? std::string::npos : end - at - 5));
      args.replace(at, end == std::string::npos ? std::string::npos : end - at, Quote(file));
    }
    const RunResult run = RunZdc(args, dir);
    SCOPED_TRACE(args + "\n" + run.err);
    EXPECT_EQ(run.status, c.status);
    EXPECT_NE(run.err.find(c.message), std::string::npos);
    if (c.status == 1) {
      EXPECT_EQ(run.err.rfind("zdc: " + file + ": ", 0), 0u);
      EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
    }
  }
  RunResult run = RunZdc("--help", dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("frame_000001.png"), std::string::npos) << run.out;
  run = RunZdc("demo -o " + Quote(dir.File("demo")), dir);
  ASSERT_EQ(run.status, 0) << run.err;
  const Bytes clip = ReadMediaFile(dir.File("demo/testsrc2.y4m"));
  const std::string text(clip.begin(), clip.end());
  size_t frames = 0;
  for (size_t at = text.find("FRAME\n"); at != std::string::npos; at = text.find("FRAME\n", at + 1)) ++frames;
  EXPECT_EQ(frames, 100u);
  EXPECT_TRUE(std::filesystem::exists(dir.File("demo/frame_000.png")));
  EXPECT_TRUE(std::filesystem::exists(dir.File("demo/frame_099.png")));
}

}  // namespace
