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
#include <memory>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "media_error.h"
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
    "usage: zdc decode IN.avi -o OUT [--format yvu9|y4m|png] [--denoise] [--display-mask] [--quality Q]";

enum class OutputFormat { kYvu9, kY4m, kPng };

struct DecodeOptions {
  std::string input;
  std::string output;
  OutputFormat format = OutputFormat::kYvu9;
  double quality = 0.5;  // what the filter sets when streaming starts
  bool denoise = false;
  bool displayMask = false;
};

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
      if (value == "yvu9") {
        options.format = OutputFormat::kYvu9;
      } else if (value == "y4m") {
        options.format = OutputFormat::kY4m;
      } else if (value == "png") {
        options.format = OutputFormat::kPng;
      } else {
        throw UsageError("unknown format '" + value + "' (yvu9, y4m or png)");
      }
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

// Where the pictures go. One Write per decoded frame.
class PictureSink {
 public:
  virtual ~PictureSink() = default;
  virtual void Write(const Yvu9Picture& picture) = 0;
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
  void Write(const Yvu9Picture& picture) override {
    WritePackedYvu9(output_.Stream(), picture);
    output_.Check();
  }
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
  void Write(const Yvu9Picture& picture) override {
    try {
      writer_->WritePicture(picture);
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

class PngSink : public PictureSink {
 public:
  // OUT holding a '%' is a name pattern; otherwise a folder, created when it
  // does not exist yet.
  PngSink(const std::string& out, bool withChroma, int width, int height)
      : pattern_(MakePattern(out)), withChroma_(withChroma),
        pixels_(static_cast<size_t>(width) * height * (withChroma ? 3 : 1)) {}

  void Write(const Yvu9Picture& picture) override {
    const std::string name = pattern_.Name(++count_);
    const size_t stride = static_cast<size_t>(picture.width) * (withChroma_ ? 3 : 1);
    if (withChroma_) {
      Yvu9ToRgb(picture, pixels_.data(), stride);
    } else {
      LumaToGray(picture, pixels_.data(), stride);
    }
    try {
      WritePng(name, picture.width, picture.height, withChroma_ ? PngColor::kRgb : PngColor::kGray,
               pixels_.data(), stride);
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
  std::vector<uint8_t> pixels_;
  uint64_t count_ = 0;
};

bool StderrIsTerminal() {
#ifdef _WIN32
  return false;  // no progress line in Windows builds
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

}  // namespace

int RunDecode(const std::vector<std::string>& args) {
  std::string currentFile = args.empty() ? "" : args[0];
  try {
    const DecodeOptions options = ParseOptions(args);
    currentFile = options.input;
    CompressedStream stream = OpenCompressedStream(options.input);
    AviReader& reader = *stream.reader;

    // As the filter: size and quality when streaming starts, the switches set
    // before the first frame and held for the whole run.
    FrameDecoder decoder;
    PrepareDecoder(decoder, stream, options.quality);
    decoder.SetDenoise(options.denoise);
    decoder.SetDisplayMask(options.displayMask);

    std::unique_ptr<PictureSink> sink;
    switch (options.format) {
      case OutputFormat::kYvu9:
        sink.reset(new Yvu9Sink(options.output));
        break;
      case OutputFormat::kY4m:
        sink.reset(new Y4mSink(options.output, stream));
        break;
      case OutputFormat::kPng:
        sink.reset(new PngSink(options.output, stream.withChroma, stream.width, stream.height));
        break;
    }

    // One output picture for the whole run, like a downstream buffer that
    // stays the same: zero at the start, then whatever the frames leave in it.
    std::vector<uint8_t> buffer(DecoderOutputBytes(stream.width, stream.height, stream.withChroma), 0);
    const Yvu9Picture picture =
        DecoderOutputPicture(buffer.data(), stream.width, stream.height, stream.withChroma);
    const size_t frames = reader.FrameCount();
    const bool progress = frames >= kProgressMinFrames && StderrIsTerminal();
    for (size_t i = 0; i < frames; ++i) {
      // A buffer of exactly the frame's length, so that a sanitizer sees any
      // read past the sample.
      const std::vector<uint8_t> frame = reader.ReadFrame(i);
      decoder.Decode(frame.data(), static_cast<uint32_t>(frame.size()), buffer.data(), stream.width);
      sink->Write(picture);
      if (progress && (i % 10 == 0 || i + 1 == frames)) {
        std::fprintf(stderr, "\rzdc: decoding frame %zu of %zu", i + 1, frames);
        std::fflush(stderr);
      }
    }
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
