// zdc-bench: decoding speed of ZDC against libjpeg-turbo in one run, on the
// same pictures compressed to the same bits per pixel.
//
// For each quality (25, 50, 90) and each coefficient coding (Huffman,
// arithmetic) it codes a 1920x1080 picture with the project's encoder as a
// key frame and as delta frames in which 5 % and 25 % of the picture changes,
// codes the same picture as a JPEG of the nearest size, and times the
// decoders in interleaved rounds (medians). Every decoded picture is checked
// against the encoder's reconstruction first, so a wrong decoder cannot post
// a figure.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "conversion_bench.h"
#include "cpu_features.h"
#include "jpeg_peer.h"
#include "moving_objects.h"
#include "photo_loader.h"
#include "source_image.h"
#include "synthetic_scene.h"
#include "timing.h"
#include "zdc_player.h"
#include "zdc_streams.h"

namespace zdc {
namespace bench {
namespace {

constexpr const char* kDefaultPhoto = "/usr/share/backgrounds/aitzgorri_by_Aitzol_Berasategi.jpg";
constexpr double kDeltaFractions[2] = {0.05, 0.25};

struct Options {
  int32_t width = 1920;
  int32_t height = 1080;
  std::vector<int> qualities = {25, 50, 90};
  std::vector<CoefficientCoding> coders = {CoefficientCoding::kHuffman,
                                           CoefficientCoding::kArithmetic};
  int rounds = 5;
  double seconds = 0.15;  // per decoder and round
  std::string photo = kDefaultPhoto;
  bool photoGiven = false;
  bool synthetic = false;
};

void Usage() {
  std::printf(
      "usage: zdc-bench [--quick] [--photo FILE.jpg | --synthetic] [--size WxH]\n"
      "                 [--qualities 25,50,90] [--coders huffman,arith] [--rounds N] [--seconds S]\n"
      "  --quick      a 320x240 synthetic picture, quality 50, short rounds (a smoke run)\n"
      "  --photo      the picture to code (a JPEG at least as large as --size);\n"
      "               default %s when installed, else the synthetic scene\n"
      "  --rounds     timing rounds per case (median taken), default 5\n"
      "  --seconds    time per decoder per round, default 0.15\n",
      kDefaultPhoto);
}

bool ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--quick") {
      options->width = 320;
      options->height = 240;
      options->qualities = {50};
      options->rounds = 2;
      options->seconds = 0.01;
      options->synthetic = true;
    } else if (arg == "--synthetic") {
      options->synthetic = true;
    } else if (arg == "--photo" && hasValue) {
      options->photo = argv[++i];
      options->photoGiven = true;
      options->synthetic = false;
    } else if (arg == "--size" && hasValue) {
      if (std::sscanf(argv[++i], "%dx%d", &options->width, &options->height) != 2 ||
          options->width < 32 || options->height < 32) {
        return false;
      }
    } else if (arg == "--qualities" && hasValue) {
      options->qualities.clear();
      for (char* p = argv[++i]; *p;) {
        char* end = nullptr;
        const long q = std::strtol(p, &end, 10);
        if (end == p || q < 1 || q > 100) return false;
        options->qualities.push_back(static_cast<int>(q));
        p = *end == ',' ? end + 1 : end;
      }
    } else if (arg == "--coders" && hasValue) {
      const std::string list = argv[++i];
      options->coders.clear();
      if (list.find("huffman") != std::string::npos) options->coders.push_back(CoefficientCoding::kHuffman);
      if (list.find("arith") != std::string::npos) options->coders.push_back(CoefficientCoding::kArithmetic);
      if (options->coders.empty()) return false;
    } else if (arg == "--rounds" && hasValue) {
      options->rounds = std::atoi(argv[++i]);
      if (options->rounds < 1) return false;
    } else if (arg == "--seconds" && hasValue) {
      options->seconds = std::atof(argv[++i]);
      if (!(options->seconds > 0.0)) return false;
    } else {
      return false;
    }
  }
  return !options->qualities.empty();
}

const char* CoderName(CoefficientCoding coder) {
  return coder == CoefficientCoding::kHuffman ? "huffman" : "arith";
}

double BitsPerPixel(size_t bytes, const Options& o) {
  return 8.0 * static_cast<double>(bytes) / (static_cast<double>(o.width) * o.height);
}

struct KeyRow {
  CoefficientCoding coder;
  int quality;
  size_t ourBytes;
  double ourSeconds;
  bool peer = false;
  int peerQuality = 0;
  size_t peerBytes = 0;
  double peerSeconds = 0.0;
};

struct DeltaRow {
  CoefficientCoding coder;
  int quality;
  double changed;
  double codedShare;
  size_t bytes;
  double seconds;
  double keySeconds;
};

int Run(const Options& options) {
  const double runStart = NowSeconds();
  SourceImage source;
  std::string note;
  if (!options.synthetic) {
    std::string error;
    if (!LoadPhoto(options.photo, options.width, options.height, &source, &error)) {
      if (options.photoGiven) {
        std::fprintf(stderr, "zdc-bench: %s\n", error.c_str());
        return 2;
      }
      note = " (no photo: " + error + "; bench/run.sh installs one)";
      source = SourceImage();
    }
  }
  if (source.width == 0) source = SyntheticScene(options.width, options.height);

  const Picture key = ToPicture410(source);
  const Planes420 jpegSource = ToPlanes420(source);
  std::vector<Picture> next;
  for (double fraction : kDeltaFractions) next.push_back(ToPicture410(WithMovingObjects(source, fraction)));

  JpegPeer peer;
  Planes420 peerOutput = jpegSource;  // sized buffers to decode into
  const uint64_t peerBlocks = JpegPeer::BlocksPerPicture(options.width, options.height);
  const double pixels = static_cast<double>(options.width) * options.height;

  std::printf("zdc-bench: ZDC against %s, the same pictures at the same bits per pixel\n",
              JpegPeer::Version().c_str());
  std::printf("picture   %dx%d, %s%s\n", options.width, options.height, source.description.c_str(),
              note.c_str());
  std::printf("ours      4:1:0 planar output (YVU9), processor features 0x%02X as the kernel choice sees them\n",
              EffectiveCpuFeatures());
  std::printf("peer      TurboJPEG tjDecompressToYUVPlanes: 4:2:0 planar output, no colour conversion,\n"
              "          accurate integer IDCT, %llu blocks per picture (whole 16x16 MCUs)\n",
              static_cast<unsigned long long>(peerBlocks));
  if (!JpegPeer::CanCodeArithmetic()) {
    std::printf("peer      arithmetic-coded JPEG: skipped (no libjpeg API with arithmetic coding here)\n");
  } else {
    std::printf("peer      arithmetic-coded JPEG: the baseline file transcoded losslessly (libjpeg API)\n");
  }
  std::printf("timing    median of %d interleaved rounds of about %.2f s per decoder\n", options.rounds,
              options.seconds);
  std::printf("ratio     ours/peer = our blocks per second / libjpeg-turbo's (above 1: we are faster)\n\n");
  std::fflush(stdout);

  std::vector<KeyRow> keyRows;
  std::vector<DeltaRow> deltaRows;
  uint64_t ourBlocks = 0;
  for (int quality : options.qualities) {
    for (CoefficientCoding coder : options.coders) {
      const ZdcStream stream = EncodeStream(key, next, quality, coder);
      ourBlocks = stream.blocksPerFrame;
      ZdcPlayer player(stream);
      for (int d = -1; d < static_cast<int>(stream.deltas.size()); ++d) {
        if (!player.Verify(d)) {
          std::fprintf(stderr, "zdc-bench: %s q%d %s frame decodes differently from the encoder's picture\n",
                       CoderName(coder), quality, d < 0 ? "key" : "delta");
          return 1;
        }
      }

      KeyRow row{coder, quality, stream.key.size(), 0.0};
      const bool arithmetic = coder == CoefficientCoding::kArithmetic;
      JpegMatch match;
      if (!arithmetic || JpegPeer::CanCodeArithmetic()) {
        const JpegCoding coding = arithmetic ? JpegCoding::kArithmetic : JpegCoding::kHuffman;
        match = MatchSize([&](int q) { return peer.Compress(jpegSource, q, coding); }, stream.key.size());
        if (match.data.empty() && arithmetic) {
          std::printf("peer      arithmetic-coded JPEG: the library refused to write one; skipped\n");
        } else if (match.data.empty() || !peer.Decode(match.data, &peerOutput)) {
          std::fprintf(stderr, "zdc-bench: libjpeg-turbo failed: %s\n", peer.LastError().c_str());
          return 1;
        } else {
          row.peer = true;
          row.peerQuality = match.quality;
          row.peerBytes = match.data.size();
        }
      }

      auto ours = [&] { player.DecodeKey(); };
      auto theirs = [&] { peer.Decode(match.data, &peerOutput); };
      const int ourCalls = CallsForSeconds(ours, options.seconds);
      const int peerCalls = row.peer ? CallsForSeconds(theirs, options.seconds) : 0;
      std::vector<int> deltaCalls;
      for (size_t d = 0; d < stream.deltas.size(); ++d) {
        const double once = player.DecodeDelta(d);
        deltaCalls.push_back(once > 0 ? std::max(1, static_cast<int>(options.seconds / once / 2)) : 100);
      }
      std::vector<double> ourTimes, peerTimes;
      std::vector<std::vector<double>> deltaTimes(stream.deltas.size());
      for (int round = 0; round < options.rounds; ++round) {
        ourTimes.push_back(SecondsPerCall(ours, ourCalls));
        if (row.peer) peerTimes.push_back(SecondsPerCall(theirs, peerCalls));
        for (size_t d = 0; d < stream.deltas.size(); ++d) {
          double total = 0.0;
          for (int i = 0; i < deltaCalls[d]; ++i) total += player.DecodeDelta(d);
          deltaTimes[d].push_back(total / deltaCalls[d]);
        }
      }
      row.ourSeconds = Median(ourTimes);
      row.peerSeconds = Median(peerTimes);
      keyRows.push_back(row);
      for (size_t d = 0; d < stream.deltas.size(); ++d) {
        deltaRows.push_back({coder, quality, kDeltaFractions[d],
                             static_cast<double>(stream.deltas[d].codedBlocks) / stream.blocksPerFrame,
                             stream.deltas[d].frame.size(), Median(deltaTimes[d]), row.ourSeconds});
      }
    }
  }

  std::printf("key frames (ours: %llu blocks per frame)\n", static_cast<unsigned long long>(ourBlocks));
  std::printf("%-8s %3s | %6s %8s %8s %9s | %3s %6s %8s %8s %9s | %9s %9s\n", "coder", "q", "bpp",
              "ms", "Mpix/s", "Mblock/s", "jq", "bpp", "ms", "Mpix/s", "Mblock/s", "ours/peer",
              "per pixel");
  std::vector<double> huffmanRatios, arithRatios, delta5Speedups;
  for (const KeyRow& r : keyRows) {
    const double ourBlockRate = ourBlocks / r.ourSeconds;
    std::printf("%-8s %3d | %6.3f %8.3f %8.1f %9.2f |", CoderName(r.coder), r.quality,
                BitsPerPixel(r.ourBytes, options), 1e3 * r.ourSeconds, pixels / r.ourSeconds / 1e6,
                ourBlockRate / 1e6);
    if (!r.peer) {
      std::printf(" %3s %6s %8s %8s %9s | %9s %9s\n", "-", "-", "-", "-", "-", "skipped", "-");
      continue;
    }
    const double peerBlockRate = peerBlocks / r.peerSeconds;
    const double ratio = ourBlockRate / peerBlockRate;
    std::printf(" %3d %6.3f %8.3f %8.1f %9.2f | %9.3f %9.3f\n", r.peerQuality,
                BitsPerPixel(r.peerBytes, options), 1e3 * r.peerSeconds, pixels / r.peerSeconds / 1e6,
                peerBlockRate / 1e6, ratio, r.peerSeconds / r.ourSeconds);
    (r.coder == CoefficientCoding::kHuffman ? huffmanRatios : arithRatios).push_back(ratio);
  }

  std::printf("\ndelta frames after a key frame (speedup = key frame time / delta frame time)\n");
  std::printf("%-8s %3s | %7s %7s %6s %8s %8s %14s %8s\n", "coder", "q", "changed", "coded", "bpp",
              "ms", "Mpix/s", "coded Mblock/s", "speedup");
  for (const DeltaRow& r : deltaRows) {
    const double speedup = r.keySeconds / r.seconds;
    std::printf("%-8s %3d | %6.0f%% %6.1f%% %6.3f %8.3f %8.1f %14.2f %8.2f\n", CoderName(r.coder),
                r.quality, 100.0 * r.changed, 100.0 * r.codedShare, BitsPerPixel(r.bytes, options),
                1e3 * r.seconds, pixels / r.seconds / 1e6,
                r.codedShare * ourBlocks / r.seconds / 1e6, speedup);
    if (r.changed == kDeltaFractions[0]) delta5Speedups.push_back(speedup);
  }

  // Conversions against the Huffman key frames' decode (any key frame when
  // only arithmetic coding ran).
  std::vector<double> keySeconds;
  for (const KeyRow& r : keyRows) {
    if (r.coder == CoefficientCoding::kHuffman) keySeconds.push_back(r.ourSeconds);
  }
  for (const KeyRow& r : keyRows) {
    if (keySeconds.empty()) keySeconds.push_back(r.ourSeconds);
  }
  const double convertShare =
      ReportConversions(key, jpegSource, Median(keySeconds), options.rounds, options.seconds / 2);

  std::printf("\nrun took %.1f s\n", NowSeconds() - runStart);
  auto figure = [](const std::vector<double>& values) {
    char text[32];
    if (values.empty()) return std::string("n/a");
    std::snprintf(text, sizeof text, "%.3f", Median(values));
    return std::string(text);
  };
  std::printf("huffman_ratio=%s arith_ratio=%s delta5_speedup=%s convert_share=%.3f\n",
              figure(huffmanRatios).c_str(), figure(arithRatios).c_str(), figure(delta5Speedups).c_str(),
              convertShare);
  return 0;
}

}  // namespace
}  // namespace bench
}  // namespace zdc

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      zdc::bench::Usage();
      return 0;
    }
  }
  zdc::bench::Options options;
  if (!zdc::bench::ParseOptions(argc, argv, &options)) {
    zdc::bench::Usage();
    return 2;
  }
  return zdc::bench::Run(options);
}
