// VLC with the ZDC module, headless through libvlc, against `zdc decode`:
// every picture VLC decodes is written raw by its transcoder (I410, planes
// Y, U, V) and must equal the tool's YVU9 output (planes Y, V, U) frame for
// frame, for every FourCC, both coders, every mask storage, a size that is
// not a multiple of 32, the switches, a start in the middle of a delta chain
// and a clip with damaged frames.
#include <vlc/vlc.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "avi_reader.h"
#include "avi_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;
std::string tool, scratch;
int failures = 0;

void Fail(const std::string& what) {
  std::printf("FAIL: %s\n", what.c_str());
  ++failures;
}

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

// A QZV clip of `frames` frames of a moving, textured picture.
std::string MakeClip(const std::string& name, int width, int height, const std::string& encodeOptions) {
  const std::string y4m = scratch + "/" + name + ".y4m", avi = scratch + "/" + name + ".avi";
  std::ofstream out(y4m, std::ios::binary);
  out << "YUV4MPEG2 W" << width << " H" << height << " F25:1 Ip A1:1 C420jpeg\n";
  for (int f = 0; f < 12; ++f) {
    out << "FRAME\n";
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) out.put(static_cast<char>((x * 7 + y * 3 + ((x + f * f) / 9 % 2) * 90) & 255));
    for (int c = 0; c < 2; ++c)
      for (int i = 0; i < ((width + 1) / 2) * ((height + 1) / 2); ++i) out.put(static_cast<char>(90 + c * 60 + (i + f) % 37));
  }
  out.close();
  if (!Run(tool + " encode " + y4m + " -o " + avi + " " + encodeOptions + " 2>/dev/null")) Fail("encode " + name);
  return avi;
}

// Plays `clip` to its end in VLC, writing every decoded picture raw: I410,
// or GREY for luma-only clips (VLC would expand its range on the way to I410).
Bytes PlayInVlc(libvlc_instance_t* vlc, const std::string& clip, const std::vector<std::string>& options) {
  const char* codec = zdc::AviReader(clip).Compression() == 0x33565a51 ? "GREY" : "I410";
  const std::string out = clip + ".i410";
  std::remove(out.c_str());
  libvlc_media_t* media = libvlc_media_new_path(vlc, clip.c_str());
  libvlc_media_add_option(media, (":sout=#transcode{vcodec=" + std::string(codec) + "}:std{access=file,mux=raw,dst=" + out + "}").c_str());
  for (const std::string& option : options) libvlc_media_add_option(media, option.c_str());
  libvlc_media_player_t* player = libvlc_media_player_new_from_media(media);
  libvlc_media_release(media);
  libvlc_media_player_play(player);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  libvlc_state_t state;
  while ((state = libvlc_media_player_get_state(player)) != libvlc_Ended && state != libvlc_Error &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  libvlc_media_player_stop(player);
  libvlc_media_player_release(player);
  if (state != libvlc_Ended) Fail(clip + ": VLC did not play to the end");
  return ReadAll(out);
}

// The tool's pictures with the chroma planes as I410 has them (U before V).
Bytes ToolPictures(const std::string& clip, const std::string& options, int width, int height, bool chroma,
                   size_t* frameBytes) {
  const std::string out = clip + ".yvu9";
  if (!Run(tool + " decode " + clip + " -o " + out + " --format yvu9 " + options)) Fail("decode " + clip);
  const Bytes yvu9 = ReadAll(out);
  const size_t luma = size_t(width) * height, plane = chroma ? size_t(width / 4) * (height / 4) : 0;
  *frameBytes = luma + 2 * plane;
  Bytes i410;
  for (size_t at = 0; at + luma + 2 * plane <= yvu9.size(); at += luma + 2 * plane) {
    i410.insert(i410.end(), yvu9.begin() + at, yvu9.begin() + at + luma);
    i410.insert(i410.end(), yvu9.begin() + at + luma + plane, yvu9.begin() + at + luma + 2 * plane);
    i410.insert(i410.end(), yvu9.begin() + at + luma, yvu9.begin() + at + luma + plane);
  }
  return i410;
}

// Rewrites `clip` as `suffix` from frame `first` on, with `edit` applied to
// each frame and every frame flagged key when `allKeys`.
template <class Edit>
std::string Rewrite(const std::string& clip, const char* suffix, size_t first, bool allKeys, Edit edit) {
  zdc::AviReader reader(clip);
  const std::string out = clip + suffix;
  zdc::AviWriter writer(out, {reader.Width(), reader.Height(), reader.Compression(), 0, {25, 1}});
  for (size_t i = first; i < reader.FrameCount(); ++i) {
    Bytes frame = reader.ReadFrame(i);
    edit(i, frame);
    writer.WriteFrame(frame.data(), static_cast<uint32_t>(frame.size()), allKeys || reader.Frames()[i].key);
  }
  writer.Finish();
  return out;
}

libvlc_instance_t* StartVlc(const char* moduleSwitch) {
  const char* arguments[] = {"--ignore-config", "--quiet", "--intf=dummy", "--no-audio", "--vout=dummy", moduleSwitch};
  return libvlc_new(*moduleSwitch ? 6 : 5, arguments);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s ZDC PLUGIN_DIR SCRATCH_DIR\n", argv[0]);
    return 2;
  }
  tool = argv[1];
  scratch = argv[3];
  setenv("VLC_PLUGIN_PATH", argv[2], 1);
  libvlc_instance_t* probe = StartVlc("");
  if (probe == nullptr) {
    std::printf("VLC cannot start here; the VLC tests are skipped\n");
    return 77;
  }
  libvlc_release(probe);
  Run("mkdir -p " + scratch);

  struct Case {
    const char* name;
    int width, height;
    const char* encode;      // zdc encode options
    const char* vlcOption;   // a module switch, or ""
    const char* toolOption;  // the same switch for zdc decode
  };
  const Case cases[] = {
      {"qzv2_huffman_fd", 64, 48, "--fourcc QZV2 --coder huffman --mask fd --keyint 5", "", ""},
      {"qzv4_arith_lzw", 64, 48, "--fourcc QZV4 --coder arith --mask lzw --keyint 6", "", ""},
      {"qzv3_mixed_rle", 64, 48, "--fourcc QZV3 --coder huffman,arith --mask rle --keyint 4", "", ""},
      {"qzv2_arith_raw_100x60", 100, 60, "--fourcc QZV2 --coder arith --mask raw --keyint 0", "", ""},
      {"qzv4_denoise", 72, 56, "--fourcc QZV4 --coder huffman --keyint 5", "--zdc-denoise", "--denoise"},
      {"qzv2_mask", 64, 48, "--fourcc QZV2 --coder arith --keyint 5", "--zdc-display-mask", "--display-mask"},
  };
  for (const Case& c : cases) {
    const std::string clip = MakeClip(c.name, c.width, c.height, c.encode);
    const bool chroma = std::string(c.encode).find("QZV3") == std::string::npos;
    size_t frameBytes = 0;
    const Bytes expected = ToolPictures(clip, c.toolOption, c.width, c.height, chroma, &frameBytes);
    libvlc_instance_t* vlc = StartVlc(c.vlcOption);
    const Bytes decoded = PlayInVlc(vlc, clip, {});
    if (expected.size() != 12 * frameBytes || decoded != expected) Fail(std::string(c.name) + ": VLC's pictures differ");

    if (&c == &cases[0]) {
      // Started at 0.3 s with every frame flagged key, VLC hands the decoder
      // a delta frame after a discontinuity: the pictures resume at the next
      // key frame (5 or 10).
      const std::string seek = Rewrite(clip, ".seek.avi", 0, true, [](size_t, Bytes&) {});
      const Bytes tail = PlayInVlc(vlc, seek, {":start-time=0.3"});
      if ((tail.size() != 2 * frameBytes && tail.size() != 7 * frameBytes) || !std::equal(tail.begin(), tail.end(), expected.end() - tail.size()))
        Fail("start in the middle of a chain: " + std::to_string(tail.size() / frameBytes) + " pictures");
      // Damaged frames (cut short, overwritten) and a clip that starts with
      // delta frames play to the end as the tool decodes them.
      const std::string damaged = Rewrite(clip, ".damaged.avi", 0, false, [](size_t i, Bytes& frame) {
        if (i % 4 == 1) frame.resize(frame.size() / 2);
        if (i % 4 == 2)
          for (size_t j = 40; j < frame.size(); j += 7) frame[j] ^= 0x5a;
      });
      const std::string late = Rewrite(clip, ".late.avi", 1, false, [](size_t, Bytes&) {});
      for (const std::string& odd : {damaged, late}) {
        const Bytes want = ToolPictures(odd, "", c.width, c.height, chroma, &frameBytes);
        if (PlayInVlc(vlc, odd, {}) != want) Fail(odd + ": VLC's pictures differ");
      }
    }
    libvlc_release(vlc);
  }
  std::printf("%s\n", failures ? "VLC tests failed" : "VLC tests passed");
  return failures ? 1 : 0;
}
