// The LZW mask coding: variable-width codes packed least significant bit
// first, with explicit clear, end and widen control codes.
#include "mask_codings.h"

namespace zdc {

namespace {

constexpr uint16_t kNoPrefix = 0xFFFF;

// Byte loads in the coding's fixed schedule: a whole little-endian word when
// the buffer is empty and four bytes of the mask remain, else two bytes, else
// one. Single-byte loads go on past the mask's size (the stream simply reads
// on); every load must lie inside the sample.
class LzwBitReader {
 public:
  LzwBitReader(const SampleView& sample, uint32_t maskOffset, uint32_t maskSize)
      : sample_(sample), maskOffset_(maskOffset), maskSize_(maskSize) {}

  uint32_t Read(uint32_t width) {
    while (available_ < width) Load();
    const uint32_t code = static_cast<uint32_t>(buffer_) & ((1u << width) - 1);
    buffer_ >>= width;
    available_ -= width;
    return code;
  }

 private:
  void Load() {
    const int64_t remaining = static_cast<int64_t>(maskSize_) - static_cast<int64_t>(consumed_);
    uint32_t count = 1;
    if (available_ == 0 && remaining >= 4) {
      count = 4;
    } else if (remaining >= 2) {
      count = 2;
    }
    // maskOffset + consumed must not wrap around to the start of the sample.
    if (consumed_ > UINT32_MAX - maskOffset_) throw SampleOverrun{};
    const uint8_t* p = sample_.At(maskOffset_ + static_cast<uint32_t>(consumed_), count);
    for (uint32_t i = 0; i < count; ++i) {
      buffer_ |= static_cast<uint64_t>(p[i]) << (available_ + 8 * i);
    }
    available_ += 8 * count;
    consumed_ += count;
  }

  const SampleView& sample_;
  uint32_t maskOffset_;
  uint32_t maskSize_;
  uint64_t consumed_ = 0;  // bytes loaded so far
  uint64_t buffer_ = 0;    // buffered bits, the next code's lowest bit at bit 0
  uint32_t available_ = 0;
};

}  // namespace

LzwMaskDecoder::LzwMaskDecoder() {
  // Entries above 255 start as the single byte 0 until they are defined; a
  // damaged stream can name one before that.
  for (uint32_t code = 0; code < kDictionarySize; ++code) {
    prefix_[code] = kNoPrefix;
    suffix_[code] = static_cast<uint8_t>(code < 256 ? code : 0);
  }
}

uint32_t LzwMaskDecoder::CollectString(uint32_t code) {
  // A well-formed stream's chains only lead to lower codes. A damaged one can
  // make an entry's prefix a code defined later, and so a cycle; the step
  // limit ends the walk there.
  uint32_t length = 0;
  while (length < kDictionarySize) {
    string_[length++] = suffix_[code];
    if (prefix_[code] == kNoPrefix) return length;
    code = prefix_[code];
  }
  return 0;
}

uint32_t LzwMaskDecoder::Decode(const SampleView& sample, uint32_t maskOffset, uint32_t maskSize,
                                uint8_t* blockMask, uint32_t maskCapacity) {
  LzwBitReader reader(sample, maskOffset, maskSize);
  uint32_t nextFree = LzwCodes::kFirstFree;
  uint32_t width = LzwCodes::kInitialWidth;
  uint32_t previous = kNoPrefix;
  uint32_t written = 0;

  auto put = [&](uint8_t byte) {
    if (written < maskCapacity) blockMask[written++] = byte;
  };

  // Once the buffer is full the rest of the data has nowhere to go, so
  // decoding stops there rather than reading on.
  while (written < maskCapacity) {
    const uint32_t code = reader.Read(width);
    if (code == LzwCodes::kClear) {
      nextFree = LzwCodes::kFirstFree;
      width = LzwCodes::kInitialWidth;
      previous = kNoPrefix;
      continue;
    }
    if (code == LzwCodes::kEnd) break;
    if (code == LzwCodes::kWiden) {
      // A width beyond 12 bits cannot address the dictionary: the mask ends.
      if (++width > LzwCodes::kMaxWidth) break;
      continue;
    }

    // A code not yet defined stands for the previous string followed by that
    // string's first byte; with no previous string it means nothing and ends
    // the mask. A chain that never ends (damaged data) ends the mask too.
    const bool defined = code < nextFree;
    if (!defined && previous == kNoPrefix) break;
    const uint32_t length = CollectString(defined ? code : previous);
    if (length == 0) break;
    const uint8_t firstByte = string_[length - 1];
    for (uint32_t i = length; i-- > 0;) put(string_[i]);
    if (!defined) put(firstByte);

    // A full dictionary takes no entries until the next clear code.
    if (previous != kNoPrefix && nextFree < kDictionarySize) {
      prefix_[nextFree] = static_cast<uint16_t>(previous);
      suffix_[nextFree] = firstByte;
      ++nextFree;
    }
    previous = code;
  }
  return written;
}

}  // namespace zdc
