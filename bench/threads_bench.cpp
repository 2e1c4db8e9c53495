// zdc-threads-bench: `zdc decode --threads 2` against one thread on a 720p
// clip of a minute (1500 frames) with a key frame every 10 frames, through
// the tool's own parallel decode (each picture is copied out as for raw
// output and then discarded, so only decoding is timed; the best of 9
// rounds). --quick runs a small clip once, for the
// suite.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <string>

#include "avi_writer.h"
#include "frame_encoder.h"
#include "moving_objects.h"
#include "parallel_decode.h"
#include "run_plan.h"
#include "stream_setup.h"
#include "synthetic_scene.h"
#include "yvu9_picture.h"

namespace {

double CpuSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

// Wall-clock seconds; `cpu` gets the processor time of all threads.
double SecondsToDecode(zdc::CompressedStream& stream, unsigned threads, double* cpu) {
  const zdc::RunPlan plan =
      zdc::PlanRuns(zdc::ReadFrameHeaders(stream.path, stream.reader->Frames()), 0, SIZE_MAX, 0.5, zdc::kMinRunFrames);
  const double cpuBegin = CpuSeconds();
  const auto begin = std::chrono::steady_clock::now();
  size_t checksum = 0;
  // The pictures as `zdc decode` writes raw YVU9: packed into one buffer each.
  const size_t bytes = zdc::DecoderOutputBytes(stream.width, stream.height, stream.withChroma);
  zdc::DecodeInParallel(
      stream, plan, {}, threads,
      [&](const uint8_t* picture, std::vector<uint8_t>* out) { out->assign(picture, picture + bytes); },
      [&](size_t, const std::vector<uint8_t>& out) { checksum += out[0]; });
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - begin;
  *cpu = std::min(*cpu, CpuSeconds() - cpuBegin);
  return elapsed.count() + (checksum == size_t(-1) ? 1 : 0);
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  const int width = quick ? 320 : 1280, height = quick ? 180 : 720, frames = quick ? 30 : 1500;
  const std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/zdc-threads-bench.avi";
  {
    zdc::EncoderOptions options;
    options.keyInterval = 10;
    zdc::FrameEncoder encoder(width, height, options);
    // A landscape in which about a third of the picture changes from frame
    // to frame: objects come and go.
    const zdc::bench::SourceImage scene = zdc::bench::SyntheticScene(width, height);
    const zdc::Picture pictures[2] = {zdc::bench::ToPicture410(scene),
                                      zdc::bench::ToPicture410(zdc::bench::WithMovingObjects(scene, 0.3))};
    zdc::AviWriter writer(path, {width, height, options.fourcc, 0, {25, 1}});
    for (int f = 0; f < frames; ++f) {
      const std::vector<uint8_t> frame = encoder.EncodeFrame(pictures[f % 2]);
      writer.WriteFrame(frame.data(), static_cast<uint32_t>(frame.size()), f % 10 == 0);
    }
    writer.Finish();
  }
  zdc::CompressedStream stream = zdc::OpenCompressedStream(path);
  double one = 1e9, two = 1e9, cpuOne = 1e9, cpuTwo = 1e9;
  for (int round = 0; round < (quick ? 1 : 9); ++round) {
    one = std::min(one, SecondsToDecode(stream, 1, &cpuOne));
    two = std::min(two, SecondsToDecode(stream, 2, &cpuTwo));
  }
  if (!std::getenv("ZDC_KEEP_CLIP")) std::remove(path.c_str());
  std::printf("%dx%d, %d frames, key every 10: 1 thread %.1f fps, 2 threads %.1f fps\n", width, height, frames,
              frames / one, frames / two);
  // On a machine with other work the wall-clock figure drops; the processor
  // time shows what the second thread costs.
  std::printf("processor time: 1 thread %.3f s, 2 threads %.3f s\n", cpuOne, cpuTwo);
  std::printf("threads2_speedup=%.2f\n", one / two);
  return 0;
}
