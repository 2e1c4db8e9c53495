// The frame decode driver: header, quality, the delta chain, where each plane
// is decoded, and the copy-outs and denoise into the caller's picture.
#include "frame_decoder.h"

#include <cstddef>
#include <cstring>

#include "deferred_reconstruction.h"
#include "imgprim.h"
#include "page_memory.h"

namespace zdc {
namespace {

constexpr uint32_t kFrameHeaderSize = 20;
constexpr int32_t kMaxPicturePixels = 1 << 28;

int32_t RoundUp(int32_t value, int32_t multiple) { return (value + multiple - 1) / multiple * multiple; }

}  // namespace

struct FrameDecoder::PlaneTarget {
  uint8_t* plane;      // where the blocks are written
  int32_t stride;
  int32_t width;       // block-aligned size seen by the block loops
  int32_t height;
  int16_t* store;      // CoefficientStore of the plane
  bool luminance;
  uint8_t* reference;  // the plane's part of referencePicture (pitch = width)
};

FrameDecoder::FrameDecoder()
    : huffman(new HuffmanDecoder), arithmetic(new ArithmeticDecoder),
      kernels(ChooseBlockKernels(features)) {
  denoiseThresholds = ippsMalloc_8u(16);
}

FrameDecoder::~FrameDecoder() {
  FrameDecoder::FreeBuffers();
  delete huffman;
  delete arithmetic;
  ippsFree(denoiseThresholds);
}

bool FrameDecoder::AcceptsSize(int32_t width, int32_t height) {
  return width > 0 && height > 0 && width <= kMaxPicturePixels && height <= kMaxPicturePixels &&
         int64_t{RoundUp(width, 32)} * RoundUp(height, 32) <= kMaxPicturePixels;
}

uint32_t FrameDecoder::SetSize(int32_t newWidth, int32_t newHeight, bool withChroma) {
  std::lock_guard<std::recursive_mutex> hold(lock);
  FreeBuffers();
  width = height = alignedWidth = alignedHeight = 0;
  deltaCounter = 0;
  chainBroken = 0;
  followsFromKeyFrame = false;
  if (!AcceptsSize(newWidth, newHeight)) return kStatusInvalidParameter;
  const int32_t alignment = withChroma ? 32 : 8;
  alignedWidth = RoundUp(newWidth, alignment);
  alignedHeight = RoundUp(newHeight, alignment);
  width = newWidth;
  height = newHeight;
  hasChroma = withChroma;
  if (!AllocateBuffers(withChroma)) {
    FreeBuffers();
    width = height = alignedWidth = alignedHeight = 0;
    return kStatusNotEnoughMemory;
  }
  return kStatusSuccess;
}

bool FrameDecoder::AllocateBuffers(bool withChroma) {
  if (!CodecContext::AllocateBuffers(withChroma)) return false;
  const size_t a = static_cast<size_t>(alignedWidth) * static_cast<size_t>(alignedHeight);
  const size_t c = withChroma ? a / 16 : 0;
  referenceBytes = a + 2 * c;
  lumaPlaneBytes = a;
  referencePicture = AllocatePages(referenceBytes);
  lumaPlane = AllocatePages(lumaPlaneBytes);
  if (!referencePicture || !lumaPlane) return false;
  if (alignedWidth != width || alignedHeight != height) {
    chromaScratchBytes = c + 8;
    chromaScratch[0] = AllocatePages(chromaScratchBytes);
    chromaScratch[1] = AllocatePages(chromaScratchBytes);
    if (!chromaScratch[0] || !chromaScratch[1]) return false;
  }
  return true;
}

void FrameDecoder::FreeBuffers() {
  CodecContext::FreeBuffers();
  FreePages(lumaPlane, lumaPlaneBytes);
  FreePages(chromaScratch[0], chromaScratchBytes);
  FreePages(chromaScratch[1], chromaScratchBytes);
  FreePages(referencePicture, referenceBytes);
  lumaPlane = chromaScratch[0] = chromaScratch[1] = referencePicture = nullptr;
  lumaPlaneBytes = chromaScratchBytes = referenceBytes = 0;
}

void FrameDecoder::SetDisplayMask(int32_t on) {
  std::lock_guard<std::recursive_mutex> hold(lock);
  displayMask.store(on, std::memory_order_relaxed);
}

void FrameDecoder::SetDenoise(int32_t on) {
  std::lock_guard<std::recursive_mutex> hold(lock);
  denoise.store(on, std::memory_order_relaxed);
}

int32_t FrameDecoder::Decode(const uint8_t* frame, uint32_t frameLength, uint8_t* output,
                             int32_t outputStride) {
  std::lock_guard<std::recursive_mutex> hold(lock);
  // Without buffers, or with an output pitch that cannot hold a row, there is
  // nowhere safe to write.
  if (!lumaCoefficients || !output || outputStride < width) return 0;
  const SampleView sample(frameLength ? frame : nullptr, frame ? frameLength : 0);
  try {
    return DecodeLocked(sample, output, outputStride);
  } catch (const SampleOverrun&) {
    return 0;  // the frame is abandoned where its data ran out; what was written stays
  }
}

int32_t FrameDecoder::DecodeLocked(const SampleView& sample, uint8_t* output,
                                   int32_t outputStride) {
  int32_t result = kFrameHeaderSize;
  const ptrdiff_t lumaSize = static_cast<ptrdiff_t>(height) * outputStride;
  const ptrdiff_t chromaSize = lumaSize / 16;

  const uint16_t quality = sample.Le16(4);
  if (quality != qualityHundredths.load(std::memory_order_relaxed)) {
    SetQuality(HundredthsToQuality(quality));  // above 100 is refused
  }

  const uint16_t frameIndex = sample.Le16(6);
  const bool keyFrame = frameIndex == 0;
  if (keyFrame) {
    chainBroken = 0;
    deltaCounter = 0;
  } else {
    ++deltaCounter;
    if (deltaCounter != frameIndex) chainBroken = 1;
  }
  if (chainBroken) return result;

  const uint32_t lumaSectionSize = sample.Le32(8);
  const uint32_t chromaSectionSize1 = sample.Le32(12);
  uint32_t o1 = kFrameHeaderSize;
  uint32_t o2 = kFrameHeaderSize + lumaSectionSize;
  uint32_t o3 = o2 + chromaSectionSize1;

  const bool useDenoise = denoise.load(std::memory_order_relaxed) != 0;
  const bool lumaInOutput = !useDenoise && width % 8 == 0 && height % 8 == 0;
  const int32_t lumaPitch = RoundUp(width, 8);
  const PlaneTarget luma = {lumaInOutput ? output : lumaPlane,
                            lumaInOutput ? outputStride : lumaPitch,
                            lumaPitch,
                            RoundUp(height, 8),
                            lumaCoefficients,
                            true,
                            referencePicture};

  // Chroma planes go straight into the output when the picture is a whole
  // number of chroma blocks, else through the scratch planes.
  const bool scratch = chromaScratch[0] != nullptr;
  const int32_t chromaWidth = alignedWidth / 4, chromaHeight = alignedHeight / 4;
  const size_t lumaArea = static_cast<size_t>(alignedWidth) * alignedHeight;
  const PlaneTarget chroma[2] = {
      {scratch ? chromaScratch[1] : output + lumaSize, scratch ? chromaWidth : outputStride / 4,
       chromaWidth, chromaHeight, chromaCoefficients[0], false, referencePicture + lumaArea},
      {scratch ? chromaScratch[0] : output + lumaSize + chromaSize,
       scratch ? chromaWidth : outputStride / 4, chromaWidth, chromaHeight,
       chromaCoefficients[1], false, referencePicture + lumaArea + lumaArea / 16},
  };
  auto copyOutChroma = [&](int index) {
    if (!scratch) return;
    ippiCopy_8u_C1R(index == 0 ? chromaScratch[1] : chromaScratch[0], chromaWidth,
                    output + lumaSize + index * chromaSize, outputStride / 4,
                    {width / 4, height / 4});
  };

  // A luma-only decoder has no room for chroma: chroma sections sent to it are
  // skipped, and the result is then the end of the luma section.
  if (keyFrame) {
    followsFromKeyFrame = false;  // until every plane has been rebuilt
    bool whole = DecodeKeyPlane(sample, &o1, luma);
    result = static_cast<int32_t>(o1);
    if (chromaSectionSize1 != 0 && hasChroma) {
      whole = DecodeKeyPlane(sample, &o2, chroma[0]) && whole;
      copyOutChroma(0);
      whole = DecodeKeyPlane(sample, &o3, chroma[1]) && whole;
      result = static_cast<int32_t>(o3);
      copyOutChroma(1);
    } else if (hasChroma) {
      whole = false;  // the chroma planes keep what earlier frames left
    }
    followsFromKeyFrame = whole;
  } else {
    if (lumaSectionSize != 0) {
      DecodeDeltaSection(sample, &o1, luma);
      result = static_cast<int32_t>(o1);
    }
    if (hasChroma) {
      if (chromaSectionSize1 != 0) {
        DecodeDeltaSection(sample, &o2, chroma[0]);
        copyOutChroma(0);
      }
      if (sample.Le32(16) != 0) {
        DecodeDeltaSection(sample, &o3, chroma[1]);
        copyOutChroma(1);
        result = static_cast<int32_t>(o3);
      }
    }
  }

  if (useDenoise) {
    uint16_t* thresholds = reinterpret_cast<uint16_t*>(denoiseThresholds);
    for (int i = 0; i < 8; ++i) thresholds[i] = 10;
    kernels.denoisePlane(lumaPlane, lumaPitch, output, width, height, outputStride, thresholds);
  } else if (!lumaInOutput) {
    ippiCopy_8u_C1R(lumaPlane, lumaPitch, output, outputStride, {width, height});
  }
  return result;
}

bool FrameDecoder::DecodeKeyPlane(const SampleView& sample, uint32_t* readOffset,
                                  const PlaneTarget& plane) {
  const uint8_t coder = sample.Byte(*readOffset);
  *readOffset += 4;
  bool whole = false;
  if (coder == 0) {
    huffman->BeginSection(sample, readOffset, plane.luminance, false);
    whole = KeyBlockLoop(*huffman, plane);
    huffman->EndSection();
  } else if (coder == 1) {
    arithmetic->BeginSection(sample, readOffset, false);
    whole = KeyBlockLoop(*arithmetic, plane);
  }
  if (displayMask.load(std::memory_order_relaxed)) {
    if (plane.stride == plane.width) {
      ippsCopy_8u(plane.plane, plane.reference, plane.width * plane.height);
    } else {
      ippiCopy_8u_C1R(plane.plane, plane.stride, plane.reference, plane.width,
                      {plane.width, plane.height});
    }
  }
  return whole;
}

// Whether every block of the plane was decoded.
template <class EntropyDecoder>
bool FrameDecoder::KeyBlockLoop(EntropyDecoder& entropy, const PlaneTarget& plane) {
  DeferredReconstruction output(kernels.reconstructKey, blockScratch, dequantTable, plane.stride);
  bool whole = false;
  output.Run([&] {
    int16_t* slot = plane.store;
    for (int32_t y = 0; y + 8 <= plane.height; y += 8) {
      uint8_t* row = plane.plane + static_cast<ptrdiff_t>(y) * plane.stride;
      for (int32_t x = 0; x + 8 <= plane.width; x += 8, slot += 64) {
        if (!entropy.DecodeBlock(output.NextBlock())) return;
        output.Queue(row + x, slot);
      }
    }
    whole = true;
  });
  return whole;
}

void FrameDecoder::DecodeDeltaSection(const SampleView& sample, uint32_t* readOffset,
                                      const PlaneTarget& plane) {
  const uint8_t* header = sample.At(*readOffset, 16);
  const uint32_t maskOffset = SampleView::LoadLe32(header);
  const uint32_t maskSize = static_cast<uint32_t>(header[4] | header[5] << 8);
  const bool fdTag = header[6] == 'F' && header[7] == 'D';
  const uint32_t coded = SampleView::LoadLe32(header + 8);
  const uint8_t coder = header[12];
  const uint8_t maskStorage = header[13];
  if (coded == 0) {
    *readOffset += 16;
    return;
  }

  const uint32_t blocksPerRow = static_cast<uint32_t>(plane.width) / 8;
  const uint32_t blockRows = static_cast<uint32_t>(plane.height) / 8;
  const uint32_t wordsPerRow = (blocksPerRow + 31) / 32;
  const SampleView decodedMask(blockMask, MaskBytes());
  SampleView mask = decodedMask;
  // A coded mask shorter than the plane's leaves the rest of the buffer as an
  // earlier frame wrote it, and the block loop reads that too.
  const uint32_t maskBytesRead = 4 * wordsPerRow * blockRows;
  if (fdTag) {
    DecodeFdMask(sample, maskOffset, wordsPerRow, blockRows, maskCodeTables, maskWork, blockMask);
  } else if (maskStorage == 1) {
    if (lzw.Decode(sample, maskOffset, maskSize, blockMask, MaskBytes()) < maskBytesRead) {
      followsFromKeyFrame = false;
    }
  } else if (maskStorage == 2) {
    if (DecodeRunLengthMask(sample, maskOffset, maskSize, blockMask, MaskBytes()) < maskBytesRead) {
      followsFromKeyFrame = false;
    }
  } else if (sample.Contains(maskOffset, 0)) {
    // An uncoded mask is read where it lies, word by word as the loop needs it.
    mask = SampleView(sample.data() + maskOffset, sample.size() - maskOffset);
  } else {
    mask = SampleView(nullptr, 0);
  }

  *readOffset += 16;
  if (coder == 0) {
    huffman->BeginSection(sample, readOffset, plane.luminance, true);
    DeltaBlockLoop(*huffman, plane, mask);
    huffman->EndSection();
  } else if (coder == 1) {
    arithmetic->BeginSection(sample, readOffset, true);
    DeltaBlockLoop(*arithmetic, plane, mask);
  }
  *readOffset = maskOffset + maskSize;
}

template <class EntropyDecoder>
void FrameDecoder::DeltaBlockLoop(EntropyDecoder& entropy, const PlaneTarget& plane,
                                  const SampleView& mask) {
  const ReconstructBlockFn reconstruct = kernels.reconstructDelta;
  const uint32_t blocksPerRow = static_cast<uint32_t>(plane.width) / 8;
  const uint32_t blockRows = static_cast<uint32_t>(plane.height) / 8;
  const uint32_t wordsPerRow = (blocksPerRow + 31) / 32;
  const ptrdiff_t stride = plane.stride;

  if (!displayMask.load(std::memory_order_relaxed)) {
    DeferredReconstruction output(reconstruct, blockScratch, dequantTable, plane.stride);
    output.Run([&] {
      for (uint32_t r = 0; r < blockRows; ++r) {
        uint8_t* row = plane.plane + static_cast<ptrdiff_t>(8 * r) * stride;
        int16_t* rowSlots = plane.store + static_cast<size_t>(r) * blocksPerRow * 64;
        for (uint32_t j = 0; j < wordsPerRow; ++j) {
          uint32_t word = mask.Le32(4 * (r * wordsPerRow + j));
          const uint32_t columnsLeft = blocksPerRow - 32 * j;
          if (columnsLeft < 32) word &= (1u << columnsLeft) - 1;  // bits past the row mean nothing
          while (word) {
            const uint32_t c = 32 * j + static_cast<uint32_t>(__builtin_ctz(word));
            word &= word - 1;
            if (!entropy.DecodeBlock(output.NextBlock())) return;
            output.Queue(row + 8 * c, rowSlots + 64 * c);
          }
        }
      }
    });
    return;
  }

  // Mask display: coded blocks are rebuilt, saved clean into the reference
  // plane and marked; every other block is restored from the reference.
  const int32_t referencePitch = plane.width;
  for (uint32_t r = 0; r < blockRows; ++r) {
    uint8_t* row = plane.plane + static_cast<ptrdiff_t>(8 * r) * stride;
    uint8_t* referenceRow = plane.reference + static_cast<size_t>(8 * r) * referencePitch;
    int16_t* rowSlots = plane.store + static_cast<size_t>(r) * blocksPerRow * 64;
    uint32_t word = 0;
    for (uint32_t c = 0; c < blocksPerRow; ++c) {
      if (c % 32 == 0) word = mask.Le32(4 * (r * wordsPerRow + c / 32));
      uint8_t* block = row + 8 * c;
      uint8_t* referenceBlock = referenceRow + 8 * c;
      if ((word >> (c % 32)) & 1) {
        if (!entropy.DecodeBlock(blockScratch)) return;
        reconstruct(blockScratch, block, plane.stride, rowSlots + 64 * c, dequantTable);
        copyBlock(referenceBlock, block, plane.stride, referencePitch);
        MarkBlock(block, plane.stride);
      } else {
        copyBlock(block, referenceBlock, referencePitch, plane.stride);
      }
    }
  }
}

}  // namespace zdc
