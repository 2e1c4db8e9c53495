// The three change-mask codings (LZW, run-length, FD) on hostile data.
//
// Input: byte 0 the coding (modulo 3: LZW, run-length, FD); bytes 1-2 the
// mask buffer's capacity - 1 modulo 8192 (FD: bits 0-2 wordsPerRow - 1, the
// rest blockRows - 1 modulo 96, the capacity being their words); bytes 3-4
// maskSize; byte 5 maskOffset; the rest is the sample, flush against an
// inaccessible page.
//
// Checks: reads stay inside the sample (leaving it throws SampleOverrun, the
// defined outcome) and writes inside the mask buffer (guard bands); the
// result depends on the data alone, not on what the buffer held; LZW returns
// at most the capacity and writes nothing past its count; FD writes every
// byte. The codings' round trips are the unit tests'.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "fuzz_support.h"
#include "mask_codings.h"

namespace zdc::fuzz {
namespace {

enum Coding { kLzw, kRunLength, kFd };

struct Params {
  Coding coding;
  uint32_t maskOffset, maskSize, capacity, wordsPerRow = 0, blockRows = 0;
};

struct Result {
  bool overran = false;
  uint32_t written = 0;  // LZW's count
  std::vector<uint8_t> mask;
};

Result Decode(const Params& p, const uint8_t* data, size_t size, uint8_t fill) {
  static FdCodeTables tables;
  [[maybe_unused]] static const bool built = (BuildFdCode(&tables), true);
  guarded::Input sample(data, size);
  const SampleView view(sample.data(), sample.size32());
  guarded::Area mask(p.capacity, fill), work(p.capacity, fill);
  uint8_t* out = mask.Allow(0, static_cast<int32_t>(p.capacity), 1, 0);
  uint8_t* scratch = work.Allow(0, static_cast<int32_t>(p.capacity), 1, 0);
  std::fill(out, out + p.capacity, fill);
  Result result;
  try {
    if (p.coding == kLzw) {
      LzwMaskDecoder decoder;  // fresh: entries named before defined hold older masks
      result.written = decoder.Decode(view, p.maskOffset, p.maskSize, out, p.capacity);
      ZDC_FUZZ_CHECK(result.written <= p.capacity, "at most the capacity is written");
    } else if (p.coding == kRunLength) {
      DecodeRunLengthMask(view, p.maskOffset, p.maskSize, out, p.capacity);
    } else {
      DecodeFdMask(view, p.maskOffset, p.wordsPerRow, p.blockRows, tables, scratch, out);
    }
  } catch (const SampleOverrun&) {
    result.overran = true;
  }
  ZDC_FUZZ_CHECK(mask.Intact() && work.Intact(), "nothing is written outside the buffers");
  result.mask = mask.Allowed();
  return result;
}

}  // namespace
}  // namespace zdc::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zdc;
  using namespace zdc::fuzz;
  FuzzBytes bytes(data, size);
  Params p{static_cast<Coding>(bytes.Byte() % 3), 0, 0, 0};
  const uint32_t shape = bytes.Le(2);
  p.capacity = 1 + shape % 8192;
  if (p.coding == kFd) {
    p.wordsPerRow = 1 + shape % 8;
    p.blockRows = 1 + (shape >> 3) % 96;
    p.capacity = p.wordsPerRow * p.blockRows * 4;
  }
  p.maskSize = bytes.Le(2);
  p.maskOffset = bytes.Byte();

  const Result full = Decode(p, bytes.Here(), bytes.Remaining(), 0x00);
  const Result other = Decode(p, bytes.Here(), bytes.Remaining(), 0xFF);
  ZDC_FUZZ_CHECK(other.overran == full.overran && other.written == full.written,
                 "decoding depends on the data alone");
  // The bytes written: where the two buffers agree, up to the last such byte.
  uint32_t written = 0;
  for (uint32_t i = 0; i < p.capacity; ++i) {
    if (full.mask[i] == other.mask[i]) written = i + 1;
  }
  if (p.coding == kLzw && !full.overran) {
    ZDC_FUZZ_CHECK(written <= full.written, "nothing is written past the count returned");
    written = full.written;
  }
  ZDC_FUZZ_CHECK(std::equal(full.mask.begin(), full.mask.begin() + written, other.mask.begin()),
                 "the mask is written from its start, whatever the buffer held");
  ZDC_FUZZ_CHECK(p.coding != kRunLength || p.maskSize != 0 || (!full.overran && written == 0),
                 "an empty run-length mask reads and writes nothing");
  ZDC_FUZZ_CHECK(p.coding != kFd || full.overran || written == p.capacity,
                 "FD writes every byte of the mask");
  return 0;
}
