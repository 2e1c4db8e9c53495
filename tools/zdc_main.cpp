// The zdc command-line tool: looks into and decodes AVI files of the
// QZV2/QZV3/QZV4 video formats.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command_line.h"
#include "commands.h"

namespace {

const char kUsage[] =
    "usage: zdc info IN.avi [--json]\n"
    "       zdc decode IN.avi -o OUT [--format yvu9|y4m|png] [--denoise] [--display-mask] [--quality Q]\n"
    "                  [--threads N] [--start N] [--frames N]\n"
    "       zdc demo [SAMPLE.avi] [-o FOLDER]\n"
#ifdef ZDC_HAVE_ENCODE_COMMAND
    "       zdc encode ... (see zdc encode --help)\n"
#endif
    "       zdc --help | --version";

const char kHelp[] =
    "\n"
    "info    prints the picture size, FourCC, frame count and rate, and per frame\n"
    "        the frame header, each section's coder (huffman, arith, none) and,\n"
    "        for delta frames, its mask storage (raw, lzw, rle, fd, or empty),\n"
    "        and the byte count a decoder with default switches returns.\n"
    "\n"
    "decode  decodes every frame as the media filter does: quality Q (default\n"
    "        0.5), switches held for the whole run, one output picture that\n"
    "        persists from frame to frame (zero at the start); skipped and\n"
    "        damaged frames still produce a picture. OUT '-' is standard output\n"
    "        (yvu9 and y4m).\n"
    "        --threads N (default: one per core) cuts the clip at key frames\n"
    "        and decodes the runs in parallel; the output is the same bytes.\n"
    "        --start N writes from frame N on (numbered from 0; decoding\n"
    "        starts at the key frame at or before it), --frames N at most N\n"
    "        pictures. A progress line goes to standard error when it is a\n"
    "        terminal.\n"
    "  yvu9  per frame: luma, then the V and the U plane (width/4 x height/4),\n"
    "        rows packed; luma only for QZV3.\n"
    "  y4m   YUV4MPEG2, C420jpeg: each 4:1:0 chroma sample is replicated to a\n"
    "        2x2 group of 4:2:0 samples (edges repeat the last sample); Cmono\n"
    "        for QZV3. The frame rate is the AVI's (25 when it has none).\n"
    "  png   one RGB picture per frame (BT.601 limited range; grey for QZV3)\n"
    "        named OUT/frame_000001.png, ... when OUT is a folder (created if\n"
    "        missing), or after a pattern with one %d such as out_%04d.png;\n"
    "        numbering starts at 1.\n"
    "\n"
    "demo    decodes the sample clip that ships with ZDC into out/: the clip\n"
    "        as YUV4MPEG2 and a few PNG stills.\n"
    "\n"
    "Exit status: 0 success, 1 unreadable or unsupported file, 2 bad usage.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "%s\n", kUsage);
    return zdc::kExitUsage;
  }
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "--help" || command == "-h" || command == "help") {
    std::printf("%s\n%s", kUsage, kHelp);
    return 0;
  }
  if (command == "--version" || command == "version") {
    std::printf("zdc %s\n", ZDC_VERSION);
    return 0;
  }
  if (command == "info") return zdc::RunInfo(args);
  if (command == "decode") return zdc::RunDecode(args);
  if (command == "demo") return zdc::RunDemo(args);
#ifdef ZDC_HAVE_ENCODE_COMMAND
  if (command == "encode") return zdc::RunEncode(args);
#endif
  std::fprintf(stderr, "zdc: unknown command '%s'\n%s\n", command.c_str(), kUsage);
  return zdc::kExitUsage;
}
