#include "frame_encoder.h"

#include <stdexcept>

#include "arithmetic_coefficient_encoder.h"
#include "cpu_features.h"
#include "frame_layout.h"
#include "huffman_encoder.h"
#include "mask_storage_choice.h"

namespace zdc {
namespace {

int32_t RoundUp(int32_t value, int32_t multiple) {
  return (value + multiple - 1) / multiple * multiple;
}

std::unique_ptr<CoefficientEncoder> MakeCoefficientEncoder(CoefficientCoding coding) {
  switch (coding) {
    case CoefficientCoding::kHuffman:
      return std::make_unique<HuffmanEncoder>();
    case CoefficientCoding::kArithmetic:
      return std::make_unique<ArithmeticCoefficientEncoder>();
    default:
      throw std::invalid_argument("coefficient coding not available");
  }
}

void Append(std::vector<uint8_t>& frame, const std::vector<uint8_t>& bytes) {
  frame.insert(frame.end(), bytes.begin(), bytes.end());
}

}  // namespace

FrameEncoder::FrameEncoder(int32_t width, int32_t height, const EncoderOptions& options)
    : width_(width), height_(height), options_(options) {
  if (width <= 0 || height <= 0) throw std::invalid_argument("picture size must be positive");
  if (!IsKnownFourcc(options.fourcc)) throw std::invalid_argument("unknown FourCC");
  if (options.quality < 0 || options.quality > 100) {
    throw std::invalid_argument("quality outside 0..100");
  }
  coder_ = MakeCoefficientEncoder(options.coder);
  const BlockKernels kernels = ChooseBlockKernels(EffectiveCpuFeatures());
  // The decoder's luma plane is the picture rounded up to whole blocks; its
  // chroma planes are a quarter of the picture rounded up to 32.
  planes_.emplace_back(RoundUp(width, 8), RoundUp(height, 8), true, kernels);
  if (WithChroma()) {
    for (int p = 0; p < 2; ++p) {
      planes_.emplace_back(RoundUp(width, 32) / 4, RoundUp(height, 32) / 4, false, kernels);
    }
  }
}

FrameEncoder::~FrameEncoder() = default;

void FrameEncoder::SetCoder(CoefficientCoding coder) {
  if (coder == options_.coder) return;
  options_.coder = coder;
  coder_ = MakeCoefficientEncoder(coder);
}

void FrameEncoder::SetQuality(int quality) {
  if (quality < 0 || quality > 100) throw std::invalid_argument("quality outside 0..100");
  options_.quality = quality;
}

void FrameEncoder::RequestKeyFrame() { keyRequested_ = true; }

bool FrameEncoder::NextIsKey() const {
  // frameIndex is 16 bits and 0 marks a key frame, so a chain ends at 65535.
  return framesEncoded_ == 0 || keyRequested_ || frameIndex_ == 0xFFFF ||
         (options_.keyInterval != 0 && framesSinceKey_ >= options_.keyInterval);
}

const uint8_t* FrameEncoder::PaddedSource(const Picture& picture, size_t plane) {
  const PlaneEncoder& target = planes_[plane];
  padded_.resize(static_cast<size_t>(target.Width()) * target.Height());
  if (plane == 0) {
    PadPlane(picture.luma.data(), width_, height_, width_, padded_.data(), target.Width(),
             target.Height());
  } else {
    PadPlane(picture.chroma[plane - 1].data(), picture.ChromaWidth(), picture.ChromaHeight(),
             picture.ChromaWidth(), padded_.data(), target.Width(), target.Height());
  }
  return padded_.data();
}

void FrameEncoder::EncodeKeyPlane(size_t plane, const uint8_t* source,
                                  std::vector<uint8_t>& frame) {
  PlaneEncoder& target = planes_[plane];
  coder_->BeginSection(target.Luminance(), false);
  target.EncodeKey(source, dequant_.Table(), *coder_);
  const std::vector<uint8_t> stream = coder_->Finish();
  const size_t start = frame.size();
  frame.resize(start + kPlaneHeaderSize);
  WritePlaneHeader(static_cast<uint8_t>(options_.coder), frame.data() + start);
  Append(frame, stream);
  lastFrame_.codedBlocks[plane] = static_cast<uint32_t>(target.BlocksPerRow() * target.BlockRows());
}

void FrameEncoder::EncodeDeltaSection(size_t plane, const uint8_t* source,
                                      std::vector<uint8_t>& frame) {
  PlaneEncoder& target = planes_[plane];
  coder_->BeginSection(target.Luminance(), true);
  const PlaneEncoder::DeltaResult delta =
      target.EncodeDelta(source, dequant_.Table(), options_.deltaThreshold, *coder_);
  const std::vector<uint8_t> stream = coder_->Finish();
  lastFrame_.codedBlocks[plane] = delta.codedBlocks;
  // A plane without a changed block is left out altogether: the decoder skips
  // a section of size 0, which is smaller than an empty 16-byte section.
  if (delta.codedBlocks == 0) return;

  const StoredMask mask = StoreMask(delta.mask, delta.wordsPerRow,
                                    static_cast<uint32_t>(target.BlockRows()), options_.mask);
  const size_t start = frame.size();
  SectionHeaderFields header;
  // The mask follows the coefficient stream; the section ends with it.
  header.maskOffset = static_cast<uint32_t>(start + kSectionHeaderSize + stream.size());
  header.maskSize = static_cast<uint16_t>(mask.data.size());
  header.maskTag = mask.tag;
  header.coded = 1;
  header.coder = static_cast<uint8_t>(options_.coder);
  header.maskStorage = mask.storage;
  frame.resize(start + kSectionHeaderSize);
  WriteSectionHeader(header, frame.data() + start);
  Append(frame, stream);
  Append(frame, mask.data);
}

std::vector<uint8_t> FrameEncoder::EncodeFrame(const Picture& picture) {
  if (!picture.IsWellFormed() || picture.width != width_ || picture.height != height_ ||
      (WithChroma() && !picture.withChroma)) {
    throw std::invalid_argument("picture does not match the encoder's size and planes");
  }
  const bool key = NextIsKey();
  lastFrame_ = FrameInfo{};
  lastFrame_.keyFrame = key;
  lastFrame_.quality = dequant_.NextFrame(static_cast<uint16_t>(options_.quality));
  lastFrame_.frameIndex = key ? 0 : static_cast<uint16_t>(frameIndex_ + 1);

  std::vector<uint8_t> frame(kFrameHeaderSize);
  for (size_t plane = 0; plane < planes_.size(); ++plane) {
    const uint8_t* source = PaddedSource(picture, plane);
    const size_t start = frame.size();
    if (key) {
      EncodeKeyPlane(plane, source, frame);
    } else {
      EncodeDeltaSection(plane, source, frame);
    }
    lastFrame_.sectionSize[plane] = static_cast<uint32_t>(frame.size() - start);
  }

  FrameHeaderFields header;
  // Bytes 0..3 are not read by the decoder; they carry the stream's FourCC so
  // that a bare frame says what it is.
  header.tag = options_.fourcc;
  header.quality = lastFrame_.quality;
  header.frameIndex = lastFrame_.frameIndex;
  for (int i = 0; i < 3; ++i) header.sectionSize[i] = lastFrame_.sectionSize[i];
  WriteFrameHeader(header, frame.data());
  lastFrame_.bytes = frame.size();

  ++framesEncoded_;
  framesSinceKey_ = key ? 1 : framesSinceKey_ + 1;
  frameIndex_ = lastFrame_.frameIndex;
  keyRequested_ = false;
  return frame;
}

Picture FrameEncoder::Reconstruction() const {
  Picture picture;
  picture.width = width_;
  picture.height = height_;
  picture.withChroma = WithChroma();
  picture.luma = CropPlane(planes_[0].Reconstruction(), planes_[0].Width(), width_, height_);
  if (WithChroma()) {
    for (int p = 0; p < 2; ++p) {
      picture.chroma[p] = CropPlane(planes_[1 + p].Reconstruction(), planes_[1 + p].Width(),
                                    picture.ChromaWidth(), picture.ChromaHeight());
    }
  }
  return picture;
}

}  // namespace zdc
