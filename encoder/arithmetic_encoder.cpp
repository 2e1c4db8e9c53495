#include "arithmetic_encoder.h"

#include <cstdlib>
#include <cstring>

#include "coefficient_block.h"
#include "qm_states.h"

namespace zdc {

// ---------------------------------------------------------------------------
// QmEncoder

void QmEncoder::Reset() {
  low_ = 0;
  interval_ = 0x10000;
  // The first byte is formed after 11 doublings: 8 for the byte itself and 3
  // for the spacer bits between it and the 16 bits that line up with A, which
  // keep a carry from reaching further than the byte being formed.
  ct_ = 11;
  doublings_ = 0;
  doublingsBeforeLast_ = 0;
  anyDecision_ = false;
  bytes_.clear();
}

void QmEncoder::Encode(uint8_t* bin, int bit) {
  doublingsBeforeLast_ = doublings_;
  anyDecision_ = true;

  const uint32_t sv = *bin;
  const QmState state = kQmStates[sv & 0x7F];
  const uint32_t qe = state.qe;
  const int mps = static_cast<int>(sv >> 7);

  // The MPS takes the lower part (A - Qe), the LPS the upper part (Qe); when
  // the lower part is the smaller one, the two trade places.
  interval_ -= qe;
  if (bit == mps) {
    if (interval_ >= 0x8000) return;  // no renormalisation, bin unchanged
    if (interval_ < qe) {
      low_ += interval_;
      interval_ = qe;
    }
    *bin = static_cast<uint8_t>((sv & 0x80) | state.nextMps);
  } else {
    if (interval_ >= qe) {
      low_ += interval_;
      interval_ = qe;
    }
    *bin = static_cast<uint8_t>((sv & 0x80) ^ state.lpsAndSwitch);
  }
  Renormalise();
}

void QmEncoder::Renormalise() {
  do {
    interval_ <<= 1;
    low_ <<= 1;
    ++doublings_;
    if (--ct_ == 0) {
      ShipByte();
      ct_ = 8;
    }
  } while (interval_ < 0x8000);
}

// Moves the byte in bits 19..26 of low_ to the output, first adding the carry
// in bit 27 to the bytes already there. The code value never exceeds the
// initial interval, so a carry always stops inside the output.
void QmEncoder::ShipByte() {
  const uint32_t t = low_ >> 19;
  if (t > 0xFF) {
    size_t i = bytes_.size();
    while (i > 0 && bytes_[i - 1] == 0xFF) bytes_[--i] = 0;
    if (i > 0) ++bytes_[i - 1];
  }
  bytes_.push_back(static_cast<uint8_t>(t & 0xFF));
  low_ &= 0x7FFFF;
}

std::vector<uint8_t> QmEncoder::Finish() {
  std::vector<uint8_t> out;
  if (!anyDecision_) {
    Reset();
    return out;
  }
  // Pick the value in [low, low + A) with the most trailing zero bits, so
  // every bit after the shipped ones is 0, then ship what is left of it.
  uint32_t t = (low_ + interval_ - 1) & 0xFFFF0000u;
  if (t < low_) t += 0x8000;
  low_ = t << ct_;
  ShipByte();
  low_ <<= 8;
  ShipByte();

  // How many bytes the decoder pulls. It reads two before its first
  // decision, then one on each eighth renormalisation doubling (the 1st,
  // 9th, 17th ...); it renormalises at the start of a decision, so the
  // doublings that follow the last decision are never made. Those bytes hold
  // the code value followed by zeros. The flush above shipped at least five
  // bits more than the final interval needs, which leaves the decoder short
  // by at most two bytes: they are added as zeros. When the last decision
  // renormalised a long way, the decoder stops before the shipped end; the
  // bytes it would not read are dropped.
  const uint64_t needed = 2 + (doublingsBeforeLast_ + 7) / 8;
  bytes_.resize(static_cast<size_t>(needed), 0);

  out.reserve(bytes_.size() + bytes_.size() / 64 + 1);
  for (uint8_t byte : bytes_) {
    out.push_back(byte);
    if (byte == 0xFF) out.push_back(0);  // a stuffed zero: not a marker
  }
  Reset();
  return out;
}

// ---------------------------------------------------------------------------
// ArithmeticEncoder

ArithmeticEncoder::ArithmeticEncoder() {
  std::memset(dcStats_, 0, sizeof dcStats_);
  std::memset(acStats_, 0, sizeof acStats_);
}

void ArithmeticEncoder::BeginSection(bool delta) {
  coder_.Reset();
  std::memset(dcStats_, 0, sizeof dcStats_);
  std::memset(acStats_, 0, sizeof acStats_);
  dcPredictor_ = 0;
  dcContext_ = 0;
  delta_ = delta;
  open_ = true;
}

void ArithmeticEncoder::EncodeCategoryAndBits(uint8_t* ladder, uint32_t m, uint32_t v) {
  uint8_t* s = ladder;
  while (m * 2 <= v) {
    coder_.Encode(s, 1);
    m *= 2;
    ++s;
  }
  coder_.Encode(s, 0);
  s += ArithmeticBins::kMagnitudeBits;
  for (uint32_t bit = m >> 1; bit != 0; bit >>= 1) coder_.Encode(s, (v & bit) != 0);
}

void ArithmeticEncoder::EncodeDcMagnitude(uint8_t* first, uint32_t v) {
  if (v == 0) {
    coder_.Encode(first, 0);
    return;
  }
  coder_.Encode(first, 1);
  EncodeCategoryAndBits(dcStats_ + ArithmeticBins::kDcLadder, 1, v);
}

void ArithmeticEncoder::EncodeAcMagnitude(uint8_t* first, uint8_t* ladder, uint32_t v) {
  coder_.Encode(first, v != 0);
  if (v == 0) return;
  coder_.Encode(first, v != 1);
  if (v == 1) return;
  EncodeCategoryAndBits(ladder, 2, v);
}

bool ArithmeticEncoder::EncodeBlock(const int16_t coefficients[64]) {
  if (!open_) return false;

  // DC: in a key section the difference from the previous DC, modulo 2^16
  // (the decoder's predictor wraps the same way).
  int32_t difference = coefficients[0];
  if (!delta_) {
    difference = static_cast<int16_t>(static_cast<uint16_t>(
        static_cast<uint32_t>(coefficients[0]) - static_cast<uint32_t>(dcPredictor_)));
    dcPredictor_ = coefficients[0];
  }
  uint8_t* const s0 = dcStats_ + dcContext_;
  if (difference == 0) {
    coder_.Encode(s0, 0);
    dcContext_ = 0;
  } else {
    const int sign = difference < 0;
    const uint32_t v = static_cast<uint32_t>(std::abs(difference)) - 1;  // below 0x8000
    coder_.Encode(s0, 1);
    coder_.Encode(s0 + 1, sign);
    EncodeDcMagnitude(s0 + 2 + sign, v);
    dcContext_ = (v <= 1 ? 4 : 12) + 4 * sign;
  }

  // AC: end-of-block decisions, zero runs, sign and magnitude per level.
  int last = 0;
  for (int k = 63; k >= 1; --k) {
    if (coefficients[kZigzag[k]] != 0) {
      last = k;
      break;
    }
  }
  for (int k = 1; k <= 63; ++k) {
    uint8_t* se = acStats_ + 3 * (k - 1);
    if (k > last) {
      coder_.Encode(se, 1);  // end of block
      break;
    }
    coder_.Encode(se, 0);
    while (coefficients[kZigzag[k]] == 0) {
      coder_.Encode(se + 1, 0);
      se += 3;
      ++k;
    }
    coder_.Encode(se + 1, 1);
    const int32_t level = coefficients[kZigzag[k]];
    acStats_[ArithmeticBins::kSign] = 0;
    coder_.Encode(acStats_ + ArithmeticBins::kSign, level < 0);
    uint8_t* ladder = acStats_ + (k <= ArithmeticBins::kAcLowLastPosition
                                      ? ArithmeticBins::kAcLowLadder
                                      : ArithmeticBins::kAcHighLadder);
    EncodeAcMagnitude(se + 2, ladder, static_cast<uint32_t>(std::abs(level)) - 1);
  }
  return true;
}

std::vector<uint8_t> ArithmeticEncoder::Finish() {
  open_ = false;
  return coder_.Finish();
}

}  // namespace zdc
