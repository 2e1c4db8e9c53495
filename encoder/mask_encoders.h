// Writers of the three coded change-mask storages. Each takes a BlockMask
// (its rows of little-endian 32-bit words as bytes) and returns the mask data
// that the matching decoder turns back into exactly those bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zdc {

// LZW codes packed least significant bit first: a clear code first, a widen
// code before the first code that needs a wider width, a clear code whenever
// the dictionary is full, and an end code last. The final byte is padded with
// zero bits.
std::vector<uint8_t> EncodeLzwMask(const uint8_t* mask, size_t size);

// Escape byte first (the least frequent byte value of the mask), then literal
// bytes and runs. An empty mask gives empty data.
std::vector<uint8_t> EncodeRunLengthMask(const uint8_t* mask, size_t size);

// The FD coding of a mask of blockRows rows of wordsPerRow words: the two XOR
// passes undone, every byte written with the FD code from bit 30 of the second
// data word on (the first word is zero), padded with zero bits to whole words.
std::vector<uint8_t> EncodeFdMask(const uint8_t* mask, uint32_t wordsPerRow, uint32_t blockRows);

}  // namespace zdc
