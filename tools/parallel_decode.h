// Decodes a clip's runs with several decoders at once and hands the pictures
// over in frame order, byte for byte what one decoder going through the clip
// would produce.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "run_plan.h"
#include "stream_setup.h"

namespace zdc {

struct DecoderSwitches {
  bool denoise = false;
  bool displayMask = false;
};

// Called once per frame from `plan.firstOutput` on, in order, on the calling
// thread, with the decoder's output picture (DecoderOutputPicture layout).
using PictureConsumer = std::function<void(size_t frame, const uint8_t* picture)>;

// Runs the plan with `threads` decoders on threads of their own (1: one
// decoder on the calling thread), writing from the calling thread. A picture
// of a run after the first is used only when its decoder says it follows
// from the run's key frame alone; at the first that does not (a damaged key
// frame, say), one decoder goes through the clip from the start instead.
// Throws FileError/MediaError as the sequential decode would.
void DecodeInParallel(CompressedStream& stream, const RunPlan& plan, DecoderSwitches switches,
                      unsigned threads, const PictureConsumer& consume);

}  // namespace zdc
