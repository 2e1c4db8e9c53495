// Processor feature probe. The set is taken once per process and chooses the
// kernel variants of every decoder.
#pragma once

#include <cstdint>

namespace zdc {

using CpuFeatures = uint8_t;

enum : CpuFeatures {
  kCpuMmx = 0x01,
  kCpuSse = 0x02,
  kCpuSse2 = 0x04,
  kCpuIntegerSse = 0x08,  // the MMX extensions (pshufw and the like)
  kCpuX87 = 0x10,
  // AVX2, usable: the processor has it and the operating system saves the
  // 256-bit register state. Only the wider kernel variants look at it.
  kCpuAvx2 = 0x20,
};

// The processor's feature set, cached for the process. The empty set on
// processors without CPUID and on other architectures.
CpuFeatures ProbeCpuFeatures();

// The probed set as the kernel choice sees it: ANDed with a mask that tests and
// comparisons lower to pretend to be a weaker processor. The mask starts from
// the environment variable ZDC_CPU_MASK (a number, e.g. 0 for the portable
// kernels only) and can be changed with SetCpuFeatureMask; it applies to
// decoders constructed afterwards.
CpuFeatures EffectiveCpuFeatures();
void SetCpuFeatureMask(CpuFeatures mask);

}  // namespace zdc
