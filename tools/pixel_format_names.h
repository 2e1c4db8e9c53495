// The names of the conversion formats on the command line
// (`zdc decode --format NAME`).
#pragma once

#include <string>

#include "picture_convert.h"

namespace zdc {

// nv12, yv12, i420, yuy2, rgb32, rgb24, yuv410p or yvu9 (lower case, as
// FFmpeg and the FourCCs name them); false for any other name.
bool ParsePixelFormat(const std::string& name, PixelFormat* format);

// The name ParsePixelFormat takes for `format`.
const char* PixelFormatName(PixelFormat format);

}  // namespace zdc
