// Writing decoded 4:1:0 pictures (see convert/yvu9_picture.h) as raw YVU9.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "convert/yvu9_picture.h"

namespace zdc {

// Luma, then V, then U, rows tightly packed into `bytes`; luma alone without
// chroma.
void PackYvu9(const Yvu9Picture& picture, std::vector<uint8_t>* bytes);

// Bytes PackYvu9 makes of one picture.
size_t PackedYvu9Bytes(int width, int height, bool withChroma);

}  // namespace zdc
