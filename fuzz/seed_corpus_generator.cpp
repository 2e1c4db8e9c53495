// Writes the seed corpora of the fuzz targets into DIR/<target>/, every seed
// made by the encoder and the media library's writer, so that no binary
// input is kept in the repository:
//
//   frame_decoder      streams of key and delta frames of every coefficient
//                      coding and mask storage, at sizes that take every
//                      route through the frame driver, with the switches
//                      and settings changed between frames
//   coefficient_coders the Huffman and arithmetic streams of those frames'
//                      planes and sections, and blocks with extreme values
//   mask_codings       the masks of those sections, and coded masks of every
//                      coding that reach the codings' limits
//   avi_reader         small AVI files of those streams, and one with an
//                      OpenDML continuation and a standard index
//   y4m_reader         small YUV4MPEG2 streams of every chroma layout, odd
//                      sizes, frame parameters and comments
//
// Usage: zdc_fuzz_seeds DIR
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "arithmetic_encoder.h"
#include "avi_writer.h"
#include "encoder_options.h"
#include "frame_encoder.h"
#include "frame_layout.h"
#include "frame_stream.h"
#include "huffman_encoder.h"
#include "mask_encoders.h"
#include "media_avi_builder.h"
#include "y4m_writer.h"

namespace zdc::fuzz {
namespace {

namespace fs = std::filesystem;

class SeedWriter {
 public:
  explicit SeedWriter(fs::path root) : root_(std::move(root)) {}

  void Write(const std::string& target, const std::vector<uint8_t>& bytes) {
    const fs::path directory = root_ / target;
    fs::create_directories(directory);
    char name[32];
    std::snprintf(name, sizeof name, "seed-%04d", ++count_);
    std::ofstream out(directory / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + (directory / name).string());
  }

  fs::path Path(const std::string& target, const std::string& name) {
    fs::create_directories(root_ / target);
    return root_ / target / name;
  }

  int Count() const { return count_; }

 private:
  fs::path root_;
  int count_ = 0;
};

uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
         static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t begin, size_t end) {
  return std::vector<uint8_t>(bytes.begin() + static_cast<ptrdiff_t>(begin),
                              bytes.begin() + static_cast<ptrdiff_t>(end));
}

std::vector<uint8_t> Concat(std::vector<uint8_t> front, const std::vector<uint8_t>& back) {
  front.insert(front.end(), back.begin(), back.end());
  return front;
}

// The coefficient seeds: flags (luminance, delta, arithmetic) and the start
// offset, then the data; every other seed starts a few bytes into the sample.
void WriteCoefficientSeed(SeedWriter& seeds, uint8_t flags, const std::vector<uint8_t>& stream,
                          int variant) {
  const uint8_t lead = variant % 2 ? 3 : 0;
  std::vector<uint8_t> seed = {flags, lead};
  seed.insert(seed.end(), lead, 0xED);
  seeds.Write("coefficient_coders", Concat(seed, stream));
}

// The mask seeds: the coding, the buffer's shape, maskSize, maskOffset 0.
void WriteMaskSeed(SeedWriter& seeds, uint8_t storage, bool fdTag, const std::vector<uint8_t>& data,
                   uint32_t wordsPerRow, uint32_t blockRows) {
  uint32_t shape = (wordsPerRow * blockRows * 4 - 1) % 8192;
  if (fdTag && (wordsPerRow > 8 || blockRows > 96)) return;
  if (fdTag) shape = (wordsPerRow - 1) | (blockRows - 1) << 3;
  if (!fdTag && storage != kMaskStorageLzw && storage != kMaskStorageRunLength) return;
  std::vector<uint8_t> seed = {static_cast<uint8_t>(fdTag ? 2 : storage == kMaskStorageLzw ? 0 : 1)};
  AppendLe(shape, 2, &seed);
  AppendLe(static_cast<uint32_t>(data.size()), 2, &seed);
  seed.push_back(0);
  seeds.Write("mask_codings", Concat(seed, data));
}

// Cuts a frame into its planes' streams and masks and writes them as seeds
// of the entropy and mask targets.
void WriteSectionSeeds(SeedWriter& seeds, const FrameEncoder& encoder,
                       const std::vector<uint8_t>& frame, int variant) {
  const bool key = frame[6] == 0 && frame[7] == 0;
  size_t offset = kFrameHeaderSize;
  for (size_t plane = 0; plane < encoder.Planes().size(); ++plane) {
    const size_t size = Le32(frame, 8 + 4 * plane);
    const size_t end = offset + size;
    const bool luminance = plane == 0;
    const PlaneEncoder& target = encoder.Planes()[plane];
    if (key) {
      const uint8_t coder = frame[offset];
      const std::vector<uint8_t> stream = Slice(frame, offset + kPlaneHeaderSize, end);
      WriteCoefficientSeed(seeds, static_cast<uint8_t>(luminance | coder << 2), stream, variant);
    } else if (size != 0) {
      const uint32_t maskOffset = Le32(frame, offset);
      const uint32_t maskSize = static_cast<uint32_t>(frame[offset + 4] | frame[offset + 5] << 8);
      const bool fdTag = frame[offset + 6] == 'F' && frame[offset + 7] == 'D';
      const uint8_t coder = frame[offset + 12];
      const uint8_t storage = frame[offset + 13];
      const std::vector<uint8_t> stream = Slice(frame, offset + kSectionHeaderSize, maskOffset);
      WriteCoefficientSeed(seeds, static_cast<uint8_t>(luminance | 2 | coder << 2), stream, variant);
      const uint32_t wordsPerRow = (static_cast<uint32_t>(target.BlocksPerRow()) + 31) / 32;
      WriteMaskSeed(seeds, storage, fdTag, Slice(frame, maskOffset, maskOffset + maskSize),
                    wordsPerRow, static_cast<uint32_t>(target.BlockRows()));
    }
    offset = end;
  }
}

enum class CoderPlan { kHuffman, kArithmetic, kAlternate };

struct StreamPlan {
  int32_t width;
  int32_t height;
  bool withChroma;
  CoderPlan coders;
  MaskStorage mask;
  int frames;
};

std::vector<std::vector<uint8_t>> EncodeStream(const StreamPlan& plan, SeedWriter& seeds,
                                               int variant) {
  EncoderOptions options;
  options.fourcc = plan.withChroma ? (variant % 2 ? kFourccQzv4 : kFourccQzv2) : kFourccQzv3;
  options.quality = 30 + 10 * (variant % 5);
  options.keyInterval = 0;
  options.mask = plan.mask;
  options.deltaThreshold = 64;
  options.coder = plan.coders == CoderPlan::kArithmetic ? CoefficientCoding::kArithmetic
                                                        : CoefficientCoding::kHuffman;
  FrameEncoder encoder(plan.width, plan.height, options);
  std::vector<std::vector<uint8_t>> frames;
  for (int i = 0; i < plan.frames; ++i) {
    if (plan.coders == CoderPlan::kAlternate) {
      encoder.SetCoder(i % 2 ? CoefficientCoding::kArithmetic : CoefficientCoding::kHuffman);
    }
    frames.push_back(
        encoder.EncodeFrame(MakeTestPattern(plan.width, plan.height, plan.withChroma, i)));
    WriteSectionSeeds(seeds, encoder, frames.back(), variant + i);
  }
  return frames;
}

// The same frames under different settings: each variant changes the
// switches, the quality or the size between frames in its own way.
void WriteStreamSeeds(SeedWriter& seeds, const StreamPlan& plan,
                      const std::vector<std::vector<uint8_t>>& frames, int variant) {
  StreamSetup setup;
  setup.width = plan.width;
  setup.height = plan.height;
  setup.withChroma = plan.withChroma;
  setup.portableKernels = variant % 3 == 0;
  setup.checkRecovery = variant % 2 == 0;
  setup.strideExtra = (variant * 13) % 64;
  std::vector<uint8_t> seed;
  AppendSetup(setup, &seed);
  for (size_t i = 0; i < frames.size(); ++i) {
    uint8_t control = 0;
    uint8_t quality = 50;
    switch (variant % 6) {
      case 1:
        control = kDenoise;
        break;
      case 2:
        control = kDisplayMask;
        break;
      case 3:  // every switch combination in turn, and a new size at the end
        control = static_cast<uint8_t>(i % 4 | (i + 1 == frames.size() ? kResize : 0));
        quality = static_cast<uint8_t>(variant);
        break;
      case 4:
        control = i == 1 ? kSetQuality : 0;
        quality = 29;
        break;
      case 5:
        control = static_cast<uint8_t>((i == 1 ? kFailedSize : 0) | (i == 2 ? kSetSizeAgain : 0) |
                                       (i == 3 ? kNarrowStride : 0) | kDenoise | kDisplayMask);
        quality = static_cast<uint8_t>(variant);
        break;
      default:
        break;
    }
    AppendFrame(control, quality, frames[i], &seed);
  }
  seeds.Write("frame_decoder", seed);
}

void WriteAviSeed(SeedWriter& seeds, const StreamPlan& plan,
                  const std::vector<std::vector<uint8_t>>& frames, int variant) {
  AviVideoFormat format;
  format.width = plan.width;
  format.height = plan.height;
  format.compression = plan.withChroma ? kFourccQzv2 : kFourccQzv3;
  const fs::path path = seeds.Path("avi_reader", "seed-avi-" + std::to_string(variant));
  AviWriter writer(path.string(), format);
  for (size_t i = 0; i < frames.size(); ++i) {
    // A dropped frame (length 0) in the middle of some files.
    if (variant % 2 && i == 2) writer.WriteFrame(nullptr, 0, false);
    writer.WriteFrame(frames[i].data(), static_cast<uint32_t>(frames[i].size()), i == 0);
  }
  writer.Finish();
}

// What the media library's writer does not make: an OpenDML continuation
// ('RIFF' 'AVIX' with its own 'movi' and an 'ix00' standard index), a 'rec '
// group, a chunk of another stream and an odd-sized frame without its pad
// byte, put together from the AVI builder of the tests.
void WriteOpenDmlSeed(SeedWriter& seeds, const std::vector<std::vector<uint8_t>>& frames) {
  using namespace zdc_test;
  AviLayout layout;
  const Bytes first = SimpleAvi(layout, {frames[0], frames[1]}, {true, false});
  const uint64_t moviData = first.size() + 12 + 12;  // 'RIFF' size 'AVIX' 'LIST' size 'movi'
  std::vector<Bytes> chunks;
  Bytes entries;
  uint64_t position = moviData;
  for (size_t i = 2; i < frames.size(); ++i) {
    chunks.push_back(Chunk("00dc", frames[i]));
    const uint32_t size = static_cast<uint32_t>(frames[i].size()) | (i == 2 ? 0 : 0x80000000u);
    entries =
        Join({entries, Le32Bytes(static_cast<uint32_t>(position + 8 - moviData)), Le32Bytes(size)});
    position += chunks.back().size();
  }
  chunks.push_back(Chunk(
      "ix00", Join({Le16Bytes(2), Bytes{0, 1}, Le32Bytes(static_cast<uint32_t>(frames.size() - 2)),
                    Text("00dc"), Le64Bytes(moviData), Le32Bytes(0), entries})));
  chunks.push_back(
      List("rec ", {Chunk("01wb", Bytes(6, 0x11)), Chunk("00dc", Bytes(5, 0x22), false)}));
  chunks.push_back(Chunk("00dc", frames[0]));
  seeds.Write("avi_reader", Join({first, ListOf("AVIX", {ListOf("movi", chunks)}, "RIFF")}));
}

// Blocks at the edges of what the codes carry.
std::vector<std::vector<int16_t>> ExtremeBlocks(int32_t maxLevel) {
  std::vector<std::vector<int16_t>> blocks;
  auto block = [&]() -> std::vector<int16_t>& { return blocks.emplace_back(64, 0); };
  block();  // DC only, zero
  block()[0] = 5;
  block()[63] = static_cast<int16_t>(maxLevel);  // last scan position
  auto& mixed = block();
  for (int i = 0; i < 64; ++i) mixed[i] = static_cast<int16_t>((i % 2 ? -1 : 1) * (1 + i * 3));
  auto& large = block();
  large[0] = static_cast<int16_t>(-maxLevel);
  large[1] = static_cast<int16_t>(maxLevel);
  large[8] = static_cast<int16_t>(-maxLevel);
  large[9] = 128;
  large[16] = -128;
  large[2] = 127;
  large[3] = -127;
  auto& runs = block();
  runs[0] = 100;
  runs[7] = 1;
  runs[56] = -2;
  runs[63] = 40;
  return blocks;
}

void WriteCoefficientSeeds(SeedWriter& seeds) {
  for (int delta = 0; delta < 2; ++delta) {
    for (int luminance = 0; luminance < 2; ++luminance) {
      HuffmanEncoder huffman;
      huffman.BeginSection(luminance != 0, delta != 0);
      int16_t predictor = 128;
      for (const auto& block : ExtremeBlocks(HuffmanEncoder::kLimits.maxLevel)) {
        std::vector<int16_t> coded = block;
        // A key block's DC is reached in steps the DC code can carry.
        if (!delta) coded[0] = predictor = static_cast<int16_t>(predictor + (coded[0] % 200));
        huffman.EncodeBlock(coded.data());
      }
      WriteCoefficientSeed(seeds, static_cast<uint8_t>(luminance | delta << 1), huffman.Finish(), 0);
    }
    ArithmeticEncoder arithmetic;
    arithmetic.BeginSection(delta != 0);
    for (const auto& block : ExtremeBlocks(32767)) arithmetic.EncodeBlock(block.data());
    std::vector<int16_t> lowest(64, 0);
    lowest[0] = -32768;
    lowest[5] = -32768;
    arithmetic.EncodeBlock(lowest.data());
    WriteCoefficientSeed(seeds, static_cast<uint8_t>(delta << 1 | 4), arithmetic.Finish(), 0);
  }
}

void WriteCodedMaskSeeds(SeedWriter& seeds) {
  uint32_t state = 12345;
  auto next = [&] {
    state = state * 1103515245u + 12345u;
    return state >> 16;
  };
  // Sparse masks, a dense one that fills the LZW dictionary (clear and
  // widen codes), and long runs (the run-length coding's long form).
  const struct {
    uint32_t wordsPerRow, blockRows;
    int density;  // one in `density` bits set; 0: long runs of 0xFF
  } kMasks[] = {{1, 6, 10}, {2, 9, 4}, {1, 1, 2}, {8, 96, 2}, {4, 40, 0}, {1, 60, 30}};
  for (const auto& m : kMasks) {
    std::vector<uint8_t> mask(m.wordsPerRow * m.blockRows * 4, 0);
    for (size_t i = 0; i < mask.size(); ++i) {
      if (m.density == 0) {
        mask[i] = (i / 300) % 2 ? 0xFF : 0x00;
      } else {
        for (int bit = 0; bit < 8; ++bit) {
          if (next() % m.density == 0) mask[i] |= static_cast<uint8_t>(1 << bit);
        }
      }
    }
    WriteMaskSeed(seeds, kMaskStorageLzw, false, EncodeLzwMask(mask.data(), mask.size()),
                  m.wordsPerRow, m.blockRows);
    WriteMaskSeed(seeds, kMaskStorageRunLength, false,
                  EncodeRunLengthMask(mask.data(), mask.size()), m.wordsPerRow, m.blockRows);
    WriteMaskSeed(seeds, 0, true, EncodeFdMask(mask.data(), m.wordsPerRow, m.blockRows),
                  m.wordsPerRow, m.blockRows);
  }
}

// Two frames of a small picture in every chroma layout the reader takes, the
// last with an odd size (chroma rounded up), and one stream with a frame
// parameter line and a comment tag.
void WriteY4mSeeds(SeedWriter& seeds) {
  const Y4mChroma layouts[] = {Y4mChroma::k420Jpeg, Y4mChroma::k420Mpeg2, Y4mChroma::k420PalDv,
                               Y4mChroma::k422,     Y4mChroma::k444,      Y4mChroma::kMono};
  int n = 0;
  for (const Y4mChroma chroma : layouts) {
    Y4mHeader header;
    header.width = 6 + n % 2;
    header.height = 4 + n % 3;
    header.chroma = chroma;
    std::ostringstream out;
    Y4mWriter writer(out, header);
    Y4mFrame frame;
    frame.y.assign(static_cast<size_t>(header.width) * header.height, static_cast<uint8_t>(16 * n));
    const size_t chromaBytes = static_cast<size_t>(header.ChromaWidth()) * header.ChromaHeight();
    frame.cb.assign(chromaBytes, 90);
    frame.cr.assign(chromaBytes, 200);
    writer.WriteFrame(frame);
    writer.WriteFrame(frame);
    const std::string text = out.str();
    seeds.Write("y4m_reader", std::vector<uint8_t>(text.begin(), text.end()));
    ++n;
  }
  const std::string annotated =
      "YUV4MPEG2 W4 H2 F30000:1001 Ip A1:1 Cmono XYSCSS=MONO\nFRAME Ixyz\nabcdefghFRAME\n12345678";
  seeds.Write("y4m_reader", std::vector<uint8_t>(annotated.begin(), annotated.end()));
}

void Generate(const fs::path& root) {
  fs::remove_all(root);
  SeedWriter seeds(root);
  // Sizes that take every route through the frame driver: everything straight
  // into the output (multiples of 32), chroma through the scratch planes
  // (72 x 40, 176 x 144), luma through its own plane as well (100 x 50), luma
  // only, a plane under one block (6 x 5) and a row of 33 blocks (264 wide,
  // two mask words per row).
  const StreamPlan plans[] = {
      {64, 64, true, CoderPlan::kHuffman, MaskStorage::kRaw, 5},
      {72, 40, true, CoderPlan::kArithmetic, MaskStorage::kLzw, 5},
      {100, 50, true, CoderPlan::kAlternate, MaskStorage::kRunLength, 5},
      {72, 40, true, CoderPlan::kHuffman, MaskStorage::kFd, 5},
      {40, 24, false, CoderPlan::kAlternate, MaskStorage::kAuto, 5},
      {33, 17, false, CoderPlan::kArithmetic, MaskStorage::kFd, 4},
      {176, 144, true, CoderPlan::kAlternate, MaskStorage::kAuto, 4},
      {264, 16, false, CoderPlan::kHuffman, MaskStorage::kLzw, 4},
      {6, 5, true, CoderPlan::kHuffman, MaskStorage::kAuto, 3},
      {96, 32, true, CoderPlan::kArithmetic, MaskStorage::kRunLength, 5},
      {64, 48, false, CoderPlan::kHuffman, MaskStorage::kRaw, 5},
      {48, 32, true, CoderPlan::kAlternate, MaskStorage::kFd, 6},
  };
  int variant = 0;
  for (const StreamPlan& plan : plans) {
    const std::vector<std::vector<uint8_t>> frames = EncodeStream(plan, seeds, variant);
    for (int k = 0; k < 3; ++k) WriteStreamSeeds(seeds, plan, frames, variant + k);
    if (variant % 3 == 0 || !plan.withChroma) WriteAviSeed(seeds, plan, frames, variant);
    if (variant == 0) WriteOpenDmlSeed(seeds, frames);
    variant += 3;
  }
  WriteCoefficientSeeds(seeds);
  WriteCodedMaskSeeds(seeds);
  WriteY4mSeeds(seeds);
  std::printf("wrote %d seeds (and AVI files) under %s\n", seeds.Count(), root.string().c_str());
}

}  // namespace
}  // namespace zdc::fuzz

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  try {
    zdc::fuzz::Generate(argv[1]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
