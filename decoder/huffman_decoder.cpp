#include "huffman_decoder.h"

#include <cstring>
#include <utility>

#include "coefficient_block.h"
#include "huffman_tables.h"

namespace zdc {
namespace {

enum CodeKind : uint8_t { kRunLevel, kEndOfBlock, kEscape, kLongCode, kInvalid };

struct AcEntry {
  uint8_t kind;
  uint8_t run;
  uint8_t level;
  uint8_t length;  // code length without the sign bit
};

// AC codes are resolved by table lookup in two steps. The reference tables
// decode every code exactly as the code tables define it: the first, indexed
// by the next 8 bits, resolves every code that does not start with six zeros
// (all of them are at most 8 bits long); the codes that do are 10 to 16 bits
// long and are resolved by the second table, indexed by the 10 bits after the
// six zeros. Patterns with twelve leading zeros are not codes.
//
// The fast table is derived from them: indexed by the next 11 bits, it holds
// every run/level code that fits in 11 bits together with its sign bit (all
// codes up to 10 bits long, which is nearly every code of a real stream),
// and when the code that follows fits in the rest of the 11 bits, that one
// too, so that one lookup often yields two coefficients: the length of each
// code is a step in the chain of dependent lookups that sets the pace of the
// decoder. The end of block is there too, alone or after a code. The other
// entries have length 0 and send the decoder to the reference tables: the
// escape and the longer codes.
constexpr int kFastBits = 11;

}  // namespace

struct HuffmanAcTables {
  AcEntry first[256];
  AcEntry longCodes[1024];
  // See FastEntry below.
  uint64_t fast[1 << kFastBits];
};

namespace {

using AcTables = HuffmanAcTables;

// A fast entry, 64 bits:
//   bits 0..4    length of all it decodes, sign bits included (0: not here)
//   bits 8..12   length of the first code with its sign
//   bits 16..22  step from position k to the first coefficient: its run, or
//                64 for an end of block in first place (the whole entry is
//                then kFastEndOfBlock), which takes every position past the
//                block's end so that it leaves through the position test
//   bits 24..30  step from the first coefficient to the second: its run + 1;
//                0 when no second code fits (the first is then written
//                twice); kStepToEnd when an end of block follows the first
//   bits 32..47  the first level, signed; bits 48..63 the second
struct FastEntry {
  static constexpr uint64_t Make(uint32_t length, uint32_t firstLength, uint32_t firstStep,
                                 uint32_t secondStep, int32_t firstLevel, int32_t secondLevel) {
    return uint64_t{length} | uint64_t{firstLength} << 8 | uint64_t{firstStep} << 16 |
           uint64_t{secondStep} << 24 | uint64_t{static_cast<uint16_t>(firstLevel)} << 32 |
           uint64_t{static_cast<uint16_t>(secondLevel)} << 48;
  }
  static uint32_t Length(uint64_t e) { return e & 0x1F; }
  static uint32_t FirstLength(uint64_t e) { return (e >> 8) & 0x1F; }
  static uint32_t FirstStep(uint64_t e) { return (e >> 16) & 0x7F; }
  static uint32_t SecondStep(uint64_t e) { return (e >> 24) & 0x7F; }
  static int16_t FirstLevel(uint64_t e) { return static_cast<int16_t>(e >> 32); }
  static int16_t SecondLevel(uint64_t e) { return static_cast<int16_t>(e >> 48); }
};
constexpr uint32_t kStepToEnd = 64;
constexpr uint64_t kFastEndOfBlock = FastEntry::Make(2, 2, kStepToEnd, 0, 0, 0);

// DC size tables, indexed by the next 8 bits: size in the low byte, code
// length in the high byte.
struct DcTables {
  uint16_t luminance[256];
  uint16_t chrominance[256];
};

void FillDcTable(uint16_t table[256], const DcSizeCode codes[9], uint8_t fullPattern,
                 uint8_t fullLength) {
  for (int size = 0; size < 9; ++size) {
    const int shift = 8 - codes[size].length;
    for (int low = 0; low < (1 << shift); ++low) {
      table[(codes[size].code << shift) | low] =
          static_cast<uint16_t>(codes[size].length << 8 | size);
    }
  }
  const int shift = 8 - fullLength;
  for (int low = 0; low < (1 << shift); ++low) {
    table[(fullPattern << shift) | low] = static_cast<uint16_t>(fullLength << 8 | 8);
  }
}

DcTables BuildDcTables() {
  DcTables tables{};
  FillDcTable(tables.luminance, kDcSizeLuminance, 0x7F, 7);
  FillDcTable(tables.chrominance, kDcSizeChrominance, 0xFF, 8);
  return tables;
}

AcTables BuildAcTables() {
  AcTables tables;
  for (AcEntry& e : tables.first) e = {kInvalid, 0, 0, 0};
  for (AcEntry& e : tables.longCodes) e = {kInvalid, 0, 0, 0};
  for (int low = 0; low < 64; ++low) tables.first[0x80 | low] = {kEndOfBlock, 0, 0, 2};
  for (int low = 0; low < 4; ++low) tables.first[0x04 | low] = {kEscape, 0, 0, 6};
  for (int low = 0; low < 4; ++low) tables.first[low] = {kLongCode, 0, 0, 0};
  for (const DctCoeffCode& c : kDctCoeffNext) {
    const AcEntry entry = {kRunLevel, c.run, c.level, c.length};
    if (c.length <= 8) {
      const int shift = 8 - c.length;
      for (int low = 0; low < (1 << shift); ++low) tables.first[(c.code << shift) | low] = entry;
    } else {
      // 16-bit window; the six leading zeros are dropped from the index.
      const int shift = 16 - c.length;
      for (int low = 0; low < (1 << shift); ++low) {
        tables.longCodes[((c.code << shift) | low) & 0x3FF] = entry;
      }
    }
  }
  // Every fast entry is what the reference tables give for those 11 bits.
  auto resolve = [&tables](uint32_t window) {  // the next 16 bits
    const AcEntry entry = tables.first[window >> 8];
    return entry.kind == kLongCode ? tables.longCodes[window & 0x3FF] : entry;
  };
  auto signedLevel = [](const AcEntry& entry, uint32_t window) {
    const bool negative = (window >> (15 - entry.length)) & 1;
    return negative ? -int32_t{entry.level} : int32_t{entry.level};
  };
  for (uint32_t index = 0; index < (1u << kFastBits); ++index) {
    const uint32_t window = index << (16 - kFastBits);
    const AcEntry first = resolve(window);
    uint64_t fast = 0;
    if (first.kind == kEndOfBlock) {
      fast = kFastEndOfBlock;
    } else if (first.kind == kRunLevel && first.length + 1u <= kFastBits) {
      const uint32_t firstLength = first.length + 1u;
      const int32_t level = signedLevel(first, window);
      fast = FastEntry::Make(firstLength, firstLength, first.run, 0, level, level);
      // The bits after the first code; those past the index are unknown (0),
      // so a second code counts only if it ends within the known ones.
      const uint32_t known = kFastBits - firstLength;
      const uint32_t rest = (window << firstLength) & 0xFFFF;
      const AcEntry second = resolve(rest);
      if (second.kind == kEndOfBlock && second.length <= known) {
        fast = FastEntry::Make(firstLength + second.length, firstLength, first.run, kStepToEnd,
                               level, level);
      } else if (second.kind == kRunLevel && second.length + 1u <= known) {
        fast = FastEntry::Make(firstLength + second.length + 1u, firstLength, first.run,
                               second.run + 1u, level, signedLevel(second, rest));
      }
    }
    tables.fast[index] = fast;
  }
  return tables;
}

const AcTables& Ac() {
  static const AcTables tables = BuildAcTables();
  return tables;
}

const DcTables& Dc() {
  static const DcTables tables = BuildDcTables();
  return tables;
}

// Zeroes the 64 coefficients as sixteen separate 8-byte stores, which the
// compiler merges into vector stores where it has them. A memset or a loop
// of this size becomes a string instruction whose start-up cost is a good
// part of a whole block's decoding time.
template <int... kWord>
inline void ClearWords(int16_t* block, std::integer_sequence<int, kWord...>) {
  const uint64_t zero = 0;
  (std::memcpy(block + 4 * kWord, &zero, sizeof zero), ...);
}

inline void ClearBlock(int16_t* block) {
  ClearWords(block, std::make_integer_sequence<int, kBlockCoefficients / 4>{});
}

}  // namespace

void HuffmanDecoder::BeginSection(const SampleView& sample, uint32_t* readOffset, bool luminance,
                                  bool delta) {
  sample_ = sample;
  readOffset_ = readOffset;
  dcSizeTable_ = luminance ? Dc().luminance : Dc().chrominance;
  dcPredictor_ = 128;
  consumed_ = 0;
  delta_ = delta;
  acTables_ = &Ac();
  bits_ = sample.Be64(*readOffset);
  *readOffset += 8;
}

bool HuffmanDecoder::DecodeBlock(int16_t* block) {
  return delta_ ? DecodeBlockImpl<true>(block) : DecodeBlockImpl<false>(block);
}

template <bool kDelta>
bool HuffmanDecoder::DecodeBlockImpl(int16_t* block) {
  const AcTables& ac = *acTables_;
  uint64_t bits = bits_;
  uint32_t consumed = consumed_;
  uint32_t offset = *readOffset_;

  // At most one 32-bit word per check; afterwards at least 32 bits are
  // buffered, enough for the longest code (28 bits) and what follows it
  // without a check (a sign bit or the end-of-block skip).
  auto refill = [&] {
    if (consumed >= 32) {
      const uint64_t word = sample_.Be32(offset);
      offset += 4;
      consumed -= 32;
      bits |= word << consumed;
    }
  };
  auto consume = [&](uint32_t n) {
    bits <<= n;
    consumed += n;
  };

  ClearBlock(block);

  refill();
  // The DC difference without branches (size 0 and the sign are as
  // unpredictable as the picture): the size's bits follow its code, and a
  // value whose top bit is 0 stands for value - (2^size - 1).
  const uint16_t dcEntry = dcSizeTable_[bits >> 56];
  const uint32_t codeLength = dcEntry >> 8;
  const uint32_t size = dcEntry & 0xFF;
  const int32_t value = static_cast<int32_t>(((bits << codeLength) >> 1) >> (63 - size));
  const int32_t full = (1 << size) - 1;
  const int32_t negative = value < ((full + 1) >> 1) ? -1 : 0;  // never for size 0
  const int32_t difference = value - (full & negative);
  consume(codeLength + size);
  if (kDelta) {
    block[0] = static_cast<int16_t>(-difference);
  } else {
    dcPredictor_ = static_cast<int16_t>(dcPredictor_ - difference);
    block[0] = dcPredictor_;
  }

  // One refill check per lookup. The common codes and the end of block come
  // out of the fast table whole, often two at a time; the escape and the
  // long codes take the reference tables. The check that belongs before the
  // second code of a pair is left to the next lookup's, which then loads the
  // word it would have loaded (at most one is ever due, and the buffer has
  // room); only where no lookup follows, at the block's end, is it made on
  // the spot.
  const uint64_t* const fast = ac.fast;
  uint32_t k = 1;
  for (;;) {
    refill();
    const uint64_t e = fast[bits >> (64 - kFastBits)];
    const uint32_t length = FastEntry::Length(e);
    if (length != 0) {
      const uint32_t p = k + FastEntry::FirstStep(e);
      if (p > 63) {
        if (e != kFastEndOfBlock) return false;
        consume(2);
        break;
      }
      block[kZigzag[p]] = FastEntry::FirstLevel(e);
      const uint32_t q = p + FastEntry::SecondStep(e);
      if (q >= 63) {
        // The block ends here (or fails). At position 63 the end of block
        // that follows is skipped unread. Otherwise a second code follows
        // the first, and the refill check that stands before every code is
        // made for it as well, so that the words read by the end of the
        // block, and a read past the sample, are the same as code by code.
        if (p == 63) {
          consume(FastEntry::FirstLength(e) + 2);
          break;
        }
        consume(FastEntry::FirstLength(e));
        refill();
        if (FastEntry::SecondStep(e) == kStepToEnd) {
          consume(2);
          break;
        }
        if (q > 63) return false;  // the second code runs past the block
        block[kZigzag[63]] = FastEntry::SecondLevel(e);
        consume(length - FastEntry::FirstLength(e) + 2);
        break;
      }
      block[kZigzag[q]] = FastEntry::SecondLevel(e);
      consume(length);
      k = q + 1;
      continue;
    }

    const uint32_t top = static_cast<uint32_t>(bits >> 32);
    AcEntry entry = ac.first[top >> 24];
    uint32_t run;
    int32_t level;
    uint32_t codeLength;
    switch (entry.kind) {
      case kEscape: {
        run = (top >> 20) & 63;
        const uint32_t l = (top >> 12) & 0xFF;
        const uint32_t b = (top >> 4) & 0xFF;
        if (l == 0x00) {
          level = static_cast<int32_t>(b);
          codeLength = 28;
        } else if (l == 0x80) {
          level = b == 0 ? 128 : b <= 128 ? static_cast<int32_t>(b) - 256 : static_cast<int32_t>(b);
          codeLength = 28;
        } else {
          level = static_cast<int8_t>(l);
          codeLength = 20;
        }
        break;
      }
      case kLongCode:
        entry = ac.longCodes[(top >> 16) & 0x3FF];
        if (entry.kind == kInvalid) return false;
        [[fallthrough]];
      default:
        run = entry.run;
        codeLength = entry.length + 1u;
        level = ((top >> (32 - codeLength)) & 1) ? -int32_t{entry.level} : int32_t{entry.level};
        break;
    }
    const uint32_t p = k + run;
    if (p > 63) return false;
    block[kZigzag[p]] = static_cast<int16_t>(level);
    consume(codeLength);
    if (p == 63) {
      consume(2);
      break;
    }
    k = p + 1;
  }
  bits_ = bits;
  consumed_ = consumed;
  *readOffset_ = offset;
  return true;
}

void HuffmanDecoder::EndSection() {
  const uint32_t q = *readOffset_;
  for (uint32_t j = 0; j <= 8; ++j) {
    if (sample_.Byte(q + j) == 0xED) {
      *readOffset_ = q + j + 1;
      return;
    }
  }
  *readOffset_ = q + 9;
}

}  // namespace zdc
