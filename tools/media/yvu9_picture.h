// Writing decoded 4:1:0 pictures (see convert/yvu9_picture.h) as raw YVU9.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>

#include "convert/yvu9_picture.h"

namespace zdc {

// Writes luma, then V, then U, rows tightly packed; luma alone without chroma.
void WritePackedYvu9(std::ostream& out, const Yvu9Picture& picture);

// Bytes WritePackedYvu9 writes for one picture.
size_t PackedYvu9Bytes(int width, int height, bool withChroma);

}  // namespace zdc
