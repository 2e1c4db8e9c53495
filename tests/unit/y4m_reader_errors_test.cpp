// The YUV4MPEG2 reader refuses what it cannot read, with a message that says
// why.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "media_error.h"
#include "y4m_reader.h"

namespace {

struct ErrorCase {
  const char* name;
  std::string stream;
  const char* message;  // part of the expected error
};

std::string Expect(const char* message, const std::function<void()>& action) {
  try {
    action();
  } catch (const zdc::MediaError& e) {
    const std::string what = e.what();
    return what.find(message) == std::string::npos ? "wrong message: " + what : "";
  }
  return "no error";
}

TEST(Y4mReaderErrorsTest, BadHeaders) {
  const ErrorCase cases[] = {
      {"empty", "", "not a YUV4MPEG2 stream"},
      {"other magic", "YUV4MPEG W2 H2\n", "not a YUV4MPEG2 stream"},
      {"glued tag", "YUV4MPEG2W2 H2\n", "not a YUV4MPEG2 stream"},
      {"no size", "YUV4MPEG2 F25:1\n", "picture size"},
      {"no height", "YUV4MPEG2 W16\n", "picture size"},
      {"zero width", "YUV4MPEG2 W0 H16\n", "zero picture size"},
      {"zero height", "YUV4MPEG2 W16 H0\n", "zero picture size"},
      {"bad number", "YUV4MPEG2 W1x H16\n", "bad header tag 'W1x'"},
      {"negative", "YUV4MPEG2 W-4 H16\n", "bad header tag"},
      {"huge", "YUV4MPEG2 W99999999 H16\n", "too large"},
      {"huge frame", "YUV4MPEG2 W65535 H65535 C444\n", "too large"},
      {"bad rate", "YUV4MPEG2 W16 H16 F25\n", "bad header tag 'F25'"},
      {"zero rate denominator", "YUV4MPEG2 W16 H16 F25:0\n", "bad header tag"},
      {"bad aspect", "YUV4MPEG2 W16 H16 A1\n", "bad header tag"},
      {"top field first", "YUV4MPEG2 W16 H16 It\n", "interlaced"},
      {"bottom field first", "YUV4MPEG2 W16 H16 Ib\n", "interlaced"},
      {"mixed", "YUV4MPEG2 W16 H16 Im\n", "interlaced"},
      {"10-bit", "YUV4MPEG2 W16 H16 C420p10\n", "unsupported colour space C420p10"},
      {"alpha", "YUV4MPEG2 W16 H16 C444alpha\n", "unsupported colour space"},
      {"cut header", "YUV4MPEG2 W16 H16", "cut header"},
      {"endless header", "YUV4MPEG2 " + std::string(10000, 'X') + "\n", "too long"},
  };
  for (const ErrorCase& c : cases) {
    std::istringstream in(c.stream);
    EXPECT_EQ(Expect(c.message, [&] { zdc::Y4mReader reader(in); }), "") << c.name;
  }
}

TEST(Y4mReaderErrorsTest, BadFrames) {
  const std::string header = "YUV4MPEG2 W4 H2 Cmono\n";
  const ErrorCase cases[] = {
      {"cut frame", header + "FRAME\nabc", "frame 1 is cut short"},
      {"second cut", header + "FRAME\nabcdefghFRAME\nab", "frame 2 is cut short"},
      {"cut marker", header + "FRA", "missing FRAME marker"},
      {"wrong marker", header + "FRAMEXabcdefgh", "missing FRAME marker"},
      {"garbage", header + "hello\nabcdefgh", "missing FRAME marker"},
      {"cut frame line", header + "FRAME Ix", "cut FRAME line"},
  };
  for (const ErrorCase& c : cases) {
    std::istringstream in(c.stream);
    zdc::Y4mReader reader(in);
    zdc::Y4mFrame frame;
    EXPECT_EQ(Expect(c.message, [&] { while (reader.ReadFrame(&frame)) {} }), "") << c.name;
  }
}

// A header may claim a picture of up to 1 GiB; over a stream that holds a
// few bytes, reading it must fail without taking that much memory.
TEST(Y4mReaderErrorsTest, AClaimedHugePictureOverAShortStreamTakesLittleMemory) {
  std::istringstream in("YUV4MPEG2 W65535 H10000 C420jpeg\nFRAME\n" + std::string(1000, 'x'));
  zdc::Y4mReader reader(in);
  zdc::Y4mFrame frame;
  EXPECT_EQ(Expect("frame 1 is cut short", [&] { reader.ReadFrame(&frame); }), "");
  EXPECT_LE(frame.y.capacity() + frame.cb.capacity() + frame.cr.capacity(), size_t{32} << 20);
}

TEST(Y4mReaderErrorsTest, AcceptedVariants) {
  const struct {
    const char* header;
    zdc::Y4mChroma chroma;
    char interlace;
  } cases[] = {
      {"YUV4MPEG2 W4 H4\n", zdc::Y4mChroma::k420Jpeg, 'p'},
      {"YUV4MPEG2 W4 H4 C420 I?\n", zdc::Y4mChroma::k420Jpeg, '?'},
      {"YUV4MPEG2  W4   H4 C420paldv\n", zdc::Y4mChroma::k420PalDv, 'p'},
      {"YUV4MPEG2 W4 H4 C420mpeg2 XYSCSS=420MPEG2\n", zdc::Y4mChroma::k420Mpeg2, 'p'},
      {"YUV4MPEG2 W4 H4 C422 Ip\n", zdc::Y4mChroma::k422, 'p'},
  };
  for (const auto& c : cases) {
    std::istringstream in(c.header);
    zdc::Y4mReader reader(in);
    EXPECT_EQ(reader.Header().chroma, c.chroma) << c.header;
    EXPECT_EQ(reader.Header().interlace, c.interlace) << c.header;
    EXPECT_FALSE(reader.Header().frameRate.Known()) << c.header;
  }
}

}  // namespace
