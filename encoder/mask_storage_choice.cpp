#include "mask_storage_choice.h"

#include <stdexcept>

#include "frame_layout.h"
#include "mask_encoders.h"

namespace zdc {
namespace {

constexpr size_t kMaxMaskSize = 0xFFFF;

StoredMask Store(const std::vector<uint8_t>& mask, uint32_t wordsPerRow, uint32_t blockRows,
                 MaskStorage storage) {
  StoredMask stored;
  switch (storage) {
    case MaskStorage::kLzw:
      stored.storage = kMaskStorageLzw;
      stored.data = EncodeLzwMask(mask.data(), mask.size());
      break;
    case MaskStorage::kRunLength:
      stored.storage = kMaskStorageRunLength;
      stored.data = EncodeRunLengthMask(mask.data(), mask.size());
      break;
    case MaskStorage::kFd:
      stored.tag = kFdMaskTag;
      stored.data = EncodeFdMask(mask.data(), wordsPerRow, blockRows);
      break;
    default:
      stored.storage = kMaskStorageRaw;
      stored.data = mask;
      break;
  }
  return stored;
}

}  // namespace

StoredMask StoreMask(const std::vector<uint8_t>& mask, uint32_t wordsPerRow, uint32_t blockRows,
                     MaskStorage storage) {
  if (storage != MaskStorage::kAuto) {
    StoredMask stored = Store(mask, wordsPerRow, blockRows, storage);
    if (stored.data.size() <= kMaxMaskSize) return stored;
  }
  StoredMask best;
  bool found = false;
  for (MaskStorage candidate :
       {MaskStorage::kRaw, MaskStorage::kLzw, MaskStorage::kRunLength, MaskStorage::kFd}) {
    StoredMask stored = Store(mask, wordsPerRow, blockRows, candidate);
    if (stored.data.size() > kMaxMaskSize) continue;
    if (!found || stored.data.size() < best.data.size()) {
      best = std::move(stored);
      found = true;
    }
  }
  if (!found) throw std::length_error("change mask too large for a section");
  return best;
}

}  // namespace zdc
