#include "stream_builder.h"

#include <algorithm>

namespace zdc::test {

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
