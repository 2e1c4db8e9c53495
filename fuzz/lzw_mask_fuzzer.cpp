// The LZW mask decoder on hostile data.
//
// Input: bytes 0-1 the capacity of the mask buffer (1..8192), bytes 2-3
// maskSize, byte 4 maskOffset; the rest is the sample, in a heap block of
// exactly its length. The mask buffer is a heap block of exactly its
// capacity.
//
// Checks: reads stay inside the sample (AddressSanitizer; leaving it throws
// SampleOverrun, the defined outcome) and writes inside the mask buffer; the
// count returned is at most the capacity, and the bytes past it are
// untouched; a smaller buffer receives a prefix of what a larger one does.
// Round trip: the bytes written, coded by the encoder, decode to the same
// bytes.
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

constexpr uint8_t kFill = 0xC3;

struct Result {
  bool overran = false;
  uint32_t written = 0;
  std::vector<uint8_t> mask;  // the whole buffer
};

Result Decode(const SampleView& sample, uint32_t maskOffset, uint32_t maskSize, uint32_t capacity) {
  // A fresh decoder each time: entries a damaged stream names before it
  // defines them hold whatever an earlier mask left there.
  LzwMaskDecoder decoder;
  ExactBuffer buffer(capacity, kFill);
  Result result;
  try {
    result.written = decoder.Decode(sample, maskOffset, maskSize, buffer.data(), capacity);
    ZDC_FUZZ_CHECK(result.written <= capacity, "at most the capacity is written");
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

  const Result full = Decode(view, maskOffset, maskSize, capacity);
  if (!full.overran) {
    for (uint32_t i = full.written; i < capacity; ++i) {
      ZDC_FUZZ_CHECK(full.mask[i] == kFill, "nothing is written past the count returned");
    }
    // The same data into a smaller buffer: it stops when full, having written
    // the same first bytes (and it reads no further than the larger one).
    const uint32_t smaller = capacity / 2 + 1;
    const Result half = Decode(view, maskOffset, maskSize, smaller);
    ZDC_FUZZ_CHECK(!half.overran, "a smaller buffer reads no further");
    ZDC_FUZZ_CHECK(half.written == (full.written < smaller ? full.written : smaller),
                   "a smaller buffer takes as much as fits");
    ZDC_FUZZ_CHECK(
        std::equal(half.mask.begin(), half.mask.begin() + half.written, full.mask.begin()),
        "a smaller buffer receives a prefix");
  }

  // Round trip of what was written (all of it, also when the data ran out).
  uint32_t written = full.written;
  if (full.overran) {
    // The count is lost with the exception; the bytes up to the last one
    // that changed are certainly output.
    written = 0;
    for (uint32_t i = 0; i < capacity; ++i) {
      if (full.mask[i] != kFill) written = i + 1;
    }
  }
  const std::vector<uint8_t> coded = EncodeLzwMask(full.mask.data(), written);
  ExactBuffer again(coded.data(), coded.size());
  const Result round = Decode(SampleView(again.data(), again.size32()), 0,
                              static_cast<uint32_t>(coded.size()), written + 16);
  ZDC_FUZZ_CHECK(!round.overran, "the encoder's data holds every byte the decoder reads");
  ZDC_FUZZ_CHECK(round.written == written, "the round trip gives as many bytes");
  ZDC_FUZZ_CHECK(std::equal(round.mask.begin(), round.mask.begin() + written, full.mask.begin()),
                 "the round trip gives the same bytes");
  return 0;
}
