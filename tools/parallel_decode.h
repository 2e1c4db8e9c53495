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

// Runs the plan on `threads` worker threads (1: everything on the calling
// thread). A run after the first is accepted only when its first picture
// equals the one the previous run's decoder makes of the same key frame;
// otherwise (a damaged key frame, say) that decoder goes on through the run.
// Throws FileError/MediaError as the sequential decode would.
void DecodeInParallel(CompressedStream& stream, const RunPlan& plan, DecoderSwitches switches,
                      unsigned threads, const PictureConsumer& consume);

}  // namespace zdc
