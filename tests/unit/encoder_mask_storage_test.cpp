// Choosing a delta section's mask storage: auto takes the smallest, and a
// storage whose data would overflow the 16-bit mask size gives way.
#include <gtest/gtest.h>

#include <random>

#include "frame_layout.h"
#include "mask_storage_choice.h"

namespace zdc {
namespace {

TEST(EncoderMaskStorage, AutoTakesTheSmallestStorage) {
  std::mt19937 random(5);
  struct Case {
    const char* name;
    uint32_t wordsPerRow, blockRows;
    int density;  // percent of set bits
  };
  const Case cases[] = {{"one bit in many rows", 2, 40, 0},
                        {"sparse", 3, 30, 3},
                        {"half", 1, 18, 50},
                        {"dense", 4, 20, 97}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> mask(4 * c.wordsPerRow * c.blockRows, 0);
    for (size_t bit = 0; bit < 8 * mask.size(); ++bit) {
      if (static_cast<int>(random() % 100) < c.density) mask[bit / 8] |= 1 << (bit % 8);
    }
    mask[3] |= 0x10;
    size_t smallest = SIZE_MAX;
    for (MaskStorage storage : {MaskStorage::kRaw, MaskStorage::kLzw, MaskStorage::kRunLength, MaskStorage::kFd}) {
      const StoredMask stored = StoreMask(mask, c.wordsPerRow, c.blockRows, storage);
      smallest = std::min(smallest, stored.data.size());
      if (storage == MaskStorage::kRaw) {
        EXPECT_EQ(stored.data, mask);
        EXPECT_EQ(stored.storage, kMaskStorageRaw);
      }
      EXPECT_EQ(stored.tag == kFdMaskTag, storage == MaskStorage::kFd);
    }
    EXPECT_EQ(StoreMask(mask, c.wordsPerRow, c.blockRows, MaskStorage::kAuto).data.size(), smallest);
  }
}

TEST(EncoderMaskStorage, RawMasksTooLargeForTheHeaderGiveWay) {
  // 64 words per row, 256 rows: 65536 bytes, one more than maskSize holds.
  std::vector<uint8_t> mask(4 * 64 * 256, 0);
  mask[1000] = 0x01;
  const StoredMask stored = StoreMask(mask, 64, 256, MaskStorage::kRaw);
  EXPECT_FALSE(stored.storage == kMaskStorageRaw && stored.tag != kFdMaskTag) << "still raw";
  EXPECT_LE(stored.data.size(), 0xFFFFu);
}

}  // namespace
}  // namespace zdc
