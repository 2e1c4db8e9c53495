// Builds compressed frames by hand for decoder tests: key frames and delta
// frames with their headers around sections given as bytes.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace zdc::test {

// A key-frame plane: the 4-byte PlaneHeader with `coder`, then `stream`.
std::vector<uint8_t> KeyPlane(uint8_t coder, const std::vector<uint8_t>& stream);

struct DeltaSectionInput {
  bool coded = true;
  uint8_t coder = 0;        // 0 Huffman, 1 arithmetic, other: none
  uint8_t maskStorage = 0;  // 0 uncoded, 1 LZW, 2 run-length
  bool fdTag = false;
  std::vector<uint8_t> stream;  // coefficient stream
  std::vector<uint8_t> mask;    // mask data as stored
};

// A whole frame. `sections` are key planes (bytes as given) or delta
// sections (laid out with the mask right after the stream). An empty
// optional section is written as size 0.
std::vector<uint8_t> KeyFrame(uint16_t quality, const std::vector<std::vector<uint8_t>>& planes);
std::vector<uint8_t> DeltaFrame(uint16_t quality, uint16_t frameIndex,
                                const std::vector<DeltaSectionInput>& sections);

// An uncoded BlockMask for a plane `blocksPerRow` wide from the coded
// block positions (row, column).
std::vector<uint8_t> RawMask(int blocksPerRow, int blockRows,
                             const std::vector<std::pair<int, int>>& codedBlocks);

}  // namespace zdc::test
