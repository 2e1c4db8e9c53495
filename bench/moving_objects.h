// Delta-frame material: the next picture of a sequence in which a given
// fraction of the picture changes. The changed area is made of 32x32 tiles
// (whole blocks in every plane of our 4:1:0 layout) clustered around three
// points; each takes the content of another part of the scene, lit a little
// differently, as objects passing in front of a still camera would.
#pragma once

#include "source_image.h"

namespace zdc {
namespace bench {

SourceImage WithMovingObjects(const SourceImage& base, double fraction);

}  // namespace bench
}  // namespace zdc
