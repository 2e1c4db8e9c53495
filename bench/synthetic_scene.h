// A natural-looking landscape made from noise, for machines without a photo:
// sky with clouds, a rocky ridge, a band of autumn forest, a grass slope, a
// house and a fence for hard edges, and a little sensor noise. The same size
// always gives the same picture.
#pragma once

#include <cstdint>

#include "source_image.h"

namespace zdc {
namespace bench {

SourceImage SyntheticScene(int32_t width, int32_t height);

}  // namespace bench
}  // namespace zdc
