// `zdc info IN.avi`: the stream's format, then one line per frame with its
// header fields, the coder and mask storage of each section, and what a
// decoder with default switches returns for it.
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

const char kInfoUsage[] = "usage: zdc info IN.avi";

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

}  // namespace

int RunInfo(const std::vector<std::string>& args) {
  try {
    if (args.size() != 1 || args[0].empty() || (args[0][0] == '-' && args[0] != "-")) {
      throw UsageError(args.empty() ? "info needs an input file" : "info takes exactly one input file");
    }
    CompressedStream stream = OpenCompressedStream(args[0]);
    AviReader& reader = *stream.reader;
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

    FrameDecoder decoder;
    PrepareDecoder(decoder, stream, 0.5);
    std::vector<uint8_t> picture(DecoderOutputBytes(stream.width, stream.height, stream.withChroma), 0);
    for (size_t i = 0; i < reader.FrameCount(); ++i) {
      const std::vector<uint8_t> frame = reader.ReadFrame(i);
      const uint32_t length = static_cast<uint32_t>(frame.size());
      const FrameSummary summary = SummarizeFrame(frame.data(), length);
      const int32_t decoded = decoder.Decode(frame.data(), length, picture.data(), stream.width);
      PrintFrame(i, summary, decoded);
    }
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
