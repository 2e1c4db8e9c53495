// Frames past 4 GB: a sparse file whose first RIFF list is filled up by a
// 'JUNK' hole and whose 'AVIX' continuation holds frames beyond the 32-bit
// range, so every offset computation must be 64-bit. The holes take no disk
// space on the file systems tests run on.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fstream>

#include "avi_reader.h"
#include "media_avi_builder.h"
#include "media_temp_dir.h"

namespace {

using namespace zdc_test;

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
