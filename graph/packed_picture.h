// Writing a decoded picture from a surface (any pitch, rows in either order)
// as `zdc decode --format` writes it: rows top-down, tightly packed, planes
// one after the other.
#pragma once

#include <cstdint>
#include <ostream>

#include "picture_convert.h"

void WritePackedPicture(std::ostream& out, zdc::PixelFormat format, const zdc::Surface& surface,
                        int width, int height, bool withChroma);
