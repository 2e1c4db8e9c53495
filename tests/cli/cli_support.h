// Helpers of the zdc end-to-end tests: clips of compressed frames, running
// the tool, and the reference pictures of a direct FrameDecoder run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zdc_cli_test {

using Bytes = std::vector<uint8_t>;

struct Clip {
  const char* fourcc;
  int width, height;
  bool withChroma;
  std::vector<Bytes> frames;
};

// A clip of frames of every kind the tool must pass through untouched: key
// frames with Huffman and arithmetic sections, delta frames (raw and LZW
// masks, empty sections), a frame that breaks the delta chain and one after
// it, an empty chunk, a frame shorter than its header, and a frame of random
// bytes. Section contents are pseudo-random: the test checks the plumbing,
// not the decoder.
Clip MakeClip(const char* fourcc, int width, int height);

// Writes the clip as an AVI at 30 fps.
void WriteClip(const Clip& clip, const std::string& path);

struct Switches {
  double quality = 0.5;
  bool denoise = false;
  bool displayMask = false;
};

// The output buffer after each frame of a FrameDecoder run set up as the
// filter does (SetSize, SetQuality, switches), outputStride = width.
std::vector<Bytes> ReferenceBuffers(const Clip& clip, const Switches& switches,
                                    std::vector<int32_t>* results = nullptr);

struct RunResult {
  int status = -1;
  std::string out, err;
};

// Runs the built zdc with `args` (already shell-quoted where needed) and
// standard input from the file `input`.
RunResult RunZdc(const std::string& args, const std::string& scratchDir,
                 const std::string& input = "/dev/null");

std::string Quote(const std::string& text);

}  // namespace zdc_cli_test
