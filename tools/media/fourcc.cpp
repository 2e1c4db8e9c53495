#include "fourcc.h"

#include <cstdio>

namespace zdc {

std::string FourCCToString(uint32_t code) {
  std::string text;
  for (int i = 0; i < 4; ++i) {
    const unsigned c = (code >> (8 * i)) & 0xFF;
    if (c >= 0x20 && c < 0x7F) {
      text.push_back(static_cast<char>(c));
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      text += escaped;
    }
  }
  return text;
}

bool IsPrintableFourCC(uint32_t code) {
  for (int i = 0; i < 4; ++i) {
    const unsigned c = (code >> (8 * i)) & 0xFF;
    if (c < 0x20 || c >= 0x7F) return false;
  }
  return true;
}

}  // namespace zdc
