// `zdc encode IN -o OUT.avi`: compresses a YUV4MPEG2 stream (a file, or '-'
// for standard input as `ffmpeg ... -f yuv4mpegpipe -` writes it) into an AVI
// of QZV2, QZV3 or QZV4 frames, and reports size and quality as video
// encoders do.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "avi_writer.h"
#include "command_line.h"
#include "commands.h"
#include "encode_input.h"
#include "frame_encoder.h"
#include "media_error.h"
#include "y4m_reader.h"

namespace zdc {
namespace {

const char kEncodeUsage[] =
    "usage: zdc encode IN.y4m|- -o OUT.avi [--fourcc QZV2|QZV3|QZV4] [--quality 0-100]\n"
    "                  [--keyint N] [--coder huffman|arith|huffman,arith] [--mask auto|raw|lzw|rle|fd]\n"
    "  --coder huffman,arith alternates the two codings frame by frame.";

struct EncodeCommandOptions {
  std::string input, output;
  EncoderOptions encoder;
  bool alternateCoders = false;
};

int ParseInteger(const std::string& text, const char* what, int low, int high) {
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < low || value > high) {
    throw UsageError(std::string("bad ") + what + " '" + text + "' (" + std::to_string(low) +
                     ".." + std::to_string(high) + ")");
  }
  return static_cast<int>(value);
}

EncodeCommandOptions ParseOptions(const std::vector<std::string>& args) {
  EncodeCommandOptions options;
  ArgumentCursor cursor(args);
  std::string value;
  while (!cursor.Done()) {
    const std::string& arg = cursor.Next();
    if (cursor.Value(arg, "-o", &value)) {
      options.output = value;
    } else if (cursor.Value(arg, "--fourcc", &value)) {
      if (value == "QZV2") options.encoder.fourcc = kFourccQzv2;
      else if (value == "QZV3") options.encoder.fourcc = kFourccQzv3;
      else if (value == "QZV4") options.encoder.fourcc = kFourccQzv4;
      else throw UsageError("unknown FourCC '" + value + "'");
    } else if (cursor.Value(arg, "--quality", &value)) {
      options.encoder.quality = ParseInteger(value, "quality", 0, 100);
    } else if (cursor.Value(arg, "--keyint", &value)) {
      options.encoder.keyInterval = static_cast<uint32_t>(ParseInteger(value, "key-frame interval", 0, 65535));
    } else if (cursor.Value(arg, "--coder", &value)) {
      if (value == "huffman") options.encoder.coder = CoefficientCoding::kHuffman;
      else if (value == "arith") options.encoder.coder = CoefficientCoding::kArithmetic;
      else if (value == "huffman,arith") options.alternateCoders = true;
      else throw UsageError("unknown coder '" + value + "'");
    } else if (cursor.Value(arg, "--mask", &value)) {
      if (value == "auto") options.encoder.mask = MaskStorage::kAuto;
      else if (value == "raw") options.encoder.mask = MaskStorage::kRaw;
      else if (value == "lzw") options.encoder.mask = MaskStorage::kLzw;
      else if (value == "rle") options.encoder.mask = MaskStorage::kRunLength;
      else if (value == "fd") options.encoder.mask = MaskStorage::kFd;
      else throw UsageError("unknown mask storage '" + value + "'");
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError("unknown option '" + arg + "'");
    } else if (options.input.empty()) {
      options.input = arg;
    } else {
      throw UsageError("more than one input");
    }
  }
  if (options.input.empty()) throw UsageError("no input");
  if (options.output.empty()) throw UsageError("no output (-o OUT.avi)");
  return options;
}

// Squared errors summed over a whole run, per plane.
struct ErrorTotals {
  double squared[3] = {0, 0, 0};
  double samples[3] = {0, 0, 0};

  void Add(int plane, const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
      const double d = static_cast<double>(a[i]) - b[i];
      squared[plane] += d * d;
    }
    samples[plane] += static_cast<double>(a.size());
  }
  double Psnr(int plane) const {
    if (samples[plane] == 0) return 0;
    if (squared[plane] == 0) return INFINITY;
    return 10.0 * std::log10(255.0 * 255.0 * samples[plane] / squared[plane]);
  }
};

}  // namespace

int RunEncode(const std::vector<std::string>& args) {
  EncodeCommandOptions options;
  try {
    options = ParseOptions(args);
  } catch (const UsageError& error) {
    ReportUsageError(error, kEncodeUsage);
    return kExitUsage;
  }

  // Errors name the file being read or written when they happened.
  const std::string inputName = options.input == "-" ? "standard input" : options.input;
  const std::string* current = &inputName;
  try {
    Y4mReader reader(options.input);
    const Y4mHeader& header = reader.Header();
    const bool withChroma = FourccHasChroma(options.encoder.fourcc);
    FrameEncoder encoder(header.width, header.height, options.encoder);

    AviVideoFormat format;
    format.width = header.width;
    format.height = header.height;
    format.compression = options.encoder.fourcc;
    format.frameRate = header.frameRate.Known() ? header.frameRate : Rational{25, 1};
    current = &options.output;
    AviWriter writer(options.output, format);

    ErrorTotals errors;
    uint64_t bytes = 0;
    size_t keyFrames = 0;
    Y4mFrame frame;
    for (;;) {
      current = &inputName;
      if (!reader.ReadFrame(&frame)) break;
      current = &options.output;
      if (options.alternateCoders) {
        encoder.SetCoder(reader.FramesRead() % 2 ? CoefficientCoding::kHuffman
                                                 : CoefficientCoding::kArithmetic);
      }
      const Picture source = PictureFromY4m(header, frame, withChroma);
      const std::vector<uint8_t> compressed = encoder.EncodeFrame(source);
      const bool key = encoder.LastFrame().keyFrame;
      writer.WriteFrame(compressed.data(), static_cast<uint32_t>(compressed.size()), key);
      bytes += compressed.size();
      keyFrames += key;
      const Picture decoded = encoder.Reconstruction();
      errors.Add(0, source.luma, decoded.luma);
      if (withChroma) {
        errors.Add(1, source.chroma[0], decoded.chroma[0]);
        errors.Add(2, source.chroma[1], decoded.chroma[1]);
      }
    }
    writer.Finish();

    const size_t frames = writer.FrameCount();
    const double pixels = static_cast<double>(header.width) * header.height * (frames ? frames : 1);
    std::fprintf(stderr, "zdc: %s: %zu frames (%zu key), %llu bytes, %.3f bits/pixel",
                 options.output.c_str(), frames, keyFrames, static_cast<unsigned long long>(bytes),
                 8.0 * static_cast<double>(bytes) / pixels);
    if (frames) {
      std::fprintf(stderr, ", PSNR Y %.2f dB", errors.Psnr(0));
      // Chroma is measured against the input reduced to 4:1:0, which is what
      // the stream carries.
      if (withChroma) std::fprintf(stderr, " V %.2f dB U %.2f dB", errors.Psnr(1), errors.Psnr(2));
    }
    std::fprintf(stderr, "\n");
  } catch (const MediaError& error) {
    ReportFileError(FileError(*current, error.what()));
    return kExitFailure;
  } catch (const std::invalid_argument& error) {
    ReportFileError(FileError(*current, error.what()));
    return kExitFailure;
  }
  return 0;
}

}  // namespace zdc
