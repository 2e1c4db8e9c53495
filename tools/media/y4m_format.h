// The YUV4MPEG2 stream header and frame layout shared by the reader and the
// writer. Frames are 8-bit planar Y, Cb, Cr (Y alone for mono), rows tightly
// packed, chroma planes rounded up for odd sizes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "rational.h"

namespace zdc {

enum class Y4mChroma {
  k420Jpeg,   // C420jpeg, also C420 and the default: chroma centred between luma rows and columns
  k420Mpeg2,  // C420mpeg2: chroma co-sited with the left luma column
  k420PalDv,  // C420paldv
  k422,       // C422
  k444,       // C444
  kMono,      // Cmono
};

struct Y4mHeader {
  int width = 0;
  int height = 0;
  Rational frameRate;  // 0/0 when the header has no F tag
  Rational aspect;     // 0/0 when unknown
  char interlace = 'p';
  Y4mChroma chroma = Y4mChroma::k420Jpeg;

  int ChromaWidth() const;   // 0 for mono
  int ChromaHeight() const;  // 0 for mono
  size_t FrameBytes() const;
};

// The C tag's value ("420jpeg", "mono", ...) for a chroma layout.
const char* Y4mChromaTag(Y4mChroma chroma);

struct Y4mFrame {
  std::vector<uint8_t> y;
  std::vector<uint8_t> cb;  // empty for mono
  std::vector<uint8_t> cr;  // empty for mono
};

}  // namespace zdc
