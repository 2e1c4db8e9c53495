// The AVI reader on hand-made files: ordinary, unusual and damaged layouts.
#include "avi_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "fourcc.h"
#include "media_avi_builder.h"
#include "media_error.h"
#include "media_temp_dir.h"

namespace {

using zdc::AviReader;
using zdc::FourCC;
using zdc::MediaError;
using namespace zdc_test;

// Offset of `needle` in `haystack` (test payloads are unique).
uint64_t Find(const Bytes& haystack, const Bytes& needle) {
  auto it = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end());
  EXPECT_NE(it, haystack.end());
  return static_cast<uint64_t>(it - haystack.begin());
}

class AviReaderTest : public ::testing::Test {
 protected:
  std::string Save(const Bytes& bytes) {
    const std::string path = dir_.File("clip" + std::to_string(files_++) + ".avi");
    WriteMediaFile(path, bytes);
    return path;
  }

  // Checks that the reader found exactly `frames`, in order, at their places
  // in `file`, and that reading them gives their bytes back.
  void ExpectFrames(AviReader& reader, const Bytes& file, const std::vector<Bytes>& frames) {
    ASSERT_EQ(reader.FrameCount(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
      EXPECT_EQ(reader.Frames()[i].length, frames[i].size()) << "frame " << i;
      if (!frames[i].empty()) {
        EXPECT_EQ(reader.Frames()[i].offset, Find(file, frames[i])) << "frame " << i;
      }
      EXPECT_EQ(reader.ReadFrame(i), frames[i]) << "frame " << i;
    }
  }

  MediaTempDir dir_;
  int files_ = 0;
};

TEST_F(AviReaderTest, OrdinaryFileGivesFormatFramesAndKeyFlags) {
  AviLayout layout;
  layout.width = 176;
  layout.height = 144;
  layout.rate = 30000;
  layout.scale = 1001;
  const std::vector<Bytes> frames = {FramePayload(100, 1), FramePayload(37, 2), FramePayload(64, 3)};
  const Bytes file = SimpleAvi(layout, frames, {true, false, false});
  AviReader reader(Save(file));
  EXPECT_EQ(reader.Width(), 176);
  EXPECT_EQ(reader.Height(), 144);
  EXPECT_EQ(reader.Compression(), FourCC("QZV2"));
  EXPECT_EQ(reader.Handler(), FourCC("QZV2"));
  EXPECT_EQ(reader.BitCount(), 9);
  EXPECT_EQ(reader.FrameRate(), (zdc::Rational{30000, 1001}));
  EXPECT_EQ(reader.FileSize(), file.size());
  EXPECT_TRUE(reader.HasIndex());
  ExpectFrames(reader, file, frames);
  EXPECT_TRUE(reader.Frames()[0].key);
  EXPECT_FALSE(reader.Frames()[1].key);
  EXPECT_FALSE(reader.Frames()[2].key);
}

TEST_F(AviReaderTest, FrameRateFallsBackToMainHeaderThenUnknown) {
  struct Case {
    uint32_t rate, scale, microSecPerFrame;
    zdc::Rational expected;
  } cases[] = {
      {50, 2, 1, {25, 1}},            // reduced
      {0, 1, 40000, {25, 1}},         // no stream rate: 1000000 / 40000
      {30, 0, 33367, {1000000, 33367}},
      {0, 0, 0, {0, 0}},
  };
  for (const Case& c : cases) {
    AviLayout layout;
    layout.rate = c.rate;
    layout.scale = c.scale;
    layout.microSecPerFrame = c.microSecPerFrame;
    AviReader reader(Save(SimpleAvi(layout, {FramePayload(8, 1)}, {true})));
    EXPECT_EQ(reader.FrameRate(), c.expected) << c.rate << "/" << c.scale << " " << c.microSecPerFrame;
  }
}

TEST_F(AviReaderTest, NegativeHeightAndOtherFourCCArePassedThrough) {
  AviLayout layout;
  layout.height = -48;
  layout.compression = "ABCD";
  AviReader reader(Save(SimpleAvi(layout, {FramePayload(8, 1)}, {true})));
  EXPECT_EQ(reader.Height(), -48);
  EXPECT_EQ(reader.Compression(), FourCC("ABCD"));
}

TEST_F(AviReaderTest, SkipsJunkUnknownChunksOtherStreamsAndRecLists) {
  AviLayout layout;
  const std::vector<Bytes> frames = {FramePayload(10, 1), FramePayload(11, 2), FramePayload(12, 3),
                                     FramePayload(13, 4)};
  // The video stream is stream 1, after an audio stream: its chunks are '01dc'.
  const Bytes hdrl = List("hdrl", {MainHeaderChunk(layout, 4), Chunk("JUNK", Bytes(7, 0)), AudioStreamList(),
                                   VideoStreamList(layout), List("odml", {Chunk("dmlh", Le32Bytes(4))})});
  const Bytes movi = List("movi", {Chunk("01wb", FramePayload(9, 9)), Chunk("01dc", frames[0]),
                                   Chunk("JUNK", Bytes(30, 0)), Chunk("00wb", FramePayload(5, 8)),
                                   Chunk("00dc", FramePayload(6, 7)),  // not the video stream
                                   List("rec ", {Chunk("01db", frames[1]), Chunk("00wb", Bytes(4, 1))}),
                                   Chunk("zzzz", Bytes(3, 0)), Chunk("01dc", frames[2]),
                                   Chunk("01dc", frames[3])});
  const Bytes file = List("AVI ", {Chunk("JUNK", Bytes(100, 0)), hdrl, List("INFO", {Chunk("ISFT", Text("x"))}),
                                   Chunk("JUNK", Bytes(2, 0)), movi},
                          "RIFF");
  AviReader reader(Save(file));
  EXPECT_EQ(reader.VideoStreamNumber(), 1);
  EXPECT_FALSE(reader.HasIndex());
  ExpectFrames(reader, file, frames);
  for (const zdc::AviFrame& frame : reader.Frames()) EXPECT_TRUE(frame.key);
}

TEST_F(AviReaderTest, OddSizedChunksWithAndWithoutPadByte) {
  AviLayout layout;
  const std::vector<Bytes> frames = {FramePayload(7, 1), FramePayload(1, 2), FramePayload(5, 3),
                                     FramePayload(4, 4)};
  for (bool pad : {true, false}) {
    std::vector<Bytes> chunks;
    for (const Bytes& frame : frames) chunks.push_back(Chunk("00dc", frame, pad));
    const Bytes file =
        List("AVI ", {List("hdrl", {MainHeaderChunk(layout, 4), VideoStreamList(layout)}), ListOf("movi", chunks)},
             "RIFF");
    AviReader reader(Save(file));
    SCOPED_TRACE(pad ? "padded" : "unpadded");
    ExpectFrames(reader, file, frames);
  }
}

TEST_F(AviReaderTest, ZeroLengthChunksAreDroppedFrames) {
  AviLayout layout;
  const std::vector<Bytes> frames = {FramePayload(20, 1), Bytes(), Bytes(), FramePayload(21, 2)};
  const Bytes file = SimpleAvi(layout, frames, {true, false, false, false});
  AviReader reader(Save(file));
  ExpectFrames(reader, file, frames);
}

TEST_F(AviReaderTest, MissingIndexLeavesEveryFrameKey) {
  AviLayout layout;
  const std::vector<Bytes> frames = {FramePayload(20, 1), FramePayload(21, 2)};
  const Bytes file = SimpleAvi(layout, frames, {}, false);
  AviReader reader(Save(file));
  EXPECT_FALSE(reader.HasIndex());
  ExpectFrames(reader, file, frames);
  EXPECT_TRUE(reader.Frames()[1].key);
}

TEST_F(AviReaderTest, IndexWithAbsoluteOffsets) {
  AviLayout layout;
  const std::vector<Bytes> frames = {FramePayload(20, 1), FramePayload(21, 2), FramePayload(22, 3)};
  Bytes withoutIndex = SimpleAvi(layout, frames, {}, false);
  Bytes index;
  const bool keys[] = {false, true, false};
  for (size_t i = 0; i < frames.size(); ++i) {
    const Bytes entry = IndexEntry("00dc", keys[i] ? 0x10 : 0, static_cast<uint32_t>(Find(withoutIndex, frames[i]) - 8),
                                   static_cast<uint32_t>(frames[i].size()));
    index.insert(index.end(), entry.begin(), entry.end());
  }
  const Bytes idx1 = Chunk("idx1", index);
  Bytes file = withoutIndex;
  file.insert(file.end(), idx1.begin(), idx1.end());
  const uint32_t riffSize = static_cast<uint32_t>(file.size() - 8);
  std::copy_n(Le32Bytes(riffSize).begin(), 4, file.begin() + 4);
  AviReader reader(Save(file));
  ASSERT_EQ(reader.FrameCount(), 3u);
  EXPECT_TRUE(reader.HasIndex());
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(reader.Frames()[i].key, keys[i]) << i;
}

TEST_F(AviReaderTest, TruncatedFileKeepsTheWholeFrames) {
  AviLayout layout;
  const std::vector<Bytes> frames = {FramePayload(40, 1), FramePayload(40, 2), FramePayload(40, 3)};
  const Bytes file = SimpleAvi(layout, frames, {true, true, true});
  const uint64_t third = Find(file, frames[2]);
  struct Case {
    uint64_t cut;
    size_t expectedFrames;
  } cases[] = {
      {third + 20, 2},  // inside the third frame
      {third - 4, 2},   // inside the third frame's header
      {third + 40, 3},  // right after the last frame, index gone
      {Find(file, frames[0]) + 1, 0},
  };
  for (const Case& c : cases) {
    const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(c.cut));
    AviReader reader(Save(cut));
    SCOPED_TRACE(c.cut);
    ExpectFrames(reader, cut, std::vector<Bytes>(frames.begin(), frames.begin() + c.expectedFrames));
  }
}

TEST_F(AviReaderTest, GarbageChunkSizesAndIdsResynchronise) {
  AviLayout layout;
  const std::vector<Bytes> frames = {FramePayload(30, 1), FramePayload(31, 2), FramePayload(32, 3)};
  const Bytes hdrl = List("hdrl", {MainHeaderChunk(layout, 3), VideoStreamList(layout)});
  const Bytes movi = List("movi", {Chunk("00dc", frames[0]), ChunkWithSize("00dc", 0xFFFFFF00u, FramePayload(50, 7)),
                                   Bytes{0xFF, 0x00, 0x13, 0x37, 0xFF, 0xFF, 0xFF, 0xFF}, Chunk("00dc", frames[1]),
                                   ChunkWithSize("JUNK", 0x7FFFFFFF, Bytes(10, 0)), Chunk("00dc", frames[2])});
  // The RIFF and movi sizes are garbage as well.
  Bytes file = List("AVI ", {hdrl, movi}, "RIFF");
  std::copy_n(Le32Bytes(0xFFFFFFF0u).begin(), 4, file.begin() + 4);
  const uint64_t moviAt = Find(file, Text("movi")) - 8;
  std::copy_n(Le32Bytes(0xFFFFFFF0u).begin(), 4, file.begin() + static_cast<std::ptrdiff_t>(moviAt) + 4);
  AviReader reader(Save(file));
  ExpectFrames(reader, file, frames);
}

// A writer that stopped before patching its headers leaves the RIFF and
// 'movi' sizes at 0 and writes no index.
TEST_F(AviReaderTest, UnpatchedZeroSizesRunToTheEndOfTheFile) {
  AviLayout layout;
  const std::vector<Bytes> frames = {FramePayload(30, 1), FramePayload(31, 2)};
  const Bytes file = Join({Text("RIFF"), Le32Bytes(0), Text("AVI "),
                           List("hdrl", {MainHeaderChunk(layout, 0), VideoStreamList(layout)}), Text("LIST"),
                           Le32Bytes(0), Text("movi"), Chunk("00dc", frames[0]), Chunk("00dc", frames[1])});
  AviReader reader(Save(file));
  ExpectFrames(reader, file, frames);
}

TEST_F(AviReaderTest, OpenDmlExtensionAppendsFramesAndReadsChunkIndex) {
  AviLayout layout;
  const std::vector<Bytes> first = {FramePayload(20, 1), FramePayload(21, 2)};
  const std::vector<Bytes> second = {FramePayload(22, 3), FramePayload(23, 4), FramePayload(24, 5)};
  const Bytes riff1 = SimpleAvi(layout, first, {true, false});
  // RIFF 'AVIX' { LIST 'movi' { frames..., ix00 } }; ix00 entries count from
  // qwBaseOffset and point at the frame data.
  const uint64_t moviData = riff1.size() + 12 + 12;
  std::vector<Bytes> chunks;
  Bytes entries;
  uint64_t pos = moviData;
  const bool keys[] = {true, false, false};
  for (size_t i = 0; i < second.size(); ++i) {
    chunks.push_back(Chunk("00dc", second[i]));
    const uint32_t size = static_cast<uint32_t>(second[i].size()) | (keys[i] ? 0 : 0x80000000u);
    entries = Join({entries, Le32Bytes(static_cast<uint32_t>(pos + 8 - moviData)), Le32Bytes(size)});
    pos += chunks.back().size();
  }
  chunks.push_back(Chunk("ix00", Join({Le16Bytes(2), Bytes{0, 1}, Le32Bytes(3), Text("00dc"),
                                       Le64Bytes(moviData), Le32Bytes(0), entries})));
  const Bytes riff2 = List("AVIX", {ListOf("movi", chunks)}, "RIFF");
  const Bytes file = Join({riff1, riff2});
  AviReader reader(Save(file));
  ExpectFrames(reader, file, {first[0], first[1], second[0], second[1], second[2]});
  const bool expectedKeys[] = {true, false, true, false, false};
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(reader.Frames()[i].key, expectedKeys[i]) << i;
}

TEST_F(AviReaderTest, RefusesFilesThatAreNotVideoAvi) {
  AviLayout layout;
  // A 12-byte 'strf': too short for a BITMAPINFOHEADER.
  const Bytes strf = Chunk("strf", Join({Le32Bytes(40), Le32Bytes(64), Le32Bytes(48)}));
  const Bytes shortFormat =
      List("AVI ", {List("hdrl", {MainHeaderChunk(layout, 1), List("strl", {Chunk("strh", Join({Text("vids"), Bytes(52, 0)})), strf})}),
                    List("movi", {Chunk("00dc", Bytes(4, 0))})},
           "RIFF");
  const struct Case {
    const char* name;
    Bytes bytes;
    const char* message;
  } cases[] = {
      {"empty", Bytes(), "too short"},
      {"text", Text("hello, this is not a video file"), "not a RIFF file"},
      {"wave", List("WAVE", {Chunk("fmt ", Bytes(16, 0))}, "RIFF"), "RIFF form 'WAVE'"},
      {"audio only",
       List("AVI ", {List("hdrl", {MainHeaderChunk(layout, 0), AudioStreamList()}), List("movi", {})}, "RIFF"),
       "no video stream"},
      {"no header list", List("AVI ", {List("movi", {Chunk("00dc", Bytes(4, 0))})}, "RIFF"), "no video stream"},
      {"short format", shortFormat, "too short"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Save(c.bytes);
    try {
      AviReader reader(path);
      ADD_FAILURE() << "accepted";
    } catch (const MediaError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW(AviReader(dir_.File("does_not_exist.avi")), MediaError);
}

// Random damage to a valid file: the reader must either refuse it or give
// frames that lie inside the file, and must always finish.
TEST_F(AviReaderTest, SurvivesRandomDamage) {
  AviLayout layout;
  std::vector<Bytes> frames;
  for (int i = 0; i < 12; ++i) frames.push_back(FramePayload(static_cast<size_t>(5 + 7 * i), static_cast<uint8_t>(i)));
  const Bytes original = SimpleAvi(layout, frames, std::vector<bool>(12, true));
  std::mt19937 random(12345);
  for (int round = 0; round < 400; ++round) {
    Bytes damaged = original;
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int e = 0; e < edits; ++e) damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
    if (round % 3 == 0) damaged.resize(random() % damaged.size());
    const std::string path = Save(damaged);
    try {
      AviReader reader(path);
      for (size_t i = 0; i < reader.FrameCount(); ++i) {
        const zdc::AviFrame& frame = reader.Frames()[i];
        ASSERT_LE(frame.offset + frame.length, damaged.size()) << "round " << round;
        ASSERT_EQ(reader.ReadFrame(i).size(), frame.length);
      }
    } catch (const MediaError&) {
    }
  }
}

}  // namespace
