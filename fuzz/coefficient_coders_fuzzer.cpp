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
#include <algorithm>
#include <cstdint>
#include <vector>

#include "arithmetic_decoder.h"
#include "fuzz_support.h"
#include "huffman_decoder.h"

namespace zdc::fuzz {
namespace {

constexpr size_t kMaxBlocks = 256;

struct Coders {
  bool luminance, delta, arithmetic;
  HuffmanDecoder huffman;
  ArithmeticDecoder qm;
};

// The coefficients of the blocks decoded, then how the section ended (0 all
// blocks out, 1 a failed block, 2 read past the sample) and where the reads
// stopped.
std::vector<int32_t> DecodeAll(Coders& c, const uint8_t* data, size_t size, uint32_t start,
                               int16_t fill) {
  guarded::Input sample(data, size);
  const SampleView view(sample.data(), sample.size32());
  std::vector<int32_t> decoded;
  int32_t ending = 0;
  uint32_t offset = start;
  try {
    if (c.arithmetic) {
      c.qm.BeginSection(view, &offset, c.delta);
    } else {
      c.huffman.BeginSection(view, &offset, c.luminance, c.delta);
    }
    guarded::Area area(64 * sizeof(int16_t), 5);
    int16_t* block = reinterpret_cast<int16_t*>(area.Allow(0, 64 * sizeof(int16_t), 1, 0));
    for (size_t blocks = 0; blocks < kMaxBlocks; ++blocks) {
      const uint32_t before = offset;
      std::fill(block, block + 64, fill);
      const bool good = c.arithmetic ? c.qm.DecodeBlock(block) : c.huffman.DecodeBlock(block);
      ZDC_FUZZ_CHECK(area.Intact(), "nothing is written outside the block");
      if (!good) {
        ZDC_FUZZ_CHECK(offset == before, "a failed block leaves the read offset alone");
        ending = 1;
        break;
      }
      ZDC_FUZZ_CHECK(offset >= before && offset <= size,
                     "the read offset moves forward inside the sample");
      decoded.insert(decoded.end(), block, block + 64);
    }
    if (!c.arithmetic) c.huffman.EndSection();
  } catch (const SampleOverrun&) {
    ending = 2;
  }
  decoded.push_back(ending);
  decoded.push_back(static_cast<int32_t>(offset));
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
