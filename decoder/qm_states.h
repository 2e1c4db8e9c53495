// Probability estimation state machine of the QM coder (ITU-T T.81 Table D.3):
// 113 states, each with its LPS probability estimate Qe and the states that
// follow an MPS or an LPS decision.
#pragma once

#include <cstdint>

namespace zdc {

constexpr int kQmStateCount = 113;

// One state packed into four bytes so that a decision fetches everything it
// needs with one load. The LPS successor carries the switch flag in bit 7:
// an adaptive bin stores its MPS in bit 7 and its state index in bits 0..6, so
// the bin after an LPS is (bin & 0x80) ^ lpsAndSwitch, which also inverts the
// MPS when the state says so.
struct QmState {
  uint16_t qe;           // LPS probability estimate (Qe)
  uint8_t lpsAndSwitch;  // next index after an LPS | 0x80 when the MPS flips
  uint8_t nextMps;       // next index after an MPS

  int NextLps() const { return lpsAndSwitch & 0x7F; }
  bool SwitchesMps() const { return (lpsAndSwitch & 0x80) != 0; }
};

extern const QmState kQmStates[kQmStateCount];

}  // namespace zdc
