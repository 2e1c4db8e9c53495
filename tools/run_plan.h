// How a clip is cut into runs that separate decoders can take in parallel:
// each run after the first starts at a key frame, and every run starts with
// the quality a single decoder would hold there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "avi_reader.h"

namespace zdc {

// Runs on several threads are at least this long, so that handing runs and
// their pictures between threads stays small against decoding them.
constexpr size_t kMinRunFrames = 16;

struct DecodeRun {
  size_t begin = 0, end = 0;  // frames [begin, end)
  double quality = 0.5;       // the decoder's quality setting before frame `begin`
};

struct RunPlan {
  size_t firstOutput = 0;  // frames before it are decoded but not written
  std::vector<DecodeRun> runs;
};

// Frame headers as the decoder reads them: the key flag and the quality.
struct FrameHeaderFacts {
  bool key = false;      // a whole header with frame index 0
  bool hasQuality = false;
  uint16_t quality = 0;  // hundredths
};

// Reads the first header bytes of every frame of the AVI at `path`.
std::vector<FrameHeaderFacts> ReadFrameHeaders(const std::string& path, const std::vector<AviFrame>& frames);

// Frames [start, start + count) are wanted (count clamped to the clip).
// Decoding starts at the last key frame at or before `start` (frame 0 when
// there is none); runs are at least `minRunFrames` long and each later run
// begins at a key frame. `userQuality` is the setting before the first frame.
RunPlan PlanRuns(const std::vector<FrameHeaderFacts>& headers, size_t start, size_t count,
                 double userQuality, size_t minRunFrames);

}  // namespace zdc
