// The AVI reader on hand-made files (ordinary, unusual, damaged and refused
// layouts, one table row each, and frames past 4 GB in a sparse file) and the
// AVI writer read back by the reader.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "avi_reader.h"
#include "avi_writer.h"
#include "fourcc.h"
#include "media_avi_builder.h"
#include "media_error.h"
#include "media_temp_dir.h"

namespace {

using namespace zdc_test;

// Offset of `needle` in `haystack` (test payloads are unique).
uint64_t Find(const Bytes& haystack, const Bytes& needle) {
  return static_cast<uint64_t>(std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) -
                               haystack.begin());
}

void SetLe32(Bytes& file, uint64_t at, uint32_t value) {
  std::copy_n(Le32Bytes(value).begin(), 4, file.begin() + static_cast<std::ptrdiff_t>(at));
}

std::vector<Bytes> Payloads(std::initializer_list<size_t> lengths) {
  std::vector<Bytes> frames;
  for (size_t length : lengths) frames.push_back(FramePayload(length, static_cast<uint8_t>(frames.size() + 1)));
  return frames;
}

TEST(AviReader, Layouts) {
  const AviLayout layout;
  const std::vector<Bytes> f = Payloads({20, 21, 22, 23, 24});

  // Idx1 entries with offsets from the start of the file rather than 'movi'.
  Bytes absolute = SimpleAvi(layout, {f[0], f[1], f[2]}, {}, false);
  Bytes index;
  for (int i = 0; i < 3; ++i) {
    const Bytes entry = IndexEntry("00dc", i == 1 ? 0x10 : 0, static_cast<uint32_t>(Find(absolute, f[i]) - 8), 20 + i);
    index.insert(index.end(), entry.begin(), entry.end());
  }
  absolute = Join({absolute, Chunk("idx1", index)});
  SetLe32(absolute, 4, static_cast<uint32_t>(absolute.size() - 8));

  // An empty 'movi' list before the frames' one: idx1 counts from the first.
  Bytes emptyFirst = List("AVI ", {List("hdrl", {MainHeaderChunk(layout, 2), VideoStreamList(layout)}),
                                   ListOf("movi", {}), List("movi", {Chunk("00dc", f[0]), Chunk("00dc", f[1])})},
                          "RIFF");
  const uint64_t firstMovi = Find(emptyFirst, Text("movi"));
  auto relative = [&](const Bytes& frame) { return static_cast<uint32_t>(Find(emptyFirst, frame) - 8 - firstMovi); };
  emptyFirst = Join({emptyFirst, Chunk("idx1", Join({IndexEntry("00dc", 0, relative(f[0]), 20),
                                                     IndexEntry("00dc", 0x10, relative(f[1]), 21)}))});
  SetLe32(emptyFirst, 4, static_cast<uint32_t>(emptyFirst.size() - 8));

  // OpenDML: RIFF 'AVIX' { movi { frames, ix00 } }, the standard index's
  // entries counted from its base offset, bit 31 of a size marking a delta.
  const Bytes riff1 = SimpleAvi(layout, {f[0], f[1]}, {true, false});
  const uint64_t moviData = riff1.size() + 24;
  std::vector<Bytes> chunks;
  Bytes entries;
  for (int i = 2, at = 0; i < 5; ++i) {
    chunks.push_back(Chunk("00dc", f[i]));
    entries = Join({entries, Le32Bytes(at + 8), Le32Bytes(static_cast<uint32_t>(f[i].size()) | (i == 2 ? 0 : 0x80000000u))});
    at += static_cast<int>(chunks.back().size());
  }
  chunks.push_back(Chunk("ix00", Join({Le16Bytes(2), Bytes{0, 1}, Le32Bytes(3), Text("00dc"), Le64Bytes(moviData),
                                       Le32Bytes(0), entries})));
  const Bytes openDml = Join({riff1, List("AVIX", {ListOf("movi", chunks)}, "RIFF")});

  // Garbage chunk sizes and ids, garbage RIFF and 'movi' sizes.
  Bytes garbage = List("AVI ", {List("hdrl", {MainHeaderChunk(layout, 3), VideoStreamList(layout)}),
                                List("movi", {Chunk("00dc", f[0]), ChunkWithSize("00dc", 0xFFFFFF00u, FramePayload(50, 7)),
                                              Bytes{0xFF, 0x00, 0x13, 0x37, 0xFF, 0xFF, 0xFF, 0xFF}, Chunk("00dc", f[1]),
                                              ChunkWithSize("JUNK", 0x7FFFFFFF, Bytes(10, 0)), Chunk("00dc", f[2])})},
                       "RIFF");
  SetLe32(garbage, 4, 0xFFFFFFF0u);
  SetLe32(garbage, Find(garbage, Text("movi")) - 4, 0xFFFFFFF0u);

  // The video stream as stream 99, the last a chunk id can address.
  std::vector<Bytes> streams(99, AudioStreamList());
  streams.insert(streams.begin(), MainHeaderChunk(layout, 1));
  streams.push_back(VideoStreamList(layout));
  const Bytes stream99 = List("AVI ", {ListOf("hdrl", streams), List("movi", {Chunk("99dc", f[0])})}, "RIFF");

  // A stream header of just its type is enough; a second video stream is not used.
  AviLayout other;
  other.width = 32;
  const Bytes strf =
      Join({Le32Bytes(40), Le32Bytes(64), Le32Bytes(48), Le16Bytes(1), Le16Bytes(9), Text("QZV2"), Bytes(20, 0)});
  const Bytes twoVideo = List("AVI ", {List("hdrl", {MainHeaderChunk(layout, 1),
                                                     List("strl", {Chunk("strh", Text("vids")), Chunk("strf", strf)}),
                                                     VideoStreamList(other)}),
                                       List("movi", {Chunk("00dc", f[0]), Chunk("01dc", f[1])})}, "RIFF");

  const Bytes plain = SimpleAvi(layout, {f[0], f[1], f[2]}, {true, true, true});
  auto cut = [&plain](uint64_t size) { return Bytes(plain.begin(), plain.begin() + static_cast<std::ptrdiff_t>(size)); };
  // Odd chunks without their pad byte (the writer pads them; its files are read back below).
  std::vector<Bytes> odd;
  for (const Bytes& frame : Payloads({7, 1, 5, 4})) odd.push_back(Chunk("00dc", frame, false));
  const Bytes unpadded =
      List("AVI ", {List("hdrl", {MainHeaderChunk(layout, 4), VideoStreamList(layout)}), ListOf("movi", odd)}, "RIFF");

  struct Case {
    const char* name;
    Bytes file;
    std::vector<Bytes> frames;
    const char* keys;  // '1' a key frame, '0' not; "" unchecked
    bool hasIndex;
  } const cases[] = {
      {"ordinary", SimpleAvi(layout, {f[0], f[1], f[2]}, {true, false, false}), {f[0], f[1], f[2]}, "100", true},
      {"no index: every frame key", SimpleAvi(layout, {f[0], f[1]}, {}, false), {f[0], f[1]}, "11", false},
      {"odd chunks unpadded", unpadded, Payloads({7, 1, 5, 4}), "", false},
      {"index with absolute offsets", absolute, {f[0], f[1], f[2]}, "010", true},
      {"an empty 'movi' first", emptyFirst, {f[0], f[1]}, "01", true},
      {"OpenDML continuation", openDml, f, "10100", true},
      {"garbage sizes resynchronise", garbage, {f[0], f[1], f[2]}, "", false},
      {"unpatched zero sizes run to the end",
       Join({Text("RIFF"), Le32Bytes(0), Text("AVI "), List("hdrl", {MainHeaderChunk(layout, 0), VideoStreamList(layout)}),
             Text("LIST"), Le32Bytes(0), Text("movi"), Chunk("00dc", f[0]), Chunk("00dc", f[1])}),
       {f[0], f[1]}, "", false},
      {"cut inside the third frame", cut(Find(plain, f[2]) + 10), {f[0], f[1]}, "", false},
      {"cut inside the third frame's header", cut(Find(plain, f[2]) - 4), {f[0], f[1]}, "", false},
      {"cut right after the last frame", cut(Find(plain, f[2]) + 22), {f[0], f[1], f[2]}, "", false},
      {"cut inside the first frame", cut(Find(plain, f[0]) + 1), {}, "", false},
      {"20-byte format", List("AVI ", {List("hdrl", {MainHeaderChunk(layout, 1), VideoStreamList(layout, 20)}),
                                       List("movi", {Chunk("00dc", f[0])})}, "RIFF"), {f[0]}, "", false},
      {"a second 'strh' and 'strf' are ignored",
       List("AVI ", {List("hdrl", {MainHeaderChunk(layout, 1),
                                   VideoStreamList(layout, 40, Join({Chunk("strh", Bytes(56, 0)),
                                                                     Chunk("strf", Bytes(40, 0))}))}),
                     List("movi", {Chunk("00dc", f[0])})}, "RIFF"), {f[0]}, "", false},
      {"video as stream 99", stream99, {f[0]}, "", false},
      {"the first of two video streams, its header 4 bytes", twoVideo, {f[0]}, "", false},
  };
  MediaTempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteMediaFile(dir.File("clip.avi"), c.file);
    zdc::AviReader reader(dir.File("clip.avi"));
    EXPECT_EQ(reader.Width(), 64);
    EXPECT_EQ(reader.Compression(), zdc::FourCC("QZV2"));
    EXPECT_EQ(reader.HasIndex(), c.hasIndex);
    ASSERT_EQ(reader.FrameCount(), c.frames.size());
    for (size_t i = 0; i < c.frames.size(); ++i) {
      EXPECT_EQ(reader.Frames()[i].length, c.frames[i].size()) << "frame " << i;
      if (!c.frames[i].empty()) {
        EXPECT_EQ(reader.Frames()[i].offset, Find(c.file, c.frames[i])) << "frame " << i;
      }
      EXPECT_EQ(reader.ReadFrame(i), c.frames[i]) << "frame " << i;
      if (*c.keys) {
        EXPECT_EQ(reader.Frames()[i].key, c.keys[i] == '1') << "frame " << i;
      }
    }
  }
}

TEST(AviReader, StreamsAndFormat) {
  // The video stream after an audio stream is stream 1: its chunks are '01dc'
  // (and '01db'), inside 'rec ' lists too; everything else is skipped.
  AviLayout layout;
  layout.width = 176;
  layout.height = -144;
  layout.compression = "ABCD";
  const std::vector<Bytes> f = Payloads({10, 11, 12});
  const Bytes file = List(
      "AVI ",
      {Chunk("JUNK", Bytes(100, 0)),
       List("hdrl", {MainHeaderChunk(layout, 3), Chunk("JUNK", Bytes(7, 0)), AudioStreamList(), VideoStreamList(layout),
                     List("odml", {Chunk("dmlh", Le32Bytes(4))})}),
       List("INFO", {Chunk("ISFT", Text("x"))}),
       List("movi", {Chunk("01wb", FramePayload(9, 9)), Chunk("01dc", f[0]), Chunk("00dc", FramePayload(6, 7)),
                     List("rec ", {Chunk("01db", f[1]), Chunk("00wb", Bytes(4, 1))}), Chunk("zzzz", Bytes(3, 0)),
                     Chunk("01dc", f[2])})},
      "RIFF");
  MediaTempDir dir;
  WriteMediaFile(dir.File("a.avi"), file);
  zdc::AviReader reader(dir.File("a.avi"));
  EXPECT_EQ(reader.VideoStreamNumber(), 1);
  EXPECT_EQ(reader.Width(), 176);
  EXPECT_EQ(reader.Height(), -144);
  EXPECT_EQ(reader.Compression(), zdc::FourCC("ABCD"));
  EXPECT_EQ(reader.Handler(), zdc::FourCC("ABCD"));
  EXPECT_EQ(reader.BitCount(), 9);
  ASSERT_EQ(reader.FrameCount(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(reader.ReadFrame(i), f[i]);

  // The stream's rate reduced, else the main header's, else unknown.
  struct Rate {
    uint32_t rate, scale, microSecPerFrame;
    zdc::Rational expected;
  } const rates[] = {{30000, 1001, 1, {30000, 1001}}, {50, 2, 1, {25, 1}}, {0, 1, 40000, {25, 1}},
                     {30, 0, 33367, {1000000, 33367}}, {0, 0, 0, {0, 0}}};
  for (const Rate& r : rates) {
    layout.rate = r.rate;
    layout.scale = r.scale;
    layout.microSecPerFrame = r.microSecPerFrame;
    WriteMediaFile(dir.File("r.avi"), SimpleAvi(layout, {FramePayload(8, 1)}, {true}));
    EXPECT_EQ(zdc::AviReader(dir.File("r.avi")).FrameRate(), r.expected) << r.rate << "/" << r.scale;
  }
}

TEST(AviReader, RefusesFilesThatAreNotVideoAvi) {
  const AviLayout layout;
  const Bytes movi = List("movi", {Chunk("00dc", Bytes(4, 0))});
  struct Case {
    const char* name;
    Bytes bytes;
    const char* message;
  } const cases[] = {
      {"empty", Bytes(), "too short"},
      {"text", Text("hello, this is not a video file"), "not a RIFF file"},
      {"wave", List("WAVE", {Chunk("fmt ", Bytes(16, 0))}, "RIFF"), "RIFF form 'WAVE'"},
      {"audio only", List("AVI ", {List("hdrl", {MainHeaderChunk(layout, 0), AudioStreamList()}), movi}, "RIFF"),
       "no video stream"},
      {"no header list", List("AVI ", {movi}, "RIFF"), "no video stream"},
      {"19-byte format",
       List("AVI ", {List("hdrl", {MainHeaderChunk(layout, 1), VideoStreamList(layout, 19)}), movi}, "RIFF"),
       "too short"},
  };
  MediaTempDir dir;
  for (const Case& c : cases) {
    WriteMediaFile(dir.File("bad.avi"), c.bytes);
    try {
      zdc::AviReader reader(dir.File("bad.avi"));
      ADD_FAILURE() << c.name << ": accepted";
    } catch (const zdc::MediaError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.name << ": " << e.what();
    }
  }
}

TEST(AviWriter, ReadBackByTheReader) {
  struct Case {
    const char* fourcc;
    int32_t width, height;
    zdc::Rational rate;
    uint16_t bits;
    size_t frames;
  } const cases[] = {{"QZV2", 176, 144, {30000, 1001}, 9, 23}, {"QZV3", 100, 50, {25, 1}, 8, 9},
                     {"QZV4", 640, 480, {60, 2}, 9, 2}, {"QZV2", 32, 32, {25, 1}, 9, 0}};
  MediaTempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fourcc);
    zdc::AviVideoFormat format;
    format.width = c.width;
    format.height = c.height;
    format.compression = zdc::MakeFourCC(c.fourcc[0], c.fourcc[1], c.fourcc[2], c.fourcc[3]);
    format.frameRate = c.rate;
    const std::string path = dir.File("out.avi");
    std::vector<Bytes> frames;
    {
      zdc::AviWriter writer(path, format);
      for (size_t i = 0; i < c.frames; ++i) {
        // Odd, even and zero lengths; every fifth frame a key frame.
        frames.push_back(FramePayload(i % 7 == 3 ? 0 : 50 + (i * 37) % 101, static_cast<uint8_t>(i)));
        writer.WriteFrame(frames.back().data(), static_cast<uint32_t>(frames.back().size()), i % 5 == 0);
      }
      if (c.frames) writer.Finish();  // else the destructor finishes the file
    }
    zdc::AviReader reader(path);
    EXPECT_EQ(reader.Width(), c.width);
    EXPECT_EQ(reader.Height(), c.height);
    EXPECT_EQ(reader.Compression(), format.compression);
    EXPECT_EQ(reader.BitCount(), c.bits);
    EXPECT_EQ(reader.FrameRate(), c.rate.Reduced());
    EXPECT_TRUE(reader.HasIndex() || c.frames == 0);
    ASSERT_EQ(reader.FrameCount(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
      EXPECT_EQ(reader.ReadFrame(i), frames[i]) << i;
      EXPECT_EQ(reader.Frames()[i].key, i % 5 == 0) << i;
    }
  }
}

TEST(AviWriter, FailedWritesAreErrors) {
  zdc::AviVideoFormat format;
  format.width = format.height = 32;
  format.compression = zdc::FourCC("QZV2");
  MediaTempDir dir;
  EXPECT_THROW(zdc::AviWriter(dir.File("missing/out.avi"), format), zdc::MediaError);
  // A full device takes the header into the stream's buffer, then fails:
  // on writing large frames, or small ones only when Finish flushes them.
  for (const size_t size : {size_t{1} << 20, size_t{16}}) {
    const Bytes frame(size, 7);
    EXPECT_THROW(
        {
          zdc::AviWriter writer("/dev/full", format);
          for (int i = 0; i < 4; ++i) writer.WriteFrame(frame.data(), static_cast<uint32_t>(frame.size()), true);
          writer.Finish();
        },
        zdc::MediaError)
        << size;
  }
}

// Frames past 4 GB: a sparse file whose first RIFF list is filled up by a
// 'JUNK' hole and whose 'AVIX' continuation holds frames beyond the 32-bit
// range, so every offset computation must be 64-bit.
TEST(AviLargeFileTest, FramesBeyondFourGigabytes) {
  MediaTempDir dir;
  const std::string path = dir.File("large.avi");
  AviLayout layout;
  const Bytes frameA = FramePayload(33, 1), frameB = FramePayload(34, 2), frameC = FramePayload(35, 3);

  // RIFF 'AVI ' { hdrl, movi { A }, JUNK (hole) } with the largest size the
  // 32-bit field holds.
  const Bytes hdrl = List("hdrl", {MainHeaderChunk(layout, 3), VideoStreamList(layout)});
  const Bytes movi = List("movi", {Chunk("00dc", frameA)});
  const uint32_t riffSize = 0xFFFFFFF0u;
  const uint64_t junkData = 12 + hdrl.size() + movi.size() + 8;
  const uint32_t junkSize = static_cast<uint32_t>(8 + riffSize - junkData);
  const Bytes head = Join({Text("RIFF"), Le32Bytes(riffSize), Text("AVI "), hdrl, movi,
                           ChunkWithSize("JUNK", junkSize, Bytes())});
  // RIFF 'AVIX' { movi { JUNK (1 GB hole), B, C } } right after it.
  const uint64_t avix = 8ull + riffSize;
  const uint32_t hole = 1u << 30;
  const Bytes frames = Join({Chunk("00dc", frameB), Chunk("00dc", frameC)});
  const uint32_t moviSize = static_cast<uint32_t>(4 + 8 + hole + frames.size());
  const Bytes avixHead = Join({Text("RIFF"), Le32Bytes(4 + 8 + moviSize), Text("AVIX"), Text("LIST"),
                               Le32Bytes(moviSize), Text("movi"), ChunkWithSize("JUNK", hole, Bytes())});
  const uint64_t framesAt = avix + avixHead.size() + hole;
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
    out.seekp(static_cast<std::streamoff>(avix));
    out.write(reinterpret_cast<const char*>(avixHead.data()), static_cast<std::streamsize>(avixHead.size()));
    out.seekp(static_cast<std::streamoff>(framesAt));
    out.write(reinterpret_cast<const char*>(frames.data()), static_cast<std::streamsize>(frames.size()));
    ASSERT_TRUE(out.good());
  }
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  if (static_cast<uint64_t>(info.st_blocks) * 512 > (uint64_t{64} << 20)) {
    GTEST_SKIP() << "the file system does not keep holes";
  }

  zdc::AviReader reader(path);
  EXPECT_EQ(reader.FileSize(), framesAt + frames.size());
  ASSERT_EQ(reader.FrameCount(), 3u);
  EXPECT_EQ(reader.Frames()[1].offset, framesAt + 8);
  EXPECT_GT(reader.Frames()[2].offset, uint64_t{1} << 32);
  EXPECT_EQ(reader.ReadFrame(0), frameA);
  EXPECT_EQ(reader.ReadFrame(1), frameB);
  EXPECT_EQ(reader.ReadFrame(2), frameC);
}

}  // namespace
