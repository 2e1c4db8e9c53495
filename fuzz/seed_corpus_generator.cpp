// Writes the seed corpora of the fuzz targets into DIR/<target>/, every seed
// made by the encoder and the media library's writers, so that no binary
// input is kept in the repository:
//
//   frame_decoder      streams of key and delta frames of every coefficient
//                      coding and mask storage, at sizes that take every
//                      route through the frame driver, with the switches
//                      and settings changed between frames
//   coefficient_coders the Huffman and arithmetic streams of key planes and
//                      delta sections, from the plane encoder
//   mask_codings       the masks of those sections, and coded masks of every
//                      coding that reach the codings' limits
//   avi_reader         small AVI files of those streams (the OpenDML layouts
//                      the writer does not make are the AVI unit tests')
//   y4m_reader         small YUV4MPEG2 streams of every chroma layout, odd
//                      sizes, frame parameters and comments
//
// Usage: zdc_fuzz_seeds DIR
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "arithmetic_coefficient_encoder.h"
#include "avi_writer.h"
#include "dequant_tracker.h"
#include "encoder_options.h"
#include "encoder_test_pictures.h"
#include "frame_encoder.h"
#include "frame_stream.h"
#include "guarded_memory.h"
#include "huffman_encoder.h"
#include "mask_encoders.h"
#include "media_avi_builder.h"
#include "media_temp_dir.h"
#include "plane_encoder.h"

namespace zdc::fuzz {
namespace {

namespace fs = std::filesystem;
using zdc_test::Bytes;
using zdc_test::Join;
using zdc_test::LeBytes;

fs::path root;
int written = 0;

std::string SeedPath(const std::string& target) {
  fs::create_directories(root / target);
  char name[32];
  std::snprintf(name, sizeof name, "seed-%04d", ++written);
  return (root / target / name).string();
}

void Write(const std::string& target, const Bytes& seed) {
  zdc_test::WriteMediaFile(SeedPath(target), seed);
}

// A mask in every coding: the coding (0 LZW, 1 run-length, 2 FD), the
// buffer's shape, maskSize and maskOffset 0, then the data. FD takes shapes
// of up to 8 words by 96 rows.
void WriteMaskSeeds(const Bytes& mask, uint32_t wordsPerRow, uint32_t blockRows) {
  const Bytes coded[] = {EncodeLzwMask(mask.data(), mask.size()),
                         EncodeRunLengthMask(mask.data(), mask.size()),
                         EncodeFdMask(mask.data(), wordsPerRow, blockRows)};
  for (uint8_t coding = 0; coding < 3; ++coding) {
    const uint32_t shape = coding == 2 ? (wordsPerRow - 1) | (blockRows - 1) << 3
                                       : (wordsPerRow * blockRows * 4 - 1) % 8192;
    if (coding == 2 && (wordsPerRow > 8 || blockRows > 96)) continue;
    Write("mask_codings", Join({{coding}, LeBytes(shape, 2), LeBytes(coded[coding].size(), 2), {0},
                                coded[coding]}));
  }
}

// The coefficient streams of a plane's key section and of delta sections in
// both codings, and the masks of those sections in every mask coding,
// straight from the plane encoder.
void WritePlaneSeeds(int32_t width, int32_t height, bool luminance, uint16_t quality) {
  PlaneEncoder plane(width, height, luminance, ChooseBlockKernels(0));
  DequantTracker dequant;
  dequant.NextFrame(quality);
  HuffmanEncoder huffman;
  ArithmeticCoefficientEncoder arithmetic;
  for (int frame = 0; frame < 4; ++frame) {
    CoefficientEncoder& coder = frame % 2 ? static_cast<CoefficientEncoder&>(arithmetic) : huffman;
    const Picture picture = test::MakeTestPicture(width, height, false, frame);
    coder.BeginSection(luminance, frame > 0);
    if (frame == 0) {
      plane.EncodeKey(picture.luma.data(), dequant.Table(), coder);
    } else {
      const auto delta = plane.EncodeDelta(picture.luma.data(), dequant.Table(), 64, coder);
      WriteMaskSeeds(delta.mask, delta.wordsPerRow, static_cast<uint32_t>(plane.BlockRows()));
    }
    // Flags (luminance, delta, arithmetic) and the start offset, then the
    // data; the arithmetic seeds start three bytes into the sample.
    Bytes head = {static_cast<uint8_t>(luminance | (frame > 0) << 1 | frame % 2 << 2),
                  static_cast<uint8_t>(frame % 2 ? 3 : 0)};
    head.resize(2 + head[1], 0xED);
    Write("coefficient_coders", Join({head, coder.Finish()}));
  }
}

enum CoderPlan { kHuffman, kArithmetic, kAlternate };

struct StreamPlan {
  int32_t width, height;
  bool withChroma;
  CoderPlan coders;
  MaskStorage mask;
  int frames;
};

std::vector<Bytes> EncodeStream(const StreamPlan& plan, int variant) {
  EncoderOptions options;
  options.fourcc = plan.withChroma ? (variant % 2 ? kFourccQzv4 : kFourccQzv2) : kFourccQzv3;
  options.quality = 30 + 10 * (variant % 5);
  options.keyInterval = 0;
  options.mask = plan.mask;
  options.deltaThreshold = 64;
  FrameEncoder encoder(plan.width, plan.height, options);
  std::vector<Bytes> frames;
  for (int i = 0; i < plan.frames; ++i) {
    const bool arithmetic = plan.coders == kAlternate ? i % 2 : plan.coders == kArithmetic;
    encoder.SetCoder(arithmetic ? CoefficientCoding::kArithmetic : CoefficientCoding::kHuffman);
    frames.push_back(
        encoder.EncodeFrame(test::MakeTestPicture(plan.width, plan.height, plan.withChroma, i)));
  }
  return frames;
}

// The same frames under different settings, changed between frames in a way
// of each variant's own.
void WriteStreamSeed(const StreamPlan& plan, const std::vector<Bytes>& frames, int variant) {
  // The setup: width - 1, height - 1, the flags, the stride's extra bytes.
  const uint8_t flags = static_cast<uint8_t>(plan.withChroma | (variant % 3 == 0) << 1);
  Bytes seed = Join({LeBytes(plan.width - 1, 2), LeBytes(plan.height - 1, 2),
                     {flags, static_cast<uint8_t>(variant * 13 % 64)}});
  // Per variant: no switches; denoise; the mask display; every pair of
  // switches, then a new size; a quality set; a refused size, SetSize again
  // and a narrow output pitch, with both switches.
  const int kind = variant % 6;
  for (size_t i = 0; i < frames.size(); ++i) {
    const uint8_t controls[] = {
        0, kDenoise, kDisplayMask,
        static_cast<uint8_t>(i % 4 | (i + 1 == frames.size() ? kResize : 0)),
        static_cast<uint8_t>(i == 1 ? kSetQuality : 0),
        static_cast<uint8_t>((i == 1 ? kFailedSize : 0) | (i == 2 ? kSetSizeAgain : 0) |
                             (i == 3 ? kNarrowStride : 0) | kDenoise | kDisplayMask)};
    const uint8_t setting = static_cast<uint8_t>(kind == 4 ? 29 : kind >= 3 ? variant : 50);
    seed = Join({seed, {controls[kind], setting}, LeBytes(frames[i].size(), 3), frames[i]});
  }
  Write("frame_decoder", seed);
}

// Masks larger than the planes': random bits, which fill the LZW dictionary
// (clear and widen codes), and long runs (the run-length coding's long form).
void WriteCodedMaskSeeds() {
  guarded::Random random(1);
  for (auto [wordsPerRow, blockRows, runs] : {std::tuple{1u, 1u, 0}, {8u, 96u, 0}, {4u, 40u, 1}}) {
    Bytes mask(wordsPerRow * blockRows * 4);
    random.Fill(mask.data(), mask.size());
    for (size_t i = 0; i < mask.size() && runs; ++i) mask[i] = i / 300 % 2 ? 0xFF : 0x00;
    WriteMaskSeeds(mask, wordsPerRow, blockRows);
  }
}

// Two frames of a small picture of an odd size (chroma rounded up) in each
// chroma layout the reader takes, and a luma-only stream with frame
// parameters, a comment tag and a frame cut short. (The other 4:2:0 siting
// tags are in the dictionary.)
void WriteY4mSeeds() {
  // Header tags and frame bytes.
  for (auto [tags, bytes] : {std::pair{"W7 H5 F25:1 Ip A0:0 C420jpeg", 35 + 2 * 12},
                             {"W7 H4 F25:1 Ip C422", 28 + 2 * 16}, {"W6 H5 C444", 3 * 30}}) {
    std::string text = std::string("YUV4MPEG2 ") + tags + "\n";
    for (int frame = 0; frame < 2; ++frame)
      text += "FRAME\n" + std::string(static_cast<size_t>(bytes), static_cast<char>('a' + frame));
    Write("y4m_reader", zdc_test::Text(text));
  }
  const std::string annotated =
      "YUV4MPEG2 W4 H2 F30000:1001 Ip A1:1 Cmono XYSCSS=MONO\nFRAME Ixyz\nabcdefghFRAME\n12345678";
  Write("y4m_reader", zdc_test::Text(annotated));
}

void Generate() {
  fs::remove_all(root);
  // Sizes that take every route through the frame driver: everything straight
  // into the output (multiples of 32), chroma through the scratch planes
  // (72 x 40, 176 x 144), luma through its own plane as well (100 x 50), luma
  // only, a plane under one block (6 x 5) and a row of 33 blocks (264 wide,
  // two mask words per row).
  const StreamPlan plans[] = {
      {64, 64, true, kHuffman, MaskStorage::kRaw, 5},
      {72, 40, true, kArithmetic, MaskStorage::kLzw, 5},
      {100, 50, true, kArithmetic, MaskStorage::kRunLength, 6},
      {72, 40, true, kHuffman, MaskStorage::kFd, 5},
      {40, 24, false, kAlternate, MaskStorage::kAuto, 5},
      {33, 17, false, kArithmetic, MaskStorage::kFd, 4},
      {176, 144, true, kAlternate, MaskStorage::kAuto, 4},
      {264, 16, false, kHuffman, MaskStorage::kLzw, 4},
      {6, 5, true, kHuffman, MaskStorage::kAuto, 3},
  };
  int variant = 0;
  for (const StreamPlan& plan : plans) {
    const std::vector<Bytes> frames = EncodeStream(plan, variant);
    for (int k = 0; k < 3; ++k) WriteStreamSeed(plan, frames, variant + k);
    // The same frames in an AVI file, every other one with a dropped frame.
    AviWriter avi(SeedPath("avi_reader"),
                  {plan.width, plan.height, plan.withChroma ? kFourccQzv2 : kFourccQzv3});
    for (size_t i = 0; i < frames.size(); ++i) {
      if (variant % 2 && i == 2) avi.WriteFrame(nullptr, 0, false);
      avi.WriteFrame(frames[i].data(), static_cast<uint32_t>(frames[i].size()), i == 0);
    }
    avi.Finish();
    variant += 3;
  }
  // Planes of one block, one mask word per row, and two words per row.
  for (auto [width, height, luminance, quality] :
       {std::tuple{64, 64, 1, 50}, {24, 16, 0, 30}, {8, 8, 0, 90}, {264, 16, 1, 70}, {176, 144, 1, 40}})
    WritePlaneSeeds(width, height, luminance, static_cast<uint16_t>(quality));
  WriteCodedMaskSeeds();
  WriteY4mSeeds();
  std::printf("wrote %d seeds under %s\n", written, root.string().c_str());
}

}  // namespace
}  // namespace zdc::fuzz

// A failure to write ends the program with the exception's message.
int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  zdc::fuzz::root = argv[1];
  zdc::fuzz::Generate();
  return 0;
}
