// The run-length mask decoder on hostile data.
//
// Input: bytes 0-1 the capacity of the mask buffer (1..8192), bytes 2-3
// maskSize, byte 4 maskOffset; the rest is the sample, in a heap block of
// exactly its length. The mask buffer is a heap block of exactly its
// capacity.
//
// Checks: reads stay inside the sample (AddressSanitizer; leaving it throws
// SampleOverrun, the defined outcome) and writes inside the mask buffer; an
// empty mask writes nothing; a smaller buffer receives a prefix of what a
// larger one does. Round trip: the buffer, coded by the encoder, decodes to
// the same bytes and no more, and the decoding ends at maskSize.
#include <algorithm>
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

Result Decode(const SampleView& sample, uint32_t maskOffset, uint32_t maskSize, uint32_t capacity,
              uint8_t fill) {
  ExactBuffer buffer(capacity, fill);
  Result result;
  try {
    DecodeRunLengthMask(sample, maskOffset, maskSize, buffer.data(), capacity);
  } catch (const SampleOverrun&) {
    result.overran = true;
  }
  result.mask.assign(buffer.data(), buffer.data() + capacity);
  return result;
}

}  // namespace
}  // namespace zdc::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zdc;
  using namespace zdc::fuzz;
  FuzzBytes bytes(data, size);
  const uint32_t capacity = 1 + bytes.Le16() % 8192;
  const uint32_t maskSize = bytes.Le16();
  const uint32_t maskOffset = bytes.Byte();
  ExactBuffer sample(bytes.Here(), bytes.Remaining());
  const SampleView view(sample.data(), sample.size32());

  const Result full = Decode(view, maskOffset, maskSize, capacity, 0);
  if (maskSize == 0) {
    ZDC_FUZZ_CHECK(!full.overran, "an empty mask reads nothing");
    ZDC_FUZZ_CHECK(
        std::all_of(full.mask.begin(), full.mask.end(), [](uint8_t b) { return b == 0; }),
        "an empty mask writes nothing");
  }
  if (!full.overran) {
    // Which bytes were written shows when the buffer starts out otherwise.
    const Result other = Decode(view, maskOffset, maskSize, capacity, 0xFF);
    uint32_t written = 0;
    while (written < capacity && (full.mask[written] != 0 || other.mask[written] != 0xFF))
      ++written;
    for (uint32_t i = written; i < capacity; ++i) {
      ZDC_FUZZ_CHECK(full.mask[i] == 0 && other.mask[i] == 0xFF,
                     "the mask is written from its start");
    }
    const uint32_t smaller = capacity / 2 + 1;
    const Result half = Decode(view, maskOffset, maskSize, smaller, 0);
    ZDC_FUZZ_CHECK(!half.overran, "a smaller buffer reads no further");
    ZDC_FUZZ_CHECK(std::equal(half.mask.begin(), half.mask.end(), full.mask.begin()),
                   "a smaller buffer receives a prefix");
  }

  // Into a buffer with room to spare, so that the data's end, not the
  // buffer's, ends the decoding: it stops exactly at maskSize.
  const std::vector<uint8_t> coded = EncodeRunLengthMask(full.mask.data(), full.mask.size());
  ExactBuffer again(coded.data(), coded.size());
  constexpr uint32_t kSpare = 16;
  const Result round = Decode(SampleView(again.data(), again.size32()), 0,
                              static_cast<uint32_t>(coded.size()), capacity + kSpare, 0x77);
  ZDC_FUZZ_CHECK(!round.overran, "the decoder reads no item from maskSize on");
  ZDC_FUZZ_CHECK(std::equal(full.mask.begin(), full.mask.end(), round.mask.begin()),
                 "the round trip gives the same bytes");
  ZDC_FUZZ_CHECK(std::all_of(round.mask.begin() + capacity, round.mask.end(),
                             [](uint8_t b) { return b == 0x77; }),
                 "the round trip writes no more bytes than it was given");
  return 0;
}
