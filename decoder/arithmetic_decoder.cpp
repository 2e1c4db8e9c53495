// QM arithmetic decoding of coefficient blocks.
//
// Registers (T.81 Annex D, decoder side, in the form that keeps the code
// register right-aligned):
//   code_      the code value; always below interval_ << ct_, so it stays
//              non-negative and below 2^23.
//   interval_  the interval size A, 16 bits of fraction (0x10000 = 1.0),
//              renormalised to at least 0x8000 at the end of every decision.
//   ct_        how many bits code_ holds beyond the 16 that line up with
//              interval_, 0..7 once the bytes the doublings asked for are
//              read; negative while they are still owed (-16 before the first
//              decision of a section: two bytes against the full interval).
//              The bytes are read when the next decision starts, so after a
//              block the read offset stands where a decoder renormalising at
//              the start of each decision would have it.
//   failed_    a block of the section has failed.
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
#include <utility>

#include "coefficient_block.h"
#include "qm_states.h"

#if defined(__GNUC__)
#define ZDC_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define ZDC_ALWAYS_INLINE inline
#endif

namespace zdc {

// Table D.3 indexed by the whole bin (MPS in bit 7, state index in bits
// 0..6): Qe and the bin's value after an MPS and after an LPS decision, MPS
// bit and switch already applied, in one 32-bit record, so a decision needs
// one load for everything it may do to the bin.
struct QmBinTransition {
  uint16_t qe;
  uint8_t afterMps;
  uint8_t afterLps;
};

namespace {

constexpr int kSignBin = ArithmeticBins::kSign;
constexpr int kDcLadder = ArithmeticBins::kDcLadder;
constexpr int kAcLowLadder = ArithmeticBins::kAcLowLadder;
constexpr int kAcHighLadder = ArithmeticBins::kAcHighLadder;
constexpr int kAcLowLastPosition = ArithmeticBins::kAcLowLastPosition;
constexpr int kMagnitudeBitsOffset = ArithmeticBins::kMagnitudeBits;
constexpr int32_t kMagnitudeLimit = ArithmeticBins::kMagnitudeLimit;

struct BinTransitions {
  QmBinTransition bin[256];
};

BinTransitions BuildBinTransitions() {
  BinTransitions table{};
  for (uint32_t value = 0; value < 256; ++value) {
    const uint32_t index = value & 0x7F;
    if (index >= kQmStateCount) continue;  // no bin ever holds these
    const QmState& state = kQmStates[index];
    table.bin[value] = {state.qe, static_cast<uint8_t>((value & 0x80) | state.nextMps),
                        static_cast<uint8_t>((value & 0x80) ^ state.lpsAndSwitch)};
  }
  return table;
}

const BinTransitions& Transitions() {
  static const BinTransitions table = BuildBinTransitions();
  return table;
}

// Doublings that bring a non-zero interval below 0x10000 to at least 0x8000.
inline int DoublingsToHalf(uint32_t interval) {
#if defined(__GNUC__)
  return __builtin_clz(interval) - 16;
#else
  int n = 0;
  while ((interval << n) < 0x8000) ++n;
  return n;
#endif
}

// Zeroes the 64 coefficients as sixteen separate 8-byte stores, which the
// compiler merges into vector stores where it has them; a memset of this
// size becomes a string instruction with a costly start.
template <int... kWord>
inline void ClearWords(int16_t* block, std::integer_sequence<int, kWord...>) {
  const uint64_t zero = 0;
  (std::memcpy(block + 4 * kWord, &zero, sizeof zero), ...);
}

inline void ClearBlock(int16_t* block) {
  ClearWords(block, std::make_integer_sequence<int, kBlockCoefficients / 4>{});
}

// Levels are v + 1 with v < 0x8000, so +32768 can occur; it wraps to -32768
// like every 16-bit store of the format.
int16_t Wrap16(int32_t value) {
  return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(value)));
}

// The sign and the magnitude bits are close to even odds, so they are
// applied arithmetically rather than branched on.
inline int32_t ApplySign(int32_t level, int sign) {
  const int32_t negate = -sign;  // 0 or all ones
  return (level ^ negate) - negate;
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
  interval_ = 0x10000;
  delta_ = delta;
  ct_ = -16;
  failed_ = false;
  transitions_ = Transitions().bin;
}

bool ArithmeticDecoder::DecodeBlock(int16_t* block) {
  // A failed block leaves the registers out of step with the stream, so a
  // section that has failed once yields nothing further.
  if (failed_) {
    std::memset(block, 0, kBlockCoefficients * sizeof(int16_t));
    return false;
  }
  return delta_ ? DecodeBlockImpl<true>(block) : DecodeBlockImpl<false>(block);
}

bool ArithmeticDecoder::Fail() {
  failed_ = true;
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

// The common byte: no marker seen, inside the sample, not 0xFF. Anything
// else takes NextByte, which reads the same byte again.
ZDC_ALWAYS_INLINE uint32_t ArithmeticDecoder::InputByte() {
  if (unreadMarker_ == 0 && position_ < sample_.size()) {
    const uint32_t byte = sample_.data()[position_];
    if (byte != 0xFF) {
      ++position_;
      return byte;
    }
  }
  return NextByte();
}

// Pulls the bytes that the doublings of the previous decision ran the bit
// counter out of, in order. This is the byte input of the renormalisation
// that starts the next decision; deferring it to here keeps the bytes read
// after a block exactly those that block needed.
ZDC_ALWAYS_INLINE void ArithmeticDecoder::Refill(Registers& r) {
  do {
    r.code = r.code * 256 + static_cast<int32_t>(InputByte());
    r.ct += 8;
  } while (r.ct < 0);
}

// One binary decision on an adaptive bin whose value the caller has read
// (or knows); returns 0 or 1.
//
// The interval was renormalised when the previous decision ended, so here
// only the bytes that renormalisation asked for are still to be read. The
// decision itself has no branch: which part the code value falls in, whether
// the parts trade places, the doublings that follow and the bin's new value
// are all computed, and the bin is written back unchanged when nothing
// adapts (an interval still at or above one half).
ZDC_ALWAYS_INLINE int ArithmeticDecoder::Decide(Registers& r, uint8_t* bin, uint32_t value) {
  if (r.ct < 0) Refill(r);
  const QmBinTransition t = r.transitions[value];
  const uint32_t qe = t.qe;

  // The MPS owns the lower part of size interval - Qe, the LPS the upper part
  // of size Qe, unless the lower part is the smaller one; then they trade.
  const uint32_t lower = r.interval - qe;
  const int32_t split = static_cast<int32_t>(lower << r.ct);
  // All ones when the code value falls in the upper part. Selecting with
  // masks keeps the compiler from branching on it.
  const uint32_t upper = 0u - static_cast<uint32_t>(r.code >= split);
  r.code -= static_cast<int32_t>(static_cast<uint32_t>(split) & upper);
  const uint32_t interval = lower ^ ((lower ^ qe) & upper);
  const uint32_t lps = (upper & 1) ^ static_cast<uint32_t>(lower < qe);

  // Both parts are below 0x10000 and non-zero, so the doublings are 0..15.
  const int doublings = DoublingsToHalf(interval);
  const uint32_t adapted = lps != 0 ? t.afterLps : t.afterMps;
  const uint32_t keep = static_cast<uint32_t>(doublings != 0) - 1;  // all ones: unchanged
  *bin = static_cast<uint8_t>(adapted ^ ((adapted ^ value) & keep));
  r.interval = interval << doublings;
  r.ct -= doublings;
  return static_cast<int>((value >> 7) ^ lps);
}

ZDC_ALWAYS_INLINE int ArithmeticDecoder::Decide(Registers& r, uint8_t* bin) {
  return Decide(r, bin, *bin);
}

template <bool kDelta>
bool ArithmeticDecoder::DecodeBlockImpl(int16_t* block) {
  ClearBlock(block);
  Registers r{code_, interval_, ct_, transitions_};

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
      for (int32_t bit = m >> 1; bit != 0; bit >>= 1) v |= bit & -Decide(r, s);
      dcDifference = ApplySign(v + 1, sign);
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
    // The sign bin is reset before every use: a fixed estimate (state 0).
    stats[kSignBin] = 0;
    const int sign = Decide(r, stats + kSignBin, 0);
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
    for (int32_t bit = m >> 1; bit != 0; bit >>= 1) v |= bit & -Decide(r, s);
    block[kZigzag[k]] = Wrap16(ApplySign(v + 1, sign));
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
