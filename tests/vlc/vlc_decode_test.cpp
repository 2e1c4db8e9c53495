// VLC with the ZDC module, headless through libvlc, against `zdc decode`:
// VLC's transcoder writes every picture raw in the module's own chroma
// (YVU9, GREY for QZV3), which must equal the tool's YVU9 output byte for
// byte: every FourCC, both coders, every mask storage, sizes that are not a
// multiple of 32, the switches, a start in the middle of a delta chain, delta
// frames before the first key frame and damaged frames.
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

void Check(bool ok, const std::string& what) {
  if (!ok) std::printf("FAIL: %s\n", what.c_str());
  failures += !ok;
}

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A clip of 12 moving, textured pictures made by `zdc encode`.
std::string MakeClip(const std::string& name, int width, int height, const std::string& options) {
  const std::string y4m = scratch + "/" + name + ".y4m", avi = scratch + "/" + name + ".avi";
  std::ofstream out(y4m, std::ios::binary);
  out << "YUV4MPEG2 W" << width << " H" << height << " F25:1 Ip A1:1 C420jpeg\n";
  for (int f = 0; f < 12; ++f) {
    out << "FRAME\n";
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) out.put(static_cast<char>(x * 7 + y * 3 + (x + f * f) / 9 % 2 * 90));
    for (int i = 0; i < 2 * ((width + 1) / 2) * ((height + 1) / 2); ++i) out.put(static_cast<char>(90 + (i + f) % 97));
  }
  out.close();
  Check(std::system((tool + " encode " + y4m + " -o " + avi + " " + options + " 2>/dev/null").c_str()) == 0, name);
  return avi;
}

// `clip` again as `suffix`, from frame `first` on, each frame through `edit`,
// every frame flagged key when `allKeys`.
template <class Edit>
std::string Rewrite(const std::string& clip, const char* suffix, size_t first, bool allKeys, Edit edit) {
  zdc::AviReader reader(clip);
  zdc::AviWriter writer(clip + suffix, {reader.Width(), reader.Height(), reader.Compression(), 0, {25, 1}});
  for (size_t i = first; i < reader.FrameCount(); ++i) {
    Bytes frame = reader.ReadFrame(i);
    edit(i, frame);
    writer.WriteFrame(frame.data(), static_cast<uint32_t>(frame.size()), allKeys || reader.Frames()[i].key);
  }
  writer.Finish();
  return clip + suffix;
}

Bytes ToolPictures(const std::string& clip, const std::string& options) {
  Check(std::system((tool + " decode " + clip + " -o " + clip + ".yvu9 " + options).c_str()) == 0, clip);
  return ReadAll(clip + ".yvu9");
}

// Plays `clip` to its end in VLC and returns the pictures it decoded.
Bytes VlcPictures(libvlc_instance_t* vlc, const std::string& clip, const char* option = nullptr) {
  const bool luma = zdc::AviReader(clip).Compression() == 0x33565a51;  // QZV3
  libvlc_media_t* media = libvlc_media_new_path(vlc, clip.c_str());
  libvlc_media_add_option(media, (std::string(":sout=#transcode{vcodec=") + (luma ? "GREY" : "YVU9") +
                                  "}:std{access=file,mux=raw,dst=" + clip + ".vlc}").c_str());
  if (option) libvlc_media_add_option(media, option);
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
  Check(state == libvlc_Ended, clip + ": VLC did not play to the end");
  return ReadAll(clip + ".vlc");
}

libvlc_instance_t* StartVlc(const char* moduleSwitch) {
  const char* arguments[] = {"--ignore-config", "--quiet", "--intf=dummy", "--no-audio", "--vout=dummy", moduleSwitch};
  return libvlc_new(*moduleSwitch ? 6 : 5, arguments);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return std::fprintf(stderr, "usage: %s ZDC PLUGIN_DIR SCRATCH_DIR\n", argv[0]), 2;
  tool = argv[1];
  scratch = argv[3];
  setenv("VLC_PLUGIN_PATH", argv[2], 1);
  libvlc_instance_t* probe = StartVlc("");
  if (probe == nullptr) return std::printf("VLC cannot start here; the VLC tests are skipped\n"), 77;
  libvlc_release(probe);
  std::system(("mkdir -p " + scratch).c_str());

  struct Case {
    const char* name;
    int width, height;
    const char* encode;
    const char* vlcSwitch;   // a module option, or ""
    const char* toolSwitch;  // the same for zdc decode
  } const cases[] = {
      {"qzv2_huffman_fd", 64, 48, "--fourcc QZV2 --coder huffman --mask fd --keyint 5", "", ""},
      {"qzv4_arith_lzw", 64, 48, "--fourcc QZV4 --coder arith --mask lzw --keyint 6", "", ""},
      {"qzv3_mixed_rle", 64, 48, "--fourcc QZV3 --coder huffman,arith --mask rle --keyint 4", "", ""},
      {"qzv2_arith_raw_100x60", 100, 60, "--fourcc QZV2 --coder arith --mask raw --keyint 0", "", ""},
      {"qzv4_denoise_68x44", 68, 44, "--fourcc QZV4 --coder huffman --keyint 5", "--zdc-denoise", "--denoise"},
      {"qzv2_mask", 64, 48, "--fourcc QZV2 --coder arith --keyint 5", "--zdc-display-mask", "--display-mask"},
  };
  for (const Case& c : cases) {
    const std::string clip = MakeClip(c.name, c.width, c.height, c.encode);
    libvlc_instance_t* vlc = StartVlc(c.vlcSwitch);
    const Bytes all = ToolPictures(clip, c.toolSwitch);
    Check(!all.empty() && VlcPictures(vlc, clip) == all, clip);
    if (&c == &cases[0]) {
      // Started at 0.3 s with every frame flagged key, VLC hands the decoder
      // a delta frame after a discontinuity: the pictures resume at the next
      // key frame (5 or 10) and match the tail of the whole clip's.
      const Bytes tail = VlcPictures(vlc, Rewrite(clip, ".seek.avi", 0, true, [](size_t, Bytes&) {}), ":start-time=0.3");
      const size_t frameBytes = all.size() / 12;
      Check((tail.size() == 2 * frameBytes || tail.size() == 7 * frameBytes) &&
                std::equal(tail.begin(), tail.end(), all.end() - tail.size()),
            "start in the middle of a chain");
      // Damaged frames (cut short, overwritten) and a clip that starts with
      // delta frames play to the end as the tool decodes them.
      const std::string damaged = Rewrite(clip, ".damaged.avi", 0, false, [](size_t i, Bytes& frame) {
        if (i % 4 == 1) frame.resize(frame.size() / 2);
        for (size_t j = 40; i % 4 == 2 && j < frame.size(); j += 7) frame[j] ^= 0x5a;
      });
      for (const std::string& odd : {damaged, Rewrite(clip, ".late.avi", 1, false, [](size_t, Bytes&) {})})
        Check(VlcPictures(vlc, odd) == ToolPictures(odd, ""), odd);
    }
    libvlc_release(vlc);
  }
  std::printf("VLC tests %s\n", failures ? "failed" : "passed");
  return failures ? 1 : 0;
}
