// Builds compressed frames by hand for decoder tests: Huffman-coded sections
// placed exactly as the decoder reads them, key frames and delta frames with
// their headers.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include <string>

namespace zdc::test {

// One Huffman-coded plane or section. Tracks the decoder's read schedule (an
// 8-byte start, then one 32-bit word whenever 32 or more bits are used at the
// start of a block or before an AC code), so that Finish() can put the end
// byte exactly where the decoder's read offset stands after the last block.
class HuffmanSectionWriter {
 public:
  explicit HuffmanSectionWriter(bool luminance) : luminance_(luminance) {}

  // A block: its DC difference d (coded with the DC size code and d's bits)
  // and its AC coefficients as (run, level) pairs in scan order. Levels that
  // have a code use it, the others an escape. `endOfBlock` false leaves the
  // end-of-block code out (for a block whose last coefficient is at 63, the
  // writer puts two filler bits instead, which the decoder skips unread).
  void Block(int dcDifference, const std::vector<std::pair<int, int>>& ac = {});
  // A block built by hand: its DC, then raw AC bits (each RawAc call is one
  // code, checked for a refill first like the decoder does), then EndOfBlock.
  void StartBlock(int dcDifference);
  void RawAc(uint32_t bits, int count);
  void EndOfBlock();

  // The stream padded to the decoder's final read offset, then the end byte.
  std::vector<uint8_t> Finish() const;

  // Where the decoder's read offset stands after the blocks written so far.
  uint32_t ReadOffset() const { return readOffset_; }

 private:
  void Check();
  void Consume(int count) { consumed_ += count; }
  void PutDc(int difference);
  void PutAc(int run, int level);

  bool luminance_;
  void Put(uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) bits_ += (value >> i & 1) ? '1' : '0';
  }
  std::string bits_;  // the stream so far, one character per bit
  uint32_t consumed_ = 0;   // bits used since the last word load, as the decoder counts them
  uint32_t readOffset_ = 8;
};

// DC difference that moves a Huffman key predictor from `from` to `to`
// (the decoder subtracts the difference).
inline int KeyDcDifference(int from, int to) { return from - to; }

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
