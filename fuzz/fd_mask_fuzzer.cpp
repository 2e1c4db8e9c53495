// The FD mask decoder on hostile data.
//
// Input: byte 0 wordsPerRow - 1 (modulo 8), byte 1 blockRows - 1 (modulo 96),
// byte 2 maskOffset; the rest is the sample, in a heap block of exactly its
// length. The work area and the mask are heap blocks of exactly the
// blockRows x wordsPerRow words the decoder writes.
//
// Checks: reads stay inside the sample (AddressSanitizer; consuming a bit
// outside it throws SampleOverrun, the defined outcome) and writes inside
// the two buffers; the first data word and the top bit of the second carry
// nothing; the mask is every byte written. Round trip: the mask, coded by
// the encoder, decodes to the same mask.
#include <cstdint>
#include <vector>

#include "exact_buffer.h"
#include "fuzz_bytes.h"
#include "fuzz_check.h"
#include "mask_codings.h"
#include "mask_encoders.h"

namespace zdc::fuzz {
namespace {

struct Result {
  bool overran = false;
  std::vector<uint8_t> mask;
};

Result Decode(const SampleView& sample, uint32_t maskOffset, uint32_t wordsPerRow,
              uint32_t blockRows, uint8_t fill) {
  static FdCodeTables tables;
  static const bool built = (BuildFdCode(&tables), true);
  (void)built;
  const size_t bytes = static_cast<size_t>(wordsPerRow) * blockRows * 4;
  ExactBuffer work(bytes, fill), mask(bytes, fill);
  Result result;
  try {
    DecodeFdMask(sample, maskOffset, wordsPerRow, blockRows, tables, work.data(), mask.data());
  } catch (const SampleOverrun&) {
    result.overran = true;
  }
  result.mask.assign(mask.data(), mask.data() + bytes);
  return result;
}

}  // namespace
}  // namespace zdc::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zdc;
  using namespace zdc::fuzz;
  FuzzBytes bytes(data, size);
  const uint32_t wordsPerRow = 1 + bytes.Byte() % 8;
  const uint32_t blockRows = 1 + bytes.Byte() % 96;
  const uint32_t maskOffset = bytes.Byte();
  ExactBuffer sample(bytes.Here(), bytes.Remaining());
  const SampleView view(sample.data(), sample.size32());

  const Result result = Decode(view, maskOffset, wordsPerRow, blockRows, 0x00);
  if (result.overran) return 0;
  ZDC_FUZZ_CHECK(Decode(view, maskOffset, wordsPerRow, blockRows, 0xFF).mask == result.mask,
                 "every byte of the mask is written");

  // The bits that carry nothing: the whole first word, the top bit of the
  // second (little-endian, so bit 7 of its last byte).
  std::vector<uint8_t> changed(sample.data(), sample.data() + sample.size());
  for (uint32_t i = 0; i < 4; ++i) {
    if (maskOffset + i < changed.size()) changed[maskOffset + i] ^= 0xFF;
  }
  if (maskOffset + 7 < changed.size()) changed[maskOffset + 7] ^= 0x80;
  ExactBuffer changedSample(changed.data(), changed.size());
  const Result same = Decode(SampleView(changedSample.data(), changedSample.size32()), maskOffset,
                             wordsPerRow, blockRows, 0x00);
  ZDC_FUZZ_CHECK(!same.overran && same.mask == result.mask,
                 "the first word and the second word's top bit are not read");

  const std::vector<uint8_t> coded = EncodeFdMask(result.mask.data(), wordsPerRow, blockRows);
  ExactBuffer again(coded.data(), coded.size());
  const Result round =
      Decode(SampleView(again.data(), again.size32()), 0, wordsPerRow, blockRows, 0x5A);
  ZDC_FUZZ_CHECK(!round.overran, "the encoder's data holds every bit the decoder consumes");
  ZDC_FUZZ_CHECK(round.mask == result.mask, "the round trip gives the same mask");
  return 0;
}
