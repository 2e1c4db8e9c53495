#include "rational.h"

namespace zdc {

Rational Rational::Reduced() const {
  uint32_t a = num, b = den;
  while (b != 0) {
    const uint32_t t = a % b;
    a = b;
    b = t;
  }
  if (a <= 1) return *this;
  return Rational{num / a, den / a};
}

}  // namespace zdc
