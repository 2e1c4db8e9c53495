// Exit statuses and messages of the zdc tool for bad files and bad options.
#include <gtest/gtest.h>

#include <algorithm>

#include "cli_support.h"
#include "media_temp_dir.h"

namespace {

using namespace zdc_cli_test;

class ErrorsCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    good_ = dir_.File("good.avi");
    WriteClip(MakeClip("QZV2", 32, 32), good_);
    Clip other = MakeClip("QZV2", 32, 32);
    other.fourcc = "XVID";
    wrongFourCC_ = dir_.File("xvid.avi");
    WriteClip(other, wrongFourCC_);
    text_ = dir_.File("notes.avi");
    zdc_test::WriteMediaFile(text_, Bytes{'h', 'e', 'l', 'l', 'o'});
  }

  zdc_test::MediaTempDir dir_;
  std::string good_, wrongFourCC_, text_;
};

TEST_F(ErrorsCliTest, BadFilesGiveOneLineAndStatusOne) {
  const std::string out = Quote(dir_.File("out.yvu9"));
  const struct Case {
    std::string args, file, message;
  } cases[] = {
      {"decode " + Quote(dir_.File("missing.avi")) + " -o " + out, dir_.File("missing.avi"), "cannot open"},
      {"decode " + Quote(text_) + " -o " + out, text_, "not"},
      {"decode " + Quote(wrongFourCC_) + " -o " + out, wrongFourCC_, "XVID"},
      {"info " + Quote(wrongFourCC_), wrongFourCC_, "XVID"},
      {"info " + Quote(text_), text_, "not"},
      {"decode " + Quote(good_) + " -o " + Quote(dir_.File("no/such/folder/out.yvu9")),
       dir_.File("no/such/folder/out.yvu9"), "cannot create"},
  };
  for (const Case& c : cases) {
    const RunResult run = RunZdc(c.args, dir_.Path());
    EXPECT_EQ(run.status, 1) << c.args;
    const std::string prefix = "zdc: " + c.file + ": ";
    EXPECT_EQ(run.err.compare(0, prefix.size(), prefix), 0) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
}

TEST_F(ErrorsCliTest, BadOptionsGiveUsageAndStatusTwo) {
  const std::string in = Quote(good_), out = Quote(dir_.File("out"));
  const char* const argsList[] = {
      "",
      "frobnicate",
      "info",
      "info a.avi b.avi",
      "decode",
      "decode IN",
      "decode -o X",
      "decode IN -o",
      "decode IN IN2 -o X",
      "decode IN -o X --format bmp",
      "decode IN -o X --quality 1.5",
      "decode IN -o X --quality -0.1",
      "decode IN -o X --quality abc",
      "decode IN -o X --quality nan",
      "decode IN -o X --quality",
      "decode IN -o X --speed",
      "decode IN --format png -o -",
      "decode IN --format png -o %s.png",
      "decode IN --format png -o %d_%d.png",
  };
  for (std::string args : argsList) {
    for (size_t at; (at = args.find("IN")) != std::string::npos;) args.replace(at, 2, in);
    for (size_t at; (at = args.find(" X")) != std::string::npos;) args.replace(at, 2, " " + out);
    const RunResult run = RunZdc(args, dir_.Path());
    EXPECT_EQ(run.status, 2) << args << "\n" << run.err;
    EXPECT_NE(run.err.find("usage: zdc"), std::string::npos) << args << "\n" << run.err;
  }
}

TEST_F(ErrorsCliTest, HelpSucceeds) {
  const RunResult run = RunZdc("--help", dir_.Path());
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("usage: zdc"), std::string::npos);
  EXPECT_NE(run.out.find("frame_000001.png"), std::string::npos);
}

}  // namespace
