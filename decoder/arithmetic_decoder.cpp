// QM arithmetic decoding of coefficient blocks.
//
// Registers (T.81 Annex D, decoder side, in the form that keeps the code
// register right-aligned):
//   code_      the code value; always below interval_ << ct_, so it stays
//              non-negative and below 2^23.
//   interval_  the interval size A, 16 bits of fraction (0x10000 = 1.0),
//              kept at or above 0x8000 between decisions by renormalisation.
//   ct_        how many bits code_ holds beyond the 16 that line up with
//              interval_: 0..7 between blocks, -16 before the first decision
//              of a section (so that it pulls two bytes), -1 once a block of
//              the section has failed.
//   unreadMarker_  0, or the byte after a 0xFF that was not a stuffed zero;
//              once set, the rest of the section is decoded from zero bytes.
//   position_  sample offset of the next byte to read.
//
// Statistics: one byte per bin, bit 7 the MPS, bits 0..6 the state index.
// DC bins (64): 0..19 are five groups of four (zero / sign / first magnitude
// decision for a positive and a negative difference) selected by the DC
// context 0, 4, 8, 12, 16; 20..34 the magnitude category ladder; 35..48 the
// magnitude bits. AC bins (272): three per scan position from 0 (end of block,
// zero run, first magnitude decision), the magnitude ladders at 189 (positions
// 1..5) and 217 (positions 6..63) with their magnitude bits 14 further on, and
// 245 the sign bin, reset before every use so it always codes with Qe 0x5A1D.
#include "arithmetic_decoder.h"

#include <cstring>

#include "coefficient_block.h"
#include "qm_states.h"

#if defined(__GNUC__)
#define ZDC_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define ZDC_ALWAYS_INLINE inline
#endif

namespace zdc {

namespace {

constexpr int kSignBin = ArithmeticBins::kSign;
constexpr int kDcLadder = ArithmeticBins::kDcLadder;
constexpr int kAcLowLadder = ArithmeticBins::kAcLowLadder;
constexpr int kAcHighLadder = ArithmeticBins::kAcHighLadder;
constexpr int kAcLowLastPosition = ArithmeticBins::kAcLowLastPosition;
constexpr int kMagnitudeBitsOffset = ArithmeticBins::kMagnitudeBits;
constexpr int32_t kMagnitudeLimit = ArithmeticBins::kMagnitudeLimit;
constexpr int32_t kFailedCt = -1;

// Levels are v + 1 with v < 0x8000, so +32768 can occur; it wraps to -32768
// like every 16-bit store of the format.
int16_t Wrap16(int32_t value) {
  return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(value)));
}

}  // namespace

ArithmeticDecoder::ArithmeticDecoder() {
  std::memset(dcStats_, 0, sizeof dcStats_);
  std::memset(acStats_, 0, sizeof acStats_);
}

void ArithmeticDecoder::BeginSection(const SampleView& sample, uint32_t* readOffset,
                                     bool delta) {
  sample_ = sample;
  readOffset_ = readOffset;
  position_ = *readOffset;
  unreadMarker_ = 0;
  std::memset(dcStats_, 0, sizeof dcStats_);
  std::memset(acStats_, 0, sizeof acStats_);
  dcPredictor_ = 0;
  dcContext_ = 0;
  code_ = 0;
  interval_ = 0;
  delta_ = delta;
  ct_ = -16;
}

bool ArithmeticDecoder::DecodeBlock(int16_t* block) {
  // A failed block leaves the registers out of step with the stream, so a
  // section that has failed once yields nothing further.
  if (ct_ == kFailedCt) {
    std::memset(block, 0, kBlockCoefficients * sizeof(int16_t));
    return false;
  }
  return delta_ ? DecodeBlockImpl<true>(block) : DecodeBlockImpl<false>(block);
}

bool ArithmeticDecoder::Fail() {
  ct_ = kFailedCt;
  return false;
}

// Byte input with 0xFF handling: 0xFF 0x00 (after any further 0xFF bytes) is
// a data byte 0xFF; 0xFF followed by anything else is a marker, which ends the
// data. Every byte, including each one of a run of 0xFF, is read through the
// sample view.
uint32_t ArithmeticDecoder::NextByte() {
  if (unreadMarker_ != 0) return 0;
  uint32_t byte = sample_.Byte(position_);
  ++position_;
  if (byte != 0xFF) return byte;
  do {
    byte = sample_.Byte(position_);
    ++position_;
  } while (byte == 0xFF);
  if (byte == 0) return 0xFF;
  unreadMarker_ = byte;
  return 0;
}

// One binary decision on an adaptive bin; returns 0 or 1.
ZDC_ALWAYS_INLINE int ArithmeticDecoder::Decide(Registers& r, uint8_t* bin) {
  // Renormalise: double the interval until it is at least one half, pulling
  // a byte into the code register every eight doublings.
  while (r.interval < 0x8000) {
    if (--r.ct < 0) {
      r.code = r.code * 256 + static_cast<int32_t>(NextByte());
      r.ct += 8;
      if (r.ct < 0 && ++r.ct == 0) {
        // The second byte of a section is in: the register now holds the
        // first 16 bits of the code, against the full interval.
        r.interval = 0x10000;
        break;
      }
    }
    r.interval <<= 1;
  }

  const uint32_t sv = *bin;
  const QmState state = kQmStates[sv & 0x7F];
  const uint32_t qe = state.qe;
  const int mps = static_cast<int>(sv >> 7);

  // The MPS owns the lower part of size interval - Qe, the LPS the upper part
  // of size Qe, unless the lower part is the smaller one; then they trade.
  r.interval -= qe;
  const int32_t split = static_cast<int32_t>(r.interval << r.ct);
  if (r.code >= split) {
    r.code -= split;
    const bool exchanged = r.interval < qe;
    r.interval = qe;
    if (exchanged) {
      *bin = static_cast<uint8_t>((sv & 0x80) | state.nextMps);
      return mps;
    }
    *bin = static_cast<uint8_t>((sv & 0x80) ^ state.lpsAndSwitch);
    return mps ^ 1;
  }
  if (r.interval < 0x8000) {
    if (r.interval < qe) {
      *bin = static_cast<uint8_t>((sv & 0x80) ^ state.lpsAndSwitch);
      return mps ^ 1;
    }
    *bin = static_cast<uint8_t>((sv & 0x80) | state.nextMps);
  }
  return mps;
}

template <bool kDelta>
bool ArithmeticDecoder::DecodeBlockImpl(int16_t* block) {
  std::memset(block, 0, kBlockCoefficients * sizeof(int16_t));
  Registers r{code_, interval_, ct_};

  // DC difference, conditioned on the previous difference of the section:
  // zero, small (|d| <= 2) or large, each with its sign.
  int32_t dcDifference = 0;
  uint32_t dcContext = 0;
  {
    uint8_t* const stats = dcStats_;
    const uint32_t s0 = dcContext_;
    if (Decide(r, stats + s0) != 0) {
      const int sign = Decide(r, stats + s0 + 1);
      uint8_t* s = stats + s0 + 2 + sign;
      int32_t m = Decide(r, s);
      if (m != 0) {
        s = stats + kDcLadder;
        while (Decide(r, s) != 0) {
          m <<= 1;
          if (m == kMagnitudeLimit) return Fail();
          ++s;
        }
      }
      dcContext = (m <= 1 ? 4 : 12) + 4 * sign;
      s += kMagnitudeBitsOffset;
      int32_t v = m;
      for (int32_t bit = m >> 1; bit != 0; bit >>= 1) {
        if (Decide(r, s) != 0) v |= bit;
      }
      dcDifference = sign != 0 ? -(v + 1) : v + 1;
    }
  }
  int16_t dcPredictor = dcPredictor_;
  if (kDelta) {
    block[0] = Wrap16(dcDifference);
  } else {
    dcPredictor = Wrap16(dcPredictor + dcDifference);
    block[0] = dcPredictor;
  }

  // AC coefficients in scan order.
  uint8_t* const stats = acStats_;
  for (int k = 1; k <= 63; ++k) {
    uint8_t* se = stats + 3 * (k - 1);
    if (Decide(r, se) != 0) break;  // end of block
    while (Decide(r, se + 1) == 0) {
      se += 3;
      if (++k == 64) return Fail();
    }
    stats[kSignBin] = 0;
    const int sign = Decide(r, stats + kSignBin);
    uint8_t* s = se + 2;
    int32_t m = Decide(r, s);
    if (m != 0 && Decide(r, s) != 0) {
      m = 2;
      s = stats + (k <= kAcLowLastPosition ? kAcLowLadder : kAcHighLadder);
      while (Decide(r, s) != 0) {
        m <<= 1;
        if (m == kMagnitudeLimit) return Fail();
        ++s;
      }
    }
    s += kMagnitudeBitsOffset;
    int32_t v = m;
    for (int32_t bit = m >> 1; bit != 0; bit >>= 1) {
      if (Decide(r, s) != 0) v |= bit;
    }
    block[kZigzag[k]] = Wrap16(sign != 0 ? -(v + 1) : v + 1);
  }

  code_ = r.code;
  interval_ = r.interval;
  ct_ = r.ct;
  dcContext_ = dcContext;
  dcPredictor_ = dcPredictor;
  *readOffset_ = position_;
  return true;
}

}  // namespace zdc
