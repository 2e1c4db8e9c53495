// The cost of filling one output sample from a decoded picture: the YVU9
// copy and each conversion of picture_convert.h, as a share of a Huffman key
// frame's decode, and its pixel rate against libyuv's converter to the same
// output (from 4:2:0, the nearest input libyuv takes).
#pragma once

#include "picture.h"
#include "source_image.h"

namespace zdc {
namespace bench {

// `picture` is the decoded 4:1:0 picture, `peerInput` the same picture at
// 4:2:0; `keySeconds` the decode time of a Huffman key frame of that size.
// Prints one row per format; returns the largest share of the key frame's
// decode time (RGB being the costliest).
double ReportConversions(const Picture& picture, const Planes420& peerInput, double keySeconds,
                         int rounds, double seconds);

}  // namespace bench
}  // namespace zdc
