// Chooses how a delta section stores its change mask and produces the data.
#pragma once

#include <cstdint>
#include <vector>

#include "encoder_options.h"

namespace zdc {

struct StoredMask {
  uint16_t tag = 0;      // the SectionHeader's maskTag ("FD" or 0)
  uint8_t storage = 0;   // the SectionHeader's maskStorage
  std::vector<uint8_t> data;
};

// The BlockMask `mask` (blockRows rows of wordsPerRow little-endian words) in
// the requested storage. kAuto takes the smallest of the four. The section
// header records the mask size in 16 bits, so a storage whose data would not
// fit gives way to the smallest one that does; std::length_error when none
// does.
StoredMask StoreMask(const std::vector<uint8_t>& mask, uint32_t wordsPerRow, uint32_t blockRows,
                     MaskStorage storage);

}  // namespace zdc
