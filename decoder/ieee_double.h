// Double arithmetic rounded exactly as IEEE 754 binary64 defines it, in every
// build. The format's quality, its dequantization table and the filter's
// statistics are defined by double products, sums and quotients truncated
// toward zero, so one rounding more or less moves a step: 0.29 x 100.0 is
// 28.999... and gives 28, the same product kept in 80 bits gives 29.
//
// With SSE2 scalar math (x86-64, every other target) these are the plain
// operators. A 32-bit x86 build does its doubles on the x87 unit, which
// rounds to 64-bit significands; there each operation runs with the x87
// precision control set to 53 bits and stores its result as a double, which
// is then exactly the binary64 result (the wider exponent range makes no
// difference for the normal values these computations meet). The 32-bit
// build keeps the x87 for scalar math on purpose: it serves processors
// without SSE2, whose kernels the decoder still chooses.
#pragma once

#include <cstdint>

namespace zdc {

double DoubleMul(double a, double b);
double DoubleAdd(double a, double b);
double DoubleSub(double a, double b);
double DoubleDiv(double a, double b);

}  // namespace zdc
