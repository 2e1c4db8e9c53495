#include "frame_summary.h"

#include "sample_view.h"

namespace zdc {

namespace {

constexpr uint32_t kFrameHeaderBytes = 20;
constexpr uint32_t kSectionHeaderBytes = 16;
constexpr uint16_t kFdMaskTag = 0x4446;  // the bytes "FD"

SectionCoder CoderOf(uint8_t value) {
  return value == 0 ? SectionCoder::kHuffman : value == 1 ? SectionCoder::kArithmetic : SectionCoder::kNone;
}

void ReadKeyPlane(const SampleView& sample, uint32_t offset, SectionSummary* section) {
  section->decoded = true;
  if (!sample.Contains(offset, 4)) {
    section->cut = true;
    return;
  }
  section->coder = CoderOf(sample.Byte(offset));
}

void ReadDeltaSection(const SampleView& sample, uint32_t offset, SectionSummary* section) {
  section->decoded = true;
  if (!sample.Contains(offset, kSectionHeaderBytes)) {
    // The decoder stops at `coded` = 0 after reading the whole header too.
    section->cut = true;
    return;
  }
  if (sample.Le32(offset + 8) == 0) {
    section->empty = true;
    return;
  }
  section->coder = CoderOf(sample.Byte(offset + 12));
  const uint8_t storage = sample.Byte(offset + 13);
  if (sample.Le16(offset + 6) == kFdMaskTag) {
    section->mask = MaskStorage::kFd;
  } else {
    section->mask = storage == 1 ? MaskStorage::kLzw : storage == 2 ? MaskStorage::kRunLength : MaskStorage::kRaw;
  }
}

const char* CoderName(SectionCoder coder) {
  switch (coder) {
    case SectionCoder::kHuffman:
      return "huffman";
    case SectionCoder::kArithmetic:
      return "arith";
    case SectionCoder::kNone:
      break;
  }
  return "none";
}

const char* MaskName(MaskStorage mask) {
  switch (mask) {
    case MaskStorage::kLzw:
      return "lzw";
    case MaskStorage::kRunLength:
      return "rle";
    case MaskStorage::kFd:
      return "fd";
    case MaskStorage::kRaw:
      break;
  }
  return "raw";
}

}  // namespace

FrameSummary SummarizeFrame(const uint8_t* frame, uint32_t length) {
  FrameSummary summary;
  summary.length = length;
  const SampleView sample(frame, length);
  if (!sample.Contains(0, kFrameHeaderBytes)) return summary;
  summary.hasHeader = true;
  summary.quality = sample.Le16(4);
  summary.frameIndex = sample.Le16(6);
  for (int i = 0; i < 3; ++i) summary.sectionSize[i] = sample.Le32(8 + 4 * i);
  // Section offsets as the frame driver computes them, 32-bit wrapping sums.
  const uint32_t offsets[3] = {kFrameHeaderBytes, kFrameHeaderBytes + summary.sectionSize[0],
                               kFrameHeaderBytes + summary.sectionSize[0] + summary.sectionSize[1]};
  if (summary.Key()) {
    // Luma always; chroma only when the first chroma size is not 0.
    ReadKeyPlane(sample, offsets[0], &summary.sections[0]);
    if (summary.sectionSize[1] != 0) {
      ReadKeyPlane(sample, offsets[1], &summary.sections[1]);
      ReadKeyPlane(sample, offsets[2], &summary.sections[2]);
    }
  } else {
    for (int i = 0; i < 3; ++i) {
      if (summary.sectionSize[i] != 0) ReadDeltaSection(sample, offsets[i], &summary.sections[i]);
    }
  }
  return summary;
}

std::string DescribeSection(const FrameSummary& frame, int section) {
  const SectionSummary& s = frame.sections[section];
  if (!s.decoded) return "-";
  if (s.cut) return "cut";
  if (frame.Key()) return CoderName(s.coder);
  if (s.empty) return "empty";
  return std::string(CoderName(s.coder)) + "/" + MaskName(s.mask);
}

}  // namespace zdc
