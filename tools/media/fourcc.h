// Four-character codes as RIFF stores them: the first character in the lowest
// byte of a little-endian 32-bit number.
#pragma once

#include <cstdint>
#include <string>

namespace zdc {

constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
         static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

// `text` must hold exactly four characters.
constexpr uint32_t FourCC(const char (&text)[5]) {
  return MakeFourCC(text[0], text[1], text[2], text[3]);
}

// The code as text; bytes outside printable ASCII are shown as \xNN so a
// hostile file cannot put control characters on the user's terminal.
std::string FourCCToString(uint32_t code);

// True when all four bytes are printable ASCII, as in every real chunk id.
bool IsPrintableFourCC(uint32_t code);

}  // namespace zdc
