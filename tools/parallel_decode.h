// Decodes a clip's runs with several decoders at once and hands the pictures
// over in frame order, byte for byte what one decoder going through the clip
// would produce.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "run_plan.h"
#include "stream_setup.h"

namespace zdc {

struct DecoderSwitches {
  bool denoise = false;
  bool displayMask = false;
};

// Turns a decoded picture (DecoderOutputPicture layout) into the bytes
// written for its frame. Called on the thread that decoded the picture,
// several at once, so it may change nothing but `bytes`.
using PicturePreparer = std::function<void(const uint8_t* picture, std::vector<uint8_t>* bytes)>;
// Called once per frame from `plan.firstOutput` on, in order, on the calling
// thread, with what the preparer made of the frame's picture.
using PreparedConsumer = std::function<void(size_t frame, const std::vector<uint8_t>& bytes)>;

// Runs the plan with `threads` decoders on threads of their own (1: one
// decoder on the calling thread), writing from the calling thread. A picture
// of a run after the first is used only when its decoder says it follows
// from the run's key frame alone; at the first that does not (a damaged key
// frame, say), one decoder goes through the clip from the start instead.
// Throws FileError/MediaError as the sequential decode would.
void DecodeInParallel(CompressedStream& stream, const RunPlan& plan, DecoderSwitches switches,
                      unsigned threads, const PicturePreparer& prepare, const PreparedConsumer& consume);

}  // namespace zdc
