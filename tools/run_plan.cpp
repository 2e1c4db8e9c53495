#include "run_plan.h"

#include <algorithm>
#include <fstream>

#include "codec_context.h"

namespace zdc {

std::vector<FrameHeaderFacts> ReadFrameHeaders(const std::string& path, const std::vector<AviFrame>& frames) {
  std::vector<FrameHeaderFacts> headers(frames.size());
  std::ifstream file(path, std::ios::binary);
  for (size_t i = 0; i < frames.size() && file; ++i) {
    uint8_t bytes[8] = {};
    const uint32_t wanted = std::min<uint32_t>(frames[i].length, sizeof bytes);
    file.seekg(static_cast<std::streamoff>(frames[i].offset));
    if (!file.read(reinterpret_cast<char*>(bytes), wanted)) break;  // the reader reports it later
    headers[i].hasQuality = wanted >= 6;
    headers[i].quality = static_cast<uint16_t>(bytes[4] | bytes[5] << 8);
    // The decoder reads the section sizes up to byte 16 before a key frame
    // resets anything.
    headers[i].key = frames[i].length >= 20 && bytes[6] == 0 && bytes[7] == 0;
  }
  return headers;
}

RunPlan PlanRuns(const std::vector<FrameHeaderFacts>& headers, size_t start, size_t count,
                 double userQuality, size_t minRunFrames) {
  RunPlan plan;
  const size_t total = headers.size();
  start = std::min(start, total);
  const size_t end = start + std::min(count, total - start);
  plan.firstOutput = start;
  if (start == end) return plan;  // nothing wanted
  size_t begin = start;
  while (begin > 0 && !headers[begin].key) --begin;

  // The quality a decoder holds follows the frame headers: a header's value
  // is taken when it differs from the current one and the decoder accepts it.
  CodecContext tracker;
  tracker.SetQuality(userQuality);
  double quality = userQuality;
  for (size_t i = 0; i < end; ++i) {
    if (i == begin || (i > begin && headers[i].key && i - plan.runs.back().begin >= minRunFrames)) {
      if (!plan.runs.empty()) plan.runs.back().end = i;
      plan.runs.push_back({i, end, quality});
    }
    if (headers[i].hasQuality && headers[i].quality != tracker.QualityHundredths() &&
        tracker.SetQuality(headers[i].quality * 0.01) == kStatusSuccess) {
      quality = headers[i].quality * 0.01;
    }
  }
  return plan;
}

}  // namespace zdc
