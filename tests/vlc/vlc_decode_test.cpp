// VLC with the ZDC module, headless through libvlc, against `zdc decode`:
// VLC's transcoder writes every picture raw in the module's own chroma
// (YVU9, GREY for QZV3), which must equal the tool's YVU9 output byte for
// byte. The golden clips give every FourCC, both coders, every mask storage,
// a size that is not a multiple of 32 and damaged frames; on top come the
// switches, a start in the middle of a delta chain and delta frames before
// the first key frame.
#include <vlc/vlc.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "avi_reader.h"
#include "avi_writer.h"
#include "media_temp_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;
std::string tool, scratch;
int failures = 0;

void Check(bool ok, const std::string& what) {
  if (!ok) std::printf("FAIL: %s\n", what.c_str());
  failures += !ok;
}

// `clip` again in the scratch folder as `copy`, from frame `first` on, every
// frame flagged key when `allKeys`.
std::string Rewrite(const std::string& clip, const std::string& copy, size_t first, bool allKeys) {
  zdc::AviReader reader(clip);
  zdc::AviWriter writer(scratch + "/" + copy, {reader.Width(), reader.Height(), reader.Compression(), 0, {25, 1}});
  for (size_t i = first; i < reader.FrameCount(); ++i) {
    const Bytes frame = reader.ReadFrame(i);
    writer.WriteFrame(frame.data(), static_cast<uint32_t>(frame.size()), allKeys || reader.Frames()[i].key);
  }
  writer.Finish();
  return scratch + "/" + copy;
}

Bytes ToolPictures(const std::string& clip, const std::string& options) {
  const std::string out = scratch + "/tool.yvu9";
  Check(std::system((tool + " decode " + clip + " -o " + out + " " + options + " >/dev/null").c_str()) == 0, clip);
  return zdc_test::ReadMediaFile(out);
}

// Plays `clip` to its end in VLC and returns the pictures it decoded.
Bytes VlcPictures(libvlc_instance_t* vlc, const std::string& clip, const char* option = nullptr) {
  const bool luma = zdc::AviReader(clip).Compression() == 0x33565a51;  // QZV3
  const std::string out = scratch + "/vlc.raw";
  std::remove(out.c_str());
  libvlc_media_t* media = libvlc_media_new_path(vlc, clip.c_str());
  libvlc_media_add_option(media, (std::string(":sout=#transcode{vcodec=") + (luma ? "GREY" : "YVU9") +
                                  "}:std{access=file,mux=raw,dst=" + out + "}").c_str());
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
  return state == libvlc_Ended ? zdc_test::ReadMediaFile(out) : Bytes();
}

libvlc_instance_t* StartVlc(const char* moduleSwitch) {
  const char* arguments[] = {"--ignore-config", "--quiet", "--intf=dummy", "--no-audio", "--vout=dummy", moduleSwitch};
  return libvlc_new(*moduleSwitch ? 6 : 5, arguments);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) return std::fprintf(stderr, "usage: %s ZDC PLUGIN_DIR SOURCE_DIR SCRATCH_DIR\n", argv[0]), 2;
  tool = argv[1];
  scratch = argv[4];
  const std::string source = argv[3], clips = source + "/tests/golden/clips";
  setenv("VLC_PLUGIN_PATH", argv[2], 1);
  libvlc_instance_t* probe = StartVlc("");
  if (probe == nullptr) return std::printf("VLC cannot start here; the VLC tests are skipped\n"), 77;
  libvlc_release(probe);
  std::system(("mkdir -p " + scratch).c_str());

  // A clip, a module option (or ""), and the same option of zdc decode.
  struct Case {
    const char *clip, *vlcSwitch, *toolSwitch;
  } const cases[] = {
      {"huffman_raw", "", ""}, {"arith_lzw", "", ""}, {"huffman_rle", "", ""},
      {"arith_fd", "", ""},    {"luma_only", "", ""}, {"damaged", "", ""},
      {"huffman_raw", "--zdc-denoise", "--denoise"},
      {"arith_fd", "--zdc-display-mask", "--display-mask"},
  };
  for (const Case& c : cases) {
    const std::string clip = clips + "/" + c.clip + ".avi";
    libvlc_instance_t* vlc = StartVlc(c.vlcSwitch);
    const Bytes all = ToolPictures(clip, c.toolSwitch);
    Check(!all.empty() && VlcPictures(vlc, clip) == all, clip + " " + c.vlcSwitch);
    libvlc_release(vlc);
  }

  libvlc_instance_t* vlc = StartVlc("");
  // The sample (100 frames, a key frame every 25) started at 1.5 s with every
  // frame flagged key: VLC hands the decoder a delta frame after a
  // discontinuity, and the pictures resume at the next key frame (50, or 25
  // when VLC starts earlier), matching the tail of the whole clip's.
  const std::string sample = source + "/samples/testsrc2.avi";
  const Bytes all = ToolPictures(sample, "");
  const Bytes tail = VlcPictures(vlc, Rewrite(sample, "seek.avi", 0, true), ":start-time=1.5");
  Check((tail.size() == all.size() / 2 || tail.size() == all.size() / 4 * 3) &&
            std::equal(tail.begin(), tail.end(), all.end() - tail.size()),
        "start in the middle of a chain");
  // A clip that starts with delta frames plays to the end as the tool decodes it.
  const std::string late = Rewrite(clips + "/arith_lzw.avi", "late.avi", 1, false);
  Check(VlcPictures(vlc, late) == ToolPictures(late, ""), late);
  libvlc_release(vlc);
  std::printf("VLC tests %s\n", failures ? "failed" : "passed");
  return failures ? 1 : 0;
}
