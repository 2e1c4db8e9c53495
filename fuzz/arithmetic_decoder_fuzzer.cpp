// The arithmetic coefficient decoder on hostile data: BeginSection, then
// DecodeBlock until a block fails, the data runs out or kMaxBlocks blocks
// are out (after a marker the decoder reads nothing more and could go on for
// ever).
//
// Input: byte 0 bit 0 delta; byte 1 the read offset the section starts at;
// the rest is the sample, in a heap block of exactly its length.
//
// Checks: reads stay inside the sample (AddressSanitizer; leaving it throws
// SampleOverrun, the defined outcome); the read offset never moves backwards
// or past the sample, and a failed block leaves it where the last good block
// did; once a block has failed every further block fails too; every
// coefficient is written and nothing carries over from one section to the
// next (a second pass of the same decoder, its blocks starting out with
// another fill, gives the same blocks). Then a round trip: the good blocks,
// coded again by the encoder, decode to the same blocks and the read offset
// ends exactly at the end of the encoder's stream.
#include <cstdint>
#include <vector>

#include "arithmetic_decoder.h"
#include "arithmetic_encoder.h"
#include "coefficient_blocks.h"
#include "exact_buffer.h"
#include "fuzz_bytes.h"
#include "fuzz_check.h"

namespace zdc::fuzz {
namespace {

struct Decoded {
  std::vector<Block> blocks;
  bool failed = false;
  bool overran = false;
  uint32_t endOffset = 0;
};

Decoded DecodeAll(ArithmeticDecoder& decoder, const SampleView& sample, uint32_t start, bool delta,
                  size_t maxBlocks, int16_t fill) {
  Decoded decoded;
  BlockBuffer block;
  uint32_t offset = start;
  decoder.BeginSection(sample, &offset, delta);
  ZDC_FUZZ_CHECK(offset == start, "BeginSection reads nothing");
  try {
    while (decoded.blocks.size() < maxBlocks) {
      const uint32_t before = offset;
      block.Fill(fill);
      if (!decoder.DecodeBlock(block.data())) {
        ZDC_FUZZ_CHECK(offset == before, "a failed block leaves the read offset alone");
        decoded.failed = true;
        ZDC_FUZZ_CHECK(!decoder.DecodeBlock(block.data()), "a failed section stays failed");
        ZDC_FUZZ_CHECK(offset == before, "a failed section reads nothing more");
        break;
      }
      ZDC_FUZZ_CHECK(offset >= before && offset <= sample.size(),
                     "the read offset moves forward inside the sample");
      decoded.blocks.push_back(block.Copy());
    }
  } catch (const SampleOverrun&) {
    decoded.overran = true;
  }
  decoded.endOffset = offset;
  return decoded;
}

}  // namespace
}  // namespace zdc::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zdc;
  using namespace zdc::fuzz;
  FuzzBytes bytes(data, size);
  const bool delta = (bytes.Byte() & 1) != 0;
  const uint32_t start = bytes.Byte();
  ExactBuffer sample(bytes.Here(), bytes.Remaining());
  const SampleView view(sample.data(), sample.size32());
  // One decoder for every pass: each section must start afresh, whatever
  // the one before left behind.
  ArithmeticDecoder decoder;
  const Decoded decoded = DecodeAll(decoder, view, start, delta, kMaxBlocks, 0x5A5A);
  const Decoded other = DecodeAll(decoder, view, start, delta, kMaxBlocks, -0x2BCD);
  ZDC_FUZZ_CHECK(other.blocks == decoded.blocks && other.failed == decoded.failed &&
                     other.overran == decoded.overran && other.endOffset == decoded.endOffset,
                 "decoding depends on the data alone, and every coefficient is written");

  ArithmeticEncoder encoder;
  encoder.BeginSection(delta);
  for (const Block& block : decoded.blocks) {
    ZDC_FUZZ_CHECK(encoder.EncodeBlock(block.data()), "an open section takes every block");
  }
  const std::vector<uint8_t> stream = encoder.Finish();
  ExactBuffer again(stream.data(), stream.size());
  const Decoded redecoded = DecodeAll(decoder, SampleView(again.data(), again.size32()), 0, delta,
                                      decoded.blocks.size(), 0);
  ZDC_FUZZ_CHECK(!redecoded.overran, "the encoder's stream holds every byte the decoder reads");
  ZDC_FUZZ_CHECK(!redecoded.failed, "re-coded blocks decode without failure");
  ZDC_FUZZ_CHECK(redecoded.blocks == decoded.blocks, "re-coded blocks decode to the same blocks");
  ZDC_FUZZ_CHECK(redecoded.endOffset == stream.size(),
                 "the decoder stops exactly at the end of the encoder's stream");
  return 0;
}
