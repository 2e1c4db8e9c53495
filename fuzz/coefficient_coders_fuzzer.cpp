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
// sample, and a failed block leaves it alone; a failed arithmetic section
// stays failed; the Huffman start loads 8 bytes and its end step looks at
// most nine ahead; every coefficient is written and nothing carries over from
// one section to the next (a second pass of the same decoder, its blocks
// starting out otherwise, gives the same blocks). Round trip: the good blocks,
// coded by the encoder, decode to the same blocks, ending exactly at the end
// of the encoder's stream.
#include <array>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "arithmetic_decoder.h"
#include "arithmetic_encoder.h"
#include "fuzz_support.h"
#include "huffman_decoder.h"
#include "huffman_encoder.h"

namespace zdc::fuzz {
namespace {

constexpr size_t kMaxBlocks = 256;
using Block = std::array<int16_t, 64>;

struct Coders {
  bool luminance, delta, arithmetic;
  HuffmanDecoder huffman;
  ArithmeticDecoder qm;
};

struct Decoded {
  std::vector<Block> blocks;
  bool failed = false, overran = false;
  uint32_t endOffset = 0;
  bool operator==(const Decoded& o) const {
    return blocks == o.blocks && failed == o.failed && overran == o.overran &&
           endOffset == o.endOffset;
  }
};

Decoded DecodeAll(Coders& c, const uint8_t* data, size_t size, uint32_t start, size_t maxBlocks,
                  int16_t fill) {
  guarded::Input sample(data, size);
  const SampleView view(sample.data(), sample.size32());
  Decoded decoded;
  uint32_t offset = start;
  try {
    if (c.arithmetic) {
      c.qm.BeginSection(view, &offset, c.delta);
      ZDC_FUZZ_CHECK(offset == start, "the arithmetic start reads nothing");
    } else {
      c.huffman.BeginSection(view, &offset, c.luminance, c.delta);
      ZDC_FUZZ_CHECK(offset == start + 8, "the Huffman start loads 8 bytes");
    }
    guarded::Area area(sizeof(Block), 5);
    int16_t* block = reinterpret_cast<int16_t*>(area.Allow(0, sizeof(Block), 1, 0));
    while (decoded.blocks.size() < maxBlocks) {
      const uint32_t before = offset;
      std::fill(block, block + 64, fill);
      const bool good = c.arithmetic ? c.qm.DecodeBlock(block) : c.huffman.DecodeBlock(block);
      CheckIntact(area, "coefficient block");
      if (!good) {
        ZDC_FUZZ_CHECK(offset == before, "a failed block leaves the read offset alone");
        decoded.failed = true;
        ZDC_FUZZ_CHECK(!c.arithmetic || !c.qm.DecodeBlock(block), "a failed section stays failed");
        ZDC_FUZZ_CHECK(offset == before, "a failed section reads nothing more");
        break;
      }
      ZDC_FUZZ_CHECK(offset >= before && offset <= size,
                     "the read offset moves forward inside the sample");
      decoded.blocks.emplace_back();
      std::copy(block, block + 64, decoded.blocks.back().begin());
    }
    if (!c.arithmetic) {
      const uint32_t before = offset;
      c.huffman.EndSection();
      ZDC_FUZZ_CHECK(offset > before && offset - before <= 9, "the end step looks nine ahead");
    }
  } catch (const SampleOverrun&) {
    decoded.overran = true;
  }
  decoded.endOffset = offset;
  return decoded;
}

std::vector<uint8_t> Encode(const Coders& c, const std::vector<Block>& blocks) {
  if (c.arithmetic) {
    ArithmeticEncoder encoder;
    encoder.BeginSection(c.delta);
    for (const Block& block : blocks) {
      ZDC_FUZZ_CHECK(encoder.EncodeBlock(block.data()), "an open section takes every block");
    }
    return encoder.Finish();
  }
  HuffmanEncoder encoder;
  encoder.BeginSection(c.luminance, c.delta);
  for (const Block& block : blocks) encoder.EncodeBlock(block.data());
  return encoder.Finish();
}

}  // namespace
}  // namespace zdc::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zdc::fuzz;
  FuzzBytes bytes(data, size);
  const uint8_t flags = bytes.Byte();
  // One set of decoders for every pass: each section must start afresh.
  Coders c{(flags & 1) != 0, (flags & 2) != 0, (flags & 4) != 0, {}, {}};
  const uint32_t start = bytes.Byte();
  const Decoded decoded = DecodeAll(c, bytes.Here(), bytes.Remaining(), start, kMaxBlocks, 0x5A5A);
  ZDC_FUZZ_CHECK(
      DecodeAll(c, bytes.Here(), bytes.Remaining(), start, kMaxBlocks, -0x2BCD) == decoded,
      "decoding depends on the data alone, and every coefficient is written");

  std::vector<uint8_t> stream;
  try {
    stream = Encode(c, decoded.blocks);
  } catch (const std::out_of_range&) {
    return 0;  // a key DC that wrapped around 16 bits has no Huffman code
  }
  const Decoded again = DecodeAll(c, stream.data(), stream.size(), 0, decoded.blocks.size(), 0);
  ZDC_FUZZ_CHECK(!again.overran, "the encoder's stream holds every byte the decoder reads");
  ZDC_FUZZ_CHECK(!c.arithmetic || !again.failed, "re-coded blocks decode without failure");
  ZDC_FUZZ_CHECK(again.blocks == decoded.blocks, "re-coded blocks decode to the same blocks");
  ZDC_FUZZ_CHECK(again.endOffset == stream.size(),
                 "the decoder stops exactly at the end of the encoder's stream");
  return 0;
}
