#include "cpu_features.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define ZDC_X86 1
#endif

namespace zdc {
namespace {

#if ZDC_X86
bool HasCpuidInstruction() {
#if defined(__x86_64__)
  return true;  // every x86-64 processor has CPUID
#else
  // CPUID exists when bit 21 (ID) of EFLAGS can be toggled.
  uint32_t before, after;
  __asm__ volatile(
      "pushfl\n\t"
      "pushfl\n\t"
      "popl %0\n\t"
      "movl %0, %1\n\t"
      "xorl $0x200000, %0\n\t"
      "pushl %0\n\t"
      "popfl\n\t"
      "pushfl\n\t"
      "popl %0\n\t"
      "popfl"
      : "=&r"(after), "=&r"(before));
  return ((before ^ after) & 0x200000) != 0;
#endif
}

// AVX2 needs three things: the instructions (leaf 7), AVX with XSAVE enabled
// by the operating system (leaf 1 ECX bits 27 and 28), and the XMM and YMM
// state in XCR0, without which the first 256-bit instruction faults.
bool HasUsableAvx2(unsigned maxLeaf, unsigned leaf1Ecx) {
  constexpr unsigned kOsXsave = 1u << 27, kAvx = 1u << 28;
  if (maxLeaf < 7 || (leaf1Ecx & (kOsXsave | kAvx)) != (kOsXsave | kAvx)) return false;
  unsigned xcr0Low, xcr0High;
  __asm__ volatile("xgetbv" : "=a"(xcr0Low), "=d"(xcr0High) : "c"(0));
  if ((xcr0Low & 6) != 6) return false;
  unsigned eax, ebx, ecx, edx;
  __cpuid_count(7, 0, eax, ebx, ecx, edx);
  return (ebx & (1u << 5)) != 0;
}

CpuFeatures Probe() {
  if (!HasCpuidInstruction()) return 0;
  unsigned eax, ebx, ecx, edx;
  __cpuid(0, eax, ebx, ecx, edx);
  if (eax == 0) return 0;
  const unsigned maxLeaf = eax;
  char vendor[12];
  std::memcpy(vendor, &ebx, 4);
  std::memcpy(vendor + 4, &edx, 4);
  std::memcpy(vendor + 8, &ecx, 4);

  __cpuid(1, eax, ebx, ecx, edx);
  CpuFeatures features = 0;
  if (edx & (1u << 0)) features |= kCpuX87;
  if (edx & (1u << 26)) features |= kCpuSse2;
  if (edx & (1u << 25)) features |= kCpuSse;
  if (edx & (1u << 23)) features |= kCpuMmx;
  if (HasUsableAvx2(maxLeaf, ecx)) features |= kCpuAvx2;
  if (features & kCpuSse) return features | kCpuIntegerSse;
  if (std::memcmp(vendor, "AuthenticAMD", 12) == 0) {
    __cpuid(0x80000000u, eax, ebx, ecx, edx);
    if (eax >= 0x80000001u) {
      __cpuid(0x80000001u, eax, ebx, ecx, edx);
      if (edx & (1u << 22)) features |= kCpuIntegerSse;
    }
  }
  return features;
}
#else
CpuFeatures Probe() { return 0; }
#endif

// 0x100 stands for "not probed yet". The probe is idempotent, so threads that
// race on the first call all store the same value; the atomic makes that
// publication well-defined.
std::atomic<unsigned> cachedFeatures{0x100};

std::atomic<unsigned> featureMask{0x100};

unsigned MaskFromEnvironment() {
  const char* text = std::getenv("ZDC_CPU_MASK");
  if (!text || !*text) return 0xFF;
  char* end = nullptr;
  unsigned long value = std::strtoul(text, &end, 0);
  return (end && *end == '\0') ? static_cast<unsigned>(value & 0xFF) : 0xFF;
}

}  // namespace

CpuFeatures ProbeCpuFeatures() {
  unsigned cached = cachedFeatures.load(std::memory_order_acquire);
  if (cached == 0x100) {
    cached = Probe();
    cachedFeatures.store(cached, std::memory_order_release);
  }
  return static_cast<CpuFeatures>(cached);
}

CpuFeatures EffectiveCpuFeatures() {
  unsigned mask = featureMask.load(std::memory_order_acquire);
  if (mask == 0x100) {
    mask = MaskFromEnvironment();
    featureMask.store(mask, std::memory_order_release);
  }
  return static_cast<CpuFeatures>(ProbeCpuFeatures() & mask);
}

void SetCpuFeatureMask(CpuFeatures mask) { featureMask.store(mask, std::memory_order_release); }

}  // namespace zdc
