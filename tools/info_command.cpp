// `zdc info IN.avi [--json]`: the stream's format, then one line per frame
// with its header fields, the coder and mask storage of each section, and
// what a decoder with default switches returns for it; or the same facts as
// one JSON object.
#include <cinttypes>
#include <cstdio>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "fourcc.h"
#include "frame_summary.h"
#include "media_error.h"
#include "stream_setup.h"
#include "yvu9_picture.h"

namespace zdc {

namespace {

const char kInfoUsage[] = "usage: zdc info IN.avi [--json]";

void PrintFrame(size_t number, const FrameSummary& frame, int32_t decoded) {
  if (!frame.hasHeader) {
    // Lines up the decode result with the table's last column.
    std::printf("%6zu %9" PRIu32 "  %-85s%" PRId32 "\n", number, frame.length,
                frame.length == 0 ? "dropped frame (empty chunk)" : "short frame: no frame header", decoded);
    return;
  }
  char sections[3][40];
  for (int i = 0; i < 3; ++i) {
    std::snprintf(sections[i], sizeof sections[i], "%" PRIu32 " %s", frame.sectionSize[i],
                  DescribeSection(frame, i).c_str());
  }
  std::printf("%6zu %9" PRIu32 "  %-5s %5u  %7u  %-20s %-20s %-20s %" PRId32 "\n", number, frame.length,
              frame.Key() ? "key" : "delta", static_cast<unsigned>(frame.frameIndex),
              static_cast<unsigned>(frame.quality), sections[0], sections[1], sections[2], decoded);
}

void PrintTextHead(const CompressedStream& stream) {
  const AviReader& reader = *stream.reader;
  const Rational rate = reader.FrameRate();
  std::printf("file:        %s\n", stream.path.c_str());
  std::printf("picture:     %dx%d%s\n", stream.width, stream.height, stream.topDown ? " (top-down)" : "");
  std::printf("fourcc:      %s (%s)\n", FourCCToString(reader.Compression()).c_str(),
              stream.withChroma ? "luma and chroma, 4:1:0" : "luma only");
  std::printf("frames:      %zu\n", reader.FrameCount());
  if (rate.Known()) {
    std::printf("frame rate:  %" PRIu32 "/%" PRIu32 " (%.3f fps)\n", rate.num, rate.den, rate.ToDouble());
  } else {
    std::printf("frame rate:  unknown\n");
  }
  std::printf("\n %5s %9s  %-5s %5s  %7s  %-20s %-20s %-20s %s\n", "frame", "bytes", "type", "index",
              "quality", "luma", "chroma 1", "chroma 2", "decoded");
}

// A JSON string: quotes, backslashes and control characters escaped; other
// bytes pass through as they are.
std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

void PrintJsonHead(const CompressedStream& stream) {
  const AviReader& reader = *stream.reader;
  const Rational rate = reader.FrameRate();
  std::printf("{\"file\":%s,\"width\":%d,\"height\":%d,\"top_down\":%s,\"fourcc\":%s,\"chroma\":%s,"
              "\"frame_count\":%zu,",
              JsonString(stream.path).c_str(), stream.width, stream.height, stream.topDown ? "true" : "false",
              JsonString(FourCCToString(reader.Compression())).c_str(), stream.withChroma ? "true" : "false",
              reader.FrameCount());
  if (rate.Known()) {
    std::printf("\"frame_rate\":{\"num\":%" PRIu32 ",\"den\":%" PRIu32 "},", rate.num, rate.den);
  } else {
    std::printf("\"frame_rate\":null,");
  }
  std::printf("\"frames\":[");
}

void PrintJsonFrame(size_t number, const FrameSummary& frame, int32_t decoded) {
  std::printf("%s{\"frame\":%zu,\"bytes\":%" PRIu32, number ? "," : "", number, frame.length);
  if (frame.hasHeader) {
    std::printf(",\"type\":\"%s\",\"index\":%u,\"quality\":%u,\"sections\":[", frame.Key() ? "key" : "delta",
                static_cast<unsigned>(frame.frameIndex), static_cast<unsigned>(frame.quality));
    for (int i = 0; i < 3; ++i) {
      std::printf("%s{\"bytes\":%" PRIu32 ",\"coding\":%s}", i ? "," : "", frame.sectionSize[i],
                  JsonString(DescribeSection(frame, i)).c_str());
    }
    std::printf("]");
  } else {
    std::printf(",\"type\":\"%s\"", frame.length == 0 ? "dropped" : "short");
  }
  std::printf(",\"decoded\":%" PRId32 "}", decoded);
}

}  // namespace

int RunInfo(const std::vector<std::string>& args) {
  try {
    bool json = false;
    std::vector<std::string> files;
    for (const std::string& arg : args) {
      if (arg == "--json") {
        json = true;
      } else if (arg.empty() || (arg[0] == '-' && arg != "-")) {
        throw UsageError("unknown option '" + arg + "'");
      } else {
        files.push_back(arg);
      }
    }
    if (files.size() != 1) {
      throw UsageError(files.empty() ? "info needs an input file" : "info takes exactly one input file");
    }
    CompressedStream stream = OpenCompressedStream(files[0]);
    AviReader& reader = *stream.reader;
    if (json) {
      PrintJsonHead(stream);
    } else {
      PrintTextHead(stream);
    }

    FrameDecoder decoder;
    PrepareDecoder(decoder, stream, 0.5);
    std::vector<uint8_t> picture(DecoderOutputBytes(stream.width, stream.height, stream.withChroma), 0);
    for (size_t i = 0; i < reader.FrameCount(); ++i) {
      const std::vector<uint8_t> frame = reader.ReadFrame(i);
      const uint32_t length = static_cast<uint32_t>(frame.size());
      const FrameSummary summary = SummarizeFrame(frame.data(), length);
      const int32_t decoded = decoder.Decode(frame.data(), length, picture.data(), stream.width);
      if (json) {
        PrintJsonFrame(i, summary, decoded);
      } else {
        PrintFrame(i, summary, decoded);
      }
    }
    if (json) std::printf("]}\n");
    std::fflush(stdout);
    return 0;
  } catch (const UsageError& e) {
    ReportUsageError(e, kInfoUsage);
    return kExitUsage;
  } catch (const FileError& e) {
    ReportFileError(e);
    return kExitFailure;
  } catch (const MediaError& e) {
    ReportFileError(FileError(args.empty() ? "" : args[0], e.what()));
    return kExitFailure;
  } catch (const std::bad_alloc&) {
    ReportFileError(FileError(args.empty() ? "" : args[0], "out of memory"));
    return kExitFailure;
  }
}

}  // namespace zdc
