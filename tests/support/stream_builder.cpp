#include "stream_builder.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>

#include "huffman_tables.h"

namespace zdc::test {

void HuffmanSectionWriter::Check() {
  if (consumed_ >= 32) {
    consumed_ -= 32;
    readOffset_ += 4;
  }
}

void HuffmanSectionWriter::PutDc(int difference) {
  const int magnitude = std::abs(difference);
  int size = 0;
  while ((1 << size) <= magnitude) ++size;
  const DcSizeCode& code = luminance_ ? kDcSizeLuminance[size] : kDcSizeChrominance[size];
  Put(code.code, code.length);
  Consume(code.length);
  if (size) {
    const uint32_t value = difference > 0 ? static_cast<uint32_t>(difference)
                                          : static_cast<uint32_t>(difference + (1 << size) - 1);
    Put(value, size);
    Consume(size);
  }
}

void HuffmanSectionWriter::PutAc(int run, int level) {
  assert(level != 0 && "a zero level has no code");
  Check();
  const int magnitude = std::abs(level);
  for (const DctCoeffCode& code : kDctCoeffNext) {
    if (code.run == run && code.level == magnitude) {
      Put(code.code, code.length);
      Put(level < 0, 1);
      Consume(code.length + 1);
      return;
    }
  }
  Put(kEscapeCode, kEscapeLength);
  Put(static_cast<uint32_t>(run), 6);
  if (magnitude < 128) {
    Put(static_cast<uint32_t>(level) & 0xFF, 8);
    Consume(20);
  } else if (level > 0) {
    Put(0x00, 8);
    Put(static_cast<uint32_t>(level), 8);
    Consume(28);
  } else {
    Put(0x80, 8);
    Put(static_cast<uint32_t>(level + 256), 8);
    Consume(28);
  }
}

void HuffmanSectionWriter::StartBlock(int dcDifference) {
  Check();
  PutDc(dcDifference);
}

void HuffmanSectionWriter::Block(int dcDifference, const std::vector<std::pair<int, int>>& ac) {
  StartBlock(dcDifference);
  int position = 0;
  for (const auto& [run, level] : ac) {
    PutAc(run, level);
    position += run + 1;
  }
  if (position == 63) {
    Put(0x2, 2);  // the decoder skips these two bits without a check
    Consume(2);
  } else {
    EndOfBlock();
  }
}

void HuffmanSectionWriter::RawAc(uint32_t bits, int count) {
  Check();
  Put(bits, count);
  Consume(count);
}

void HuffmanSectionWriter::EndOfBlock() {
  Check();
  Put(kEndOfBlockCode, kEndOfBlockLength);
  Consume(kEndOfBlockLength);
}

std::vector<uint8_t> HuffmanSectionWriter::Finish() const {
  // Every bit used lies in the words the decoder loaded, so this only pads.
  std::vector<uint8_t> out(std::max<size_t>(readOffset_, (bits_.size() + 31) / 32 * 4), 0);
  for (size_t i = 0; i < bits_.size(); ++i) out[i / 8] |= static_cast<uint8_t>((bits_[i] == '1') << (7 - i % 8));
  out.resize(readOffset_);
  out.push_back(0xED);
  return out;
}

std::vector<uint8_t> KeyPlane(uint8_t coder, const std::vector<uint8_t>& stream) {
  std::vector<uint8_t> out(4 + stream.size(), 0);
  out[0] = coder;
  std::copy(stream.begin(), stream.end(), out.begin() + 4);
  return out;
}

namespace {

void PutLe16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}
void PutLe32(std::vector<uint8_t>& out, uint32_t value) {
  PutLe16(out, value & 0xFFFF);
  PutLe16(out, value >> 16);
}

std::vector<uint8_t> Header(uint16_t quality, uint16_t frameIndex, const uint32_t sizes[3]) {
  std::vector<uint8_t> out = {'T', 'E', 'S', 'T'};
  PutLe16(out, quality);
  PutLe16(out, frameIndex);
  for (int i = 0; i < 3; ++i) PutLe32(out, sizes[i]);
  return out;
}

}  // namespace

std::vector<uint8_t> KeyFrame(uint16_t quality, const std::vector<std::vector<uint8_t>>& planes) {
  uint32_t sizes[3] = {0, 0, 0};
  for (size_t i = 0; i < planes.size() && i < 3; ++i) sizes[i] = static_cast<uint32_t>(planes[i].size());
  std::vector<uint8_t> out = Header(quality, 0, sizes);
  for (const auto& plane : planes) out.insert(out.end(), plane.begin(), plane.end());
  return out;
}

std::vector<uint8_t> DeltaFrame(uint16_t quality, uint16_t frameIndex,
                                const std::vector<DeltaSectionInput>& sections) {
  std::vector<std::vector<uint8_t>> bodies;
  uint32_t offset = 20;
  uint32_t sizes[3] = {0, 0, 0};
  for (size_t i = 0; i < sections.size() && i < 3; ++i) {
    const DeltaSectionInput& section = sections[i];
    std::vector<uint8_t> body;
    const uint32_t maskOffset = offset + 16 + static_cast<uint32_t>(section.stream.size());
    PutLe32(body, section.coded ? maskOffset : 0);
    PutLe16(body, static_cast<uint32_t>(section.mask.size()));
    body.push_back(section.fdTag ? 'F' : 0);
    body.push_back(section.fdTag ? 'D' : 0);
    PutLe32(body, section.coded ? 1 : 0);
    body.push_back(section.coder);
    body.push_back(section.maskStorage);
    PutLe16(body, 0);
    if (section.coded) {
      body.insert(body.end(), section.stream.begin(), section.stream.end());
      body.insert(body.end(), section.mask.begin(), section.mask.end());
    }
    sizes[i] = static_cast<uint32_t>(body.size());
    offset += sizes[i];
    bodies.push_back(std::move(body));
  }
  std::vector<uint8_t> out = Header(quality, frameIndex, sizes);
  for (const auto& body : bodies) out.insert(out.end(), body.begin(), body.end());
  return out;
}

std::vector<uint8_t> RawMask(int blocksPerRow, int blockRows,
                             const std::vector<std::pair<int, int>>& codedBlocks) {
  const int wordsPerRow = (blocksPerRow + 31) / 32;
  std::vector<uint8_t> mask(static_cast<size_t>(4 * wordsPerRow * blockRows), 0);
  for (const auto& [row, column] : codedBlocks) {
    const size_t byte = static_cast<size_t>(4 * wordsPerRow * row + column / 8);
    mask[byte] |= static_cast<uint8_t>(1 << (column % 8));
  }
  return mask;
}

}  // namespace zdc::test
