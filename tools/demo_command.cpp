// `zdc demo`: decodes the sample clip that ships with the project into out/
// (the whole clip as YUV4MPEG2 and a few PNG stills) and says how to look at
// them.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "media_error.h"
#include "png_writer.h"
#include "stream_setup.h"
#include "y4m_writer.h"
#include "ycbcr_to_rgb.h"
#include "yvu9_picture.h"

namespace zdc {
namespace {

const char kDemoUsage[] = "usage: zdc demo [SAMPLE.avi] [-o FOLDER]   (default: the shipped sample, out/)";

// Every this many frames one still is written, and the last frame too.
constexpr size_t kStillInterval = 25;

}  // namespace

int RunDemo(const std::vector<std::string>& args) {
  std::string sample = ZDC_SAMPLE_PATH, folder = "out";
  std::string currentFile = sample;
  try {
    ArgumentCursor cursor(args);
    std::string value;
    bool sampleGiven = false;
    while (!cursor.Done()) {
      const std::string& arg = cursor.Next();
      if (cursor.Value(arg, "-o", &value)) {
        folder = value;
      } else if (arg.size() > 1 && arg[0] == '-') {
        throw UsageError("unknown option '" + arg + "'");
      } else if (!sampleGiven) {
        sample = arg;
        sampleGiven = true;
      } else {
        throw UsageError("more than one sample");
      }
    }

    currentFile = sample;
    CompressedStream stream = OpenCompressedStream(sample);
    FrameDecoder decoder;
    PrepareDecoder(decoder, stream, 0.5);

    currentFile = folder;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder, error)) throw FileError(folder, "cannot create folder");
    const std::string stem = std::filesystem::path(sample).stem().string();
    const std::string clipPath = (std::filesystem::path(folder) / (stem + ".y4m")).string();
    currentFile = clipPath;
    std::ofstream clip(clipPath, std::ios::binary);
    if (!clip) throw FileError(clipPath, "cannot create file");
    Y4mHeader header;
    header.width = stream.width;
    header.height = stream.height;
    header.frameRate = stream.reader->FrameRate();
    header.chroma = stream.withChroma ? Y4mChroma::k420Jpeg : Y4mChroma::kMono;
    Y4mWriter writer(clip, header);

    std::vector<uint8_t> buffer(DecoderOutputBytes(stream.width, stream.height, stream.withChroma), 0);
    const Yvu9Picture picture =
        DecoderOutputPicture(buffer.data(), stream.width, stream.height, stream.withChroma);
    const size_t channels = stream.withChroma ? 3 : 1;
    std::vector<uint8_t> pixels(static_cast<size_t>(stream.width) * stream.height * channels);
    std::vector<std::string> stills;
    const size_t frames = stream.reader->FrameCount();
    for (size_t i = 0; i < frames; ++i) {
      currentFile = sample;
      const std::vector<uint8_t> frame = stream.reader->ReadFrame(i);
      decoder.Decode(frame.data(), static_cast<uint32_t>(frame.size()), buffer.data(), stream.width);
      currentFile = clipPath;
      writer.WritePicture(picture);
      if (i % kStillInterval == 0 || i + 1 == frames) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%03zu.png", i);
        const std::string path = (std::filesystem::path(folder) / name).string();
        currentFile = path;
        const size_t stride = static_cast<size_t>(stream.width) * channels;
        if (stream.withChroma) {
          Yvu9ToRgb(picture, pixels.data(), stride);
        } else {
          LumaToGray(picture, pixels.data(), stride);
        }
        WritePng(path, stream.width, stream.height,
                 stream.withChroma ? PngColor::kRgb : PngColor::kGray, pixels.data(), stride);
        stills.push_back(path);
      }
    }
    clip.close();
    if (!clip) throw FileError(clipPath, "write failed");

    std::printf("Decoded %s: %zu frames of %dx%d.\n", sample.c_str(), frames, stream.width,
                stream.height);
    std::printf("  %s  the whole clip (YUV4MPEG2): play it with  ffplay %s  or  mpv %s\n",
                clipPath.c_str(), clipPath.c_str(), clipPath.c_str());
    for (const std::string& still : stills) std::printf("  %s\n", still.c_str());
    std::printf("The PNG stills open in any image viewer.\n");
    return 0;
  } catch (const UsageError& e) {
    ReportUsageError(e, kDemoUsage);
    return kExitUsage;
  } catch (const FileError& e) {
    ReportFileError(e);
    return kExitFailure;
  } catch (const MediaError& e) {
    ReportFileError(FileError(currentFile, e.what()));
    return kExitFailure;
  }
}

}  // namespace zdc
