// The two coefficient decoders (Huffman, arithmetic) on hostile data:
// BeginSection, then DecodeBlock until a block fails, the data runs out or
// kMaxBlocks blocks are out (after a marker the arithmetic decoder reads
// nothing more and could go on for ever), then the Huffman EndSection.
//
// Input: byte 0 bit 0 luminance, bit 1 delta, bit 2 arithmetic; byte 1 the
// read offset the section starts at; the rest is the sample, flush against
// an inaccessible page. Each block is written into guard bands.
//
// Checks: reads stay inside the sample (leaving it throws SampleOverrun, the
// defined outcome); the read offset never moves backwards or past the
// sample, and a failed block leaves it alone; every coefficient is written
// and nothing carries over from one section to the next (a second pass of
// the same decoders, their blocks starting out otherwise, gives the same
// blocks). The coders' round trips are the unit tests'.
#include <array>
#include <cstdint>
#include <tuple>
#include <vector>

#include "arithmetic_decoder.h"
#include "fuzz_support.h"
#include "huffman_decoder.h"

namespace zdc::fuzz {
namespace {

constexpr size_t kMaxBlocks = 256;
using Block = std::array<int16_t, 64>;

struct Coders {
  bool luminance, delta, arithmetic;
  HuffmanDecoder huffman;
  ArithmeticDecoder qm;
};

// The blocks decoded, then how the section ended and where the reads stopped.
struct Decoded {
  std::vector<Block> blocks;
  int ending = 0;  // 0 all blocks out, 1 a failed block, 2 read past the sample
  uint32_t endOffset = 0;
  bool operator==(const Decoded& o) const {
    return std::tie(blocks, ending, endOffset) == std::tie(o.blocks, o.ending, o.endOffset);
  }
};

Decoded DecodeAll(Coders& c, const uint8_t* data, size_t size, uint32_t start, int16_t fill) {
  guarded::Input sample(data, size);
  const SampleView view(sample.data(), sample.size32());
  Decoded decoded;
  uint32_t offset = start;
  try {
    if (c.arithmetic) {
      c.qm.BeginSection(view, &offset, c.delta);
    } else {
      c.huffman.BeginSection(view, &offset, c.luminance, c.delta);
    }
    guarded::Area area(sizeof(Block), 5);
    int16_t* block = reinterpret_cast<int16_t*>(area.Allow(0, sizeof(Block), 1, 0));
    while (decoded.blocks.size() < kMaxBlocks) {
      const uint32_t before = offset;
      std::fill(block, block + 64, fill);
      const bool good = c.arithmetic ? c.qm.DecodeBlock(block) : c.huffman.DecodeBlock(block);
      ZDC_FUZZ_CHECK(area.Intact(), "nothing is written outside the block");
      if (!good) {
        ZDC_FUZZ_CHECK(offset == before, "a failed block leaves the read offset alone");
        decoded.ending = 1;
        break;
      }
      ZDC_FUZZ_CHECK(offset >= before && offset <= size,
                     "the read offset moves forward inside the sample");
      decoded.blocks.emplace_back();
      std::copy(block, block + 64, decoded.blocks.back().begin());
    }
    if (!c.arithmetic) c.huffman.EndSection();
  } catch (const SampleOverrun&) {
    decoded.ending = 2;
  }
  decoded.endOffset = offset;
  return decoded;
}

}  // namespace
}  // namespace zdc::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zdc::fuzz;
  FuzzBytes bytes(data, size);
  const uint8_t flags = bytes.Byte();
  // One set of decoders for both passes: each section must start afresh.
  Coders c{(flags & 1) != 0, (flags & 2) != 0, (flags & 4) != 0, {}, {}};
  const uint32_t start = bytes.Byte();
  ZDC_FUZZ_CHECK(DecodeAll(c, bytes.Here(), bytes.Remaining(), start, 0x5A5A) ==
                     DecodeAll(c, bytes.Here(), bytes.Remaining(), start, -0x2BCD),
                 "decoding depends on the data alone, and every coefficient is written");
  return 0;
}
