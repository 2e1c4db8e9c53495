// `zdc decode IN.avi -o OUT`: decodes every frame exactly as the filter does
// with a downstream buffer that stays the same, and writes one picture per
// frame as raw YVU9, YUV4MPEG2 or PNG.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "media_error.h"
#include "parallel_decode.h"
#include "picture_convert.h"
#include "pixel_format_names.h"
#include "png_name_pattern.h"
#include "png_writer.h"
#include "stream_setup.h"
#include "y4m_writer.h"
#include "ycbcr_to_rgb.h"
#include "yvu9_picture.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace zdc {

namespace {

const char kDecodeUsage[] =
    "usage: zdc decode IN.avi -o OUT [--format FORMAT] [--denoise] [--display-mask] [--quality Q]\n"
    "                  [--threads N] [--start N] [--frames N]\n"
    "  FORMAT: yvu9 (default), y4m, png, or raw frames in nv12, yv12, i420, yuy2, rgb32, rgb24,\n"
    "  yuv410p";

enum class OutputFormat { kYvu9, kY4m, kPng, kConverted };

struct DecodeOptions {
  std::string input;
  std::string output;
  OutputFormat format = OutputFormat::kYvu9;
  PixelFormat pixels = PixelFormat::kYvu9;  // for kConverted
  double quality = 0.5;  // what the filter sets when streaming starts
  bool denoise = false;
  bool displayMask = false;
  unsigned threads = 0;  // 0: one per core
  size_t start = 0;
  size_t frames = std::numeric_limits<size_t>::max();
};

// The output formats by name; a new format is one more row here and one more
// case in MakeSink.
struct FormatName {
  const char* name;
  OutputFormat format;
};
constexpr FormatName kFormats[] = {
    {"yvu9", OutputFormat::kYvu9},
    {"y4m", OutputFormat::kY4m},
    {"png", OutputFormat::kPng},
};

// A format of the table, or raw frames in one of the conversion library's
// formats.
OutputFormat ParseFormat(const std::string& text, PixelFormat* pixels) {
  std::string names;
  for (const FormatName& entry : kFormats) {
    if (text == entry.name) return entry.format;
    names += names.empty() ? entry.name : std::string(", ") + entry.name;
  }
  if (ParsePixelFormat(text, pixels)) return OutputFormat::kConverted;
  throw UsageError("unknown format '" + text + "' (" + names +
                   ", nv12, yv12, i420, yuy2, rgb32, rgb24, yuv410p)");
}

// A whole number from `least` up; `what` names it in the error.
size_t ParseCount(const std::string& text, size_t least, const char* what) {
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
  if (text.empty() || text[0] == '-' || *end != '\0' || errno != 0 || value < least) {
    throw UsageError(std::string(what) + " must be a whole number from " + std::to_string(least) + ", not '" +
                     text + "'");
  }
  return static_cast<size_t>(value);
}

// A frame count from which decoding counts as long enough for a progress line.
constexpr size_t kProgressMinFrames = 50;

double ParseQuality(const std::string& text) {
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(value) || value < 0.0 || value > 1.0) {
    throw UsageError("quality must be a number in [0, 1], not '" + text + "'");
  }
  return value;
}

DecodeOptions ParseOptions(const std::vector<std::string>& args) {
  DecodeOptions options;
  ArgumentCursor cursor(args);
  bool haveOutput = false;
  while (!cursor.Done()) {
    const std::string arg = cursor.Next();
    std::string value;
    if (cursor.Value(arg, "-o", &value) || cursor.Value(arg, "--output", &value)) {
      if (value.empty()) throw UsageError("empty output name");
      options.output = value;
      haveOutput = true;
    } else if (cursor.Value(arg, "--format", &value)) {
      options.format = ParseFormat(value, &options.pixels);
    } else if (cursor.Value(arg, "--threads", &value)) {
      options.threads = static_cast<unsigned>(std::min<size_t>(ParseCount(value, 1, "--threads"), 256));
    } else if (cursor.Value(arg, "--start", &value)) {
      options.start = ParseCount(value, 0, "--start");
    } else if (cursor.Value(arg, "--frames", &value)) {
      options.frames = ParseCount(value, 0, "--frames");
    } else if (cursor.Value(arg, "--quality", &value)) {
      options.quality = ParseQuality(value);
    } else if (arg == "--denoise") {
      options.denoise = true;
    } else if (arg == "--display-mask") {
      options.displayMask = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError("unknown option '" + arg + "'");
    } else if (options.input.empty()) {
      options.input = arg;
    } else {
      throw UsageError("more than one input file");
    }
  }
  if (options.input.empty()) throw UsageError("decode needs an input file");
  if (!haveOutput) throw UsageError("decode needs an output (-o OUT)");
  if (options.format == OutputFormat::kPng && options.output == "-") {
    throw UsageError("PNG pictures cannot go to standard output");
  }
  return options;
}

// Where the pictures go. Prepare turns a decoded picture into the bytes the
// output holds for it; it runs on the threads that decode, several pictures at
// once, so it changes nothing of the sink. Write takes those bytes, one call
// per frame in frame order.
class PictureSink {
 public:
  virtual ~PictureSink() = default;
  virtual void Prepare(const Yvu9Picture& picture, std::vector<uint8_t>* bytes) const = 0;
  virtual void Write(const std::vector<uint8_t>& bytes) = 0;
  virtual void Finish() {}
};

// A single output stream: a file, or standard output for "-".
class StreamOutput {
 public:
  explicit StreamOutput(const std::string& path) : path_(path) {
    if (path == "-") {
#ifdef _WIN32
      _setmode(_fileno(stdout), _O_BINARY);
#endif
      out_ = &std::cout;
    } else {
      file_.open(path, std::ios::binary | std::ios::out | std::ios::trunc);
      if (!file_) throw FileError(path, "cannot create file");
      out_ = &file_;
    }
  }
  std::ostream& Stream() { return *out_; }
  void Write(const std::vector<uint8_t>& bytes) {
    out_->write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    Check();
  }
  void Finish() {
    out_->flush();
    if (file_.is_open()) file_.close();
    if (!*out_) throw FileError(path_ == "-" ? "standard output" : path_, "write error");
  }
  void Check() {
    if (!*out_) throw FileError(path_ == "-" ? "standard output" : path_, "write error");
  }

 private:
  std::string path_;
  std::ofstream file_;
  std::ostream* out_ = nullptr;
};

class Yvu9Sink : public PictureSink {
 public:
  explicit Yvu9Sink(const std::string& path) : output_(path) {}
  void Prepare(const Yvu9Picture& picture, std::vector<uint8_t>* bytes) const override {
    PackYvu9(picture, bytes);
  }
  void Write(const std::vector<uint8_t>& bytes) override { output_.Write(bytes); }
  void Finish() override { output_.Finish(); }

 private:
  StreamOutput output_;
};

class Y4mSink : public PictureSink {
 public:
  Y4mSink(const std::string& path, const CompressedStream& stream) : output_(path) {
    Y4mHeader header;
    header.width = stream.width;
    header.height = stream.height;
    header.frameRate = stream.reader->FrameRate();  // unknown rates become 25:1
    header.chroma = stream.withChroma ? Y4mChroma::k420Jpeg : Y4mChroma::kMono;
    try {
      writer_.reset(new Y4mWriter(output_.Stream(), header));
    } catch (const MediaError& e) {
      throw FileError(path, e.what());
    }
  }
  void Prepare(const Yvu9Picture& picture, std::vector<uint8_t>* bytes) const override {
    writer_->PicturePlanes(picture, bytes);
  }
  void Write(const std::vector<uint8_t>& bytes) override {
    try {
      writer_->WritePlanes(bytes);
    } catch (const MediaError&) {
      output_.Check();
      throw;
    }
  }
  void Finish() override { output_.Finish(); }

 private:
  StreamOutput output_;
  std::unique_ptr<Y4mWriter> writer_;
};

// Raw frames converted by the conversion library, rows top-down and tightly
// packed, planes one after the other: the bytes the filter and the players'
// modules deliver in the same format.
class ConvertedSink : public PictureSink {
 public:
  ConvertedSink(const std::string& path, PixelFormat format, bool withChroma, int width, int height)
      : output_(path), format_(format), withChroma_(withChroma), height_(height),
        pitch_(PackedPitch(format, width)) {}
  void Prepare(const Yvu9Picture& picture, std::vector<uint8_t>* bytes) const override {
    bytes->resize(SurfaceBytes(format_, height_, pitch_, withChroma_));
    ConvertPicture(picture, format_, SurfaceInBuffer(format_, bytes->data(), height_, pitch_, withChroma_));
  }
  void Write(const std::vector<uint8_t>& bytes) override { output_.Write(bytes); }
  void Finish() override { output_.Finish(); }

 private:
  StreamOutput output_;
  PixelFormat format_;
  bool withChroma_;
  int height_;
  ptrdiff_t pitch_;
};

class PngSink : public PictureSink {
 public:
  // OUT holding a '%' is a name pattern; otherwise a folder, created when it
  // does not exist yet.
  PngSink(const std::string& out, bool withChroma) : pattern_(MakePattern(out)), withChroma_(withChroma) {}

  void Prepare(const Yvu9Picture& picture, std::vector<uint8_t>* bytes) const override {
    const size_t stride = static_cast<size_t>(picture.width) * (withChroma_ ? 3 : 1);
    std::vector<uint8_t> pixels(stride * static_cast<size_t>(picture.height));
    if (withChroma_) {
      Yvu9ToRgb(picture, pixels.data(), stride);
    } else {
      LumaToGray(picture, pixels.data(), stride);
    }
    *bytes = EncodePng(picture.width, picture.height, withChroma_ ? PngColor::kRgb : PngColor::kGray,
                       pixels.data(), stride);
  }

  void Write(const std::vector<uint8_t>& bytes) override {
    const std::string name = pattern_.Name(++count_);
    try {
      WritePngFile(name, bytes);
    } catch (const MediaError& e) {
      throw FileError(name, e.what());
    }
  }

 private:
  static PngNamePattern MakePattern(const std::string& out) {
    if (PngNamePattern::LooksLikePattern(out)) {
      try {
        return PngNamePattern::FromPattern(out);
      } catch (const MediaError& e) {
        throw UsageError(e.what());
      }
    }
    std::error_code error;
    if (!std::filesystem::is_directory(out, error)) {
      std::filesystem::create_directory(out, error);
      if (error || !std::filesystem::is_directory(out, error)) {
        throw FileError(out, "cannot create folder for the PNG pictures");
      }
    }
    return PngNamePattern::InFolder(out);
  }

  PngNamePattern pattern_;
  bool withChroma_;
  uint64_t count_ = 0;
};

bool StderrIsTerminal() {
#ifdef _WIN32
  return false;  // no progress line in Windows builds
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

unsigned DefaultThreads() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores ? cores : 1;
}

std::unique_ptr<PictureSink> MakeSink(const DecodeOptions& options, const CompressedStream& stream) {
  switch (options.format) {
    case OutputFormat::kYvu9:
      return std::unique_ptr<PictureSink>(new Yvu9Sink(options.output));
    case OutputFormat::kY4m:
      return std::unique_ptr<PictureSink>(new Y4mSink(options.output, stream));
    case OutputFormat::kPng:
      return std::unique_ptr<PictureSink>(new PngSink(options.output, stream.withChroma));
    case OutputFormat::kConverted:
      return std::unique_ptr<PictureSink>(new ConvertedSink(
          options.output, options.pixels, stream.withChroma, stream.width, stream.height));
  }
  throw UsageError("no such format");
}

}  // namespace

int RunDecode(const std::vector<std::string>& args) {
  std::string currentFile = args.empty() ? "" : args[0];
  try {
    const DecodeOptions options = ParseOptions(args);
    currentFile = options.input;
    CompressedStream stream = OpenCompressedStream(options.input);
    AviReader& reader = *stream.reader;

    {
      // A size the decoder refuses is reported before any output exists.
      FrameDecoder probe;
      PrepareDecoder(probe, stream, options.quality);
    }
    std::unique_ptr<PictureSink> sink = MakeSink(options, stream);
    const unsigned threads = options.threads ? options.threads : DefaultThreads();
    const RunPlan plan = PlanRuns(ReadFrameHeaders(stream.path, reader.Frames()), options.start, options.frames,
                                  options.quality, threads > 1 ? kMinRunFrames : reader.FrameCount() + 1);
    const size_t frames = plan.runs.empty() ? 0 : plan.runs.back().end - plan.firstOutput;
    const bool progress = frames >= kProgressMinFrames && StderrIsTerminal();
    size_t written = 0;
    // As the filter: one output picture per decoder that persists from frame
    // to frame (zero at the start), the switches held for the whole run.
    const PicturePreparer prepare = [&](const uint8_t* picture, std::vector<uint8_t>* bytes) {
      sink->Prepare(DecoderOutputPicture(picture, stream.width, stream.height, stream.withChroma), bytes);
    };
    DecodeInParallel(stream, plan, {options.denoise, options.displayMask}, threads, prepare,
                     [&](size_t, const std::vector<uint8_t>& bytes) {
                       sink->Write(bytes);
                       ++written;
                       if (progress && (written % 10 == 1 || written == frames)) {
                         std::fprintf(stderr, "\rzdc: decoding frame %zu of %zu", written, frames);
                         std::fflush(stderr);
                       }
                     });
    if (progress) std::fprintf(stderr, "\n");
    sink->Finish();
    return 0;
  } catch (const UsageError& e) {
    ReportUsageError(e, kDecodeUsage);
    return kExitUsage;
  } catch (const FileError& e) {
    ReportFileError(e);
    return kExitFailure;
  } catch (const MediaError& e) {
    ReportFileError(FileError(currentFile, e.what()));
    return kExitFailure;
  } catch (const std::bad_alloc&) {
    ReportFileError(FileError(currentFile, "out of memory"));
    return kExitFailure;
  }
}

}  // namespace zdc
