// What `zdc info` shows about one compressed frame: its FrameHeader and, for
// every section the decoder would read, the coder and the mask storage from
// the PlaneHeader or SectionHeader. All reads are bounds-checked, so a short
// or damaged frame is described rather than trusted.
#pragma once

#include <cstdint>
#include <string>

namespace zdc {

enum class SectionCoder { kHuffman, kArithmetic, kNone };
enum class MaskStorage { kRaw, kLzw, kRunLength, kFd };

struct SectionSummary {
  bool decoded = false;  // the decoder reads this section (size rules of the frame driver)
  bool cut = false;      // its header lies (partly) outside the frame
  bool empty = false;    // delta section with `coded` = 0
  SectionCoder coder = SectionCoder::kNone;
  MaskStorage mask = MaskStorage::kRaw;  // delta sections only
};

struct FrameSummary {
  uint32_t length = 0;
  bool hasHeader = false;  // at least the 20 header bytes are there
  uint16_t quality = 0;
  uint16_t frameIndex = 0;
  uint32_t sectionSize[3] = {0, 0, 0};
  SectionSummary sections[3];

  bool Key() const { return frameIndex == 0; }
};

FrameSummary SummarizeFrame(const uint8_t* frame, uint32_t length);

// "huffman", "arith/lzw", "empty", "-" (not decoded), "cut".
std::string DescribeSection(const FrameSummary& frame, int section);

}  // namespace zdc
