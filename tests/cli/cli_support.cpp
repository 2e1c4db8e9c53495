#include "cli_support.h"

#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "avi_writer.h"
#include "fourcc.h"
#include "frame_decoder.h"
#include "stream_builder.h"

namespace zdc_cli_test {

using zdc::test::DeltaFrame;
using zdc::test::DeltaSectionInput;
using zdc::test::KeyFrame;
using zdc::test::KeyPlane;

namespace {

class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed) {}
  uint8_t Byte() {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<uint8_t>(state_ >> 24);
  }
  Bytes Take(size_t count) {
    Bytes out(count);
    for (uint8_t& b : out) b = Byte();
    return out;
  }

 private:
  uint32_t state_;
};

size_t MaskBytes(int width, int height) {
  const int blocksPerRow = width / 8, rows = height / 8;
  return static_cast<size_t>(rows) * ((blocksPerRow + 31) / 32) * 4;
}

}  // namespace

Clip MakeClip(const char* fourcc, int width, int height) {
  Clip clip{fourcc, width, height, std::strcmp(fourcc, "QZV3") != 0, {}};
  Random random(static_cast<uint32_t>(width * 131 + height));
  const int alignedWidth = (width + 31) / 32 * 32, alignedHeight = (height + 31) / 32 * 32;
  const int lumaWidth = (width + 7) / 8 * 8, lumaHeight = (height + 7) / 8 * 8;
  const size_t lumaMask = MaskBytes(lumaWidth, lumaHeight);
  const size_t chromaMask = MaskBytes(alignedWidth / 4, alignedHeight / 4);

  auto key = [&](uint16_t quality, uint8_t lumaCoder, uint8_t chromaCoder) {
    std::vector<Bytes> planes = {KeyPlane(lumaCoder, random.Take(400))};
    if (clip.withChroma) {
      planes.push_back(KeyPlane(chromaCoder, random.Take(80)));
      planes.push_back(KeyPlane(chromaCoder ^ 1, random.Take(80)));
    }
    return KeyFrame(quality, planes);
  };
  auto delta = [&](uint16_t index, uint8_t coder, uint8_t storage) {
    std::vector<DeltaSectionInput> sections = {{true, coder, storage, false, random.Take(200), random.Take(lumaMask)}};
    if (clip.withChroma) {
      sections.push_back({false, 0, 0, false, {}, {}});
      sections.push_back({true, coder, storage, false, random.Take(40), random.Take(chromaMask)});
    }
    return DeltaFrame(60, index, sections);
  };

  clip.frames.push_back(key(50, 0, 0));
  clip.frames.push_back(delta(1, 0, 0));
  clip.frames.push_back(Bytes());       // dropped frame
  clip.frames.push_back(delta(2, 1, 0));
  clip.frames.push_back(Bytes(5, 7));  // cut inside the frame header
  clip.frames.push_back(delta(3, 0, 1));
  clip.frames.push_back(delta(7, 0, 0));  // breaks the chain: skipped
  clip.frames.push_back(delta(8, 0, 0));  // still skipped
  clip.frames.push_back(key(29, 1, 1));
  clip.frames.push_back(delta(1, 0, 2));
  clip.frames.push_back(KeyFrame(50, {KeyPlane(2, Bytes())}));  // luma only, coder 2: no block touched
  clip.frames.push_back(random.Take(300));
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
    const bool key = frame.size() >= 8 && frame[6] == 0 && frame[7] == 0;
    writer.WriteFrame(frame.data(), static_cast<uint32_t>(frame.size()), key);
  }
  writer.Finish();
}

std::vector<Bytes> ReferenceBuffers(const Clip& clip, const Switches& switches, std::vector<int32_t>* results) {
  zdc::FrameDecoder decoder;
  if (decoder.SetSize(clip.width, clip.height, clip.withChroma) != 0) return {};
  decoder.SetQuality(switches.quality);
  decoder.SetDenoise(switches.denoise);
  decoder.SetDisplayMask(switches.displayMask);
  const size_t luma = static_cast<size_t>(clip.width) * clip.height;
  Bytes buffer(clip.withChroma ? luma + 2 * (luma / 16) : luma, 0);
  std::vector<Bytes> pictures;
  for (const Bytes& frame : clip.frames) {
    const Bytes copy = frame;
    const int32_t result = decoder.Decode(copy.data(), static_cast<uint32_t>(copy.size()), buffer.data(), clip.width);
    if (results) results->push_back(result);
    pictures.push_back(buffer);
  }
  return pictures;
}

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

RunResult RunZdc(const std::string& args, const std::string& scratchDir, const std::string& input) {
  const std::string outPath = scratchDir + "/zdc_stdout.txt", errPath = scratchDir + "/zdc_stderr.txt";
  const std::string command = Quote(ZDC_TOOL_PATH) + " " + args + " > " + Quote(outPath) + " 2> " + Quote(errPath) + " < " + Quote(input);
  RunResult result;
  const int raw = std::system(command.c_str());
  result.status = raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::ifstream out(outPath, std::ios::binary), err(errPath, std::ios::binary);
  result.out.assign(std::istreambuf_iterator<char>(out), std::istreambuf_iterator<char>());
  result.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
  return result;
}

}  // namespace zdc_cli_test
