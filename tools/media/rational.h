// A frame rate or aspect ratio as a fraction; 0/0 means "not known".
#pragma once

#include <cstdint>

namespace zdc {

struct Rational {
  uint32_t num = 0;
  uint32_t den = 0;

  bool Known() const { return num != 0 && den != 0; }
  double ToDouble() const { return den ? static_cast<double>(num) / den : 0.0; }
  // The same value with numerator and denominator divided by their gcd.
  Rational Reduced() const;
};

inline bool operator==(const Rational& a, const Rational& b) {
  return a.num == b.num && a.den == b.den;
}
inline bool operator!=(const Rational& a, const Rational& b) { return !(a == b); }

}  // namespace zdc
