// The Huffman coefficient decoder on hostile data: BeginSection, DecodeBlock
// until a block fails or the data runs out, then EndSection.
//
// Input: byte 0 bit 0 luminance, bit 1 delta; byte 1 the read offset the
// section starts at; the rest is the sample, in a heap block of exactly its
// length.
//
// Checks: reads stay inside the sample (AddressSanitizer; leaving it throws
// SampleOverrun, the defined outcome); the read offset never moves backwards
// or past the sample, and a failed block leaves it where the last good block
// did; every coefficient of a block is written and nothing carries over from
// one section to the next (a second pass of the same decoder, its blocks
// starting out with another fill, gives the same blocks). Then a round trip:
// the good blocks, coded again by the encoder, decode to the same blocks, and
// the decoder's end step stands exactly at the end of the encoder's stream.
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "coefficient_blocks.h"
#include "exact_buffer.h"
#include "fuzz_bytes.h"
#include "fuzz_check.h"
#include "huffman_decoder.h"
#include "huffman_encoder.h"

namespace zdc::fuzz {
namespace {

struct Decoded {
  std::vector<Block> blocks;
  bool overran = false;
  uint32_t endOffset = 0;  // after EndSection, when the data did not run out
};

Decoded DecodeAll(HuffmanDecoder& decoder, const SampleView& sample, uint32_t start, bool luminance,
                  bool delta, size_t maxBlocks, int16_t fill) {
  Decoded decoded;
  BlockBuffer block;
  uint32_t offset = start;
  try {
    decoder.BeginSection(sample, &offset, luminance, delta);
    ZDC_FUZZ_CHECK(offset == start + 8, "BeginSection loads 8 bytes");
    while (decoded.blocks.size() < maxBlocks) {
      const uint32_t before = offset;
      block.Fill(fill);
      if (!decoder.DecodeBlock(block.data())) {
        ZDC_FUZZ_CHECK(offset == before, "a failed block leaves the read offset alone");
        break;
      }
      ZDC_FUZZ_CHECK(offset >= before && offset <= sample.size(),
                     "the read offset moves forward inside the sample");
      decoded.blocks.push_back(block.Copy());
    }
    const uint32_t before = offset;
    decoder.EndSection();
    ZDC_FUZZ_CHECK(offset > before && offset - before <= 9, "the end step looks nine bytes ahead");
    decoded.endOffset = offset;
  } catch (const SampleOverrun&) {
    decoded.overran = true;
  }
  return decoded;
}

}  // namespace
}  // namespace zdc::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zdc;
  using namespace zdc::fuzz;
  FuzzBytes bytes(data, size);
  const uint8_t flags = bytes.Byte();
  const bool luminance = (flags & 1) != 0, delta = (flags & 2) != 0;
  const uint32_t start = bytes.Byte();
  ExactBuffer sample(bytes.Here(), bytes.Remaining());
  const SampleView view(sample.data(), sample.size32());
  // One decoder for every pass: each section must start afresh, whatever
  // the one before left behind.
  HuffmanDecoder decoder;
  const Decoded decoded = DecodeAll(decoder, view, start, luminance, delta, kMaxBlocks, 0x5A5A);
  const Decoded other = DecodeAll(decoder, view, start, luminance, delta, kMaxBlocks, -0x2BCD);
  ZDC_FUZZ_CHECK(other.blocks == decoded.blocks && other.overran == decoded.overran &&
                     other.endOffset == decoded.endOffset,
                 "decoding depends on the data alone, and every coefficient is written");

  HuffmanEncoder encoder;
  encoder.BeginSection(luminance, delta);
  try {
    for (const Block& block : decoded.blocks) encoder.EncodeBlock(block.data());
  } catch (const std::out_of_range&) {
    return 0;  // a key DC that wrapped around 16 bits has no code of its own
  }
  const std::vector<uint8_t> stream = encoder.Finish();
  ExactBuffer again(stream.data(), stream.size());
  const Decoded redecoded = DecodeAll(decoder, SampleView(again.data(), again.size32()), 0,
                                      luminance, delta, decoded.blocks.size(), 0);
  ZDC_FUZZ_CHECK(!redecoded.overran, "the encoder's stream holds every byte the decoder reads");
  ZDC_FUZZ_CHECK(redecoded.blocks == decoded.blocks, "re-coded blocks decode to the same blocks");
  ZDC_FUZZ_CHECK(redecoded.endOffset == stream.size(), "the end step stops at the end byte");
  return 0;
}
