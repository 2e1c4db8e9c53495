#include "ieee_double.h"

namespace zdc {

#if defined(__i386__) && !defined(__SSE2_MATH__)

namespace {

// Control word with the precision field (bits 8-9) set to 53-bit significands.
uint16_t DoublePrecision(uint16_t controlWord) {
  return static_cast<uint16_t>((controlWord & ~0x0300u) | 0x0200u);
}

}  // namespace

// One x87 operation between two doubles in memory, under 53-bit precision
// control, the result stored as a double; the caller's control word is
// restored before the asm ends. Functions of their own (never inlined), so
// the x87 register stack is empty on entry and the one temporary fits.
#define ZDC_X87_DOUBLE_OP(name, instruction)                                   \
  __attribute__((noinline)) double name(double a, double b) {                \
    uint16_t saved;                                                           \
    __asm__ volatile("fnstcw %0" : "=m"(saved));                              \
    const uint16_t precise = DoublePrecision(saved);                          \
    double result;                                                            \
    __asm__ volatile("fldcw %[precise]\n\t"                                   \
                     "fldl %[a]\n\t" instruction " %[b]\n\t"                  \
                     "fstpl %[result]\n\t"                                    \
                     "fldcw %[saved]"                                         \
                     : [result] "=m"(result)                                  \
                     : [a] "m"(a), [b] "m"(b), [precise] "m"(precise),        \
                       [saved] "m"(saved));                                   \
    return result;                                                            \
  }

ZDC_X87_DOUBLE_OP(DoubleMul, "fmull")
ZDC_X87_DOUBLE_OP(DoubleAdd, "faddl")
ZDC_X87_DOUBLE_OP(DoubleSub, "fsubl")
ZDC_X87_DOUBLE_OP(DoubleDiv, "fdivl")

#undef ZDC_X87_DOUBLE_OP

#else

double DoubleMul(double a, double b) { return a * b; }
double DoubleAdd(double a, double b) { return a + b; }
double DoubleSub(double a, double b) { return a - b; }
double DoubleDiv(double a, double b) { return a / b; }

#endif

}  // namespace zdc
