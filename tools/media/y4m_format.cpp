#include "y4m_format.h"

namespace zdc {

int Y4mHeader::ChromaWidth() const {
  switch (chroma) {
    case Y4mChroma::kMono:
      return 0;
    case Y4mChroma::k444:
      return width;
    default:
      return (width + 1) / 2;
  }
}

int Y4mHeader::ChromaHeight() const {
  switch (chroma) {
    case Y4mChroma::kMono:
      return 0;
    case Y4mChroma::k444:
    case Y4mChroma::k422:
      return height;
    default:
      return (height + 1) / 2;
  }
}

size_t Y4mHeader::FrameBytes() const {
  return static_cast<size_t>(width) * height + 2 * static_cast<size_t>(ChromaWidth()) * ChromaHeight();
}

const char* Y4mChromaTag(Y4mChroma chroma) {
  switch (chroma) {
    case Y4mChroma::k420Jpeg:
      return "420jpeg";
    case Y4mChroma::k420Mpeg2:
      return "420mpeg2";
    case Y4mChroma::k420PalDv:
      return "420paldv";
    case Y4mChroma::k422:
      return "422";
    case Y4mChroma::k444:
      return "444";
    case Y4mChroma::kMono:
      return "mono";
  }
  return "420jpeg";
}

}  // namespace zdc
