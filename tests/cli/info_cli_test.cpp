// `zdc info`: the stream summary and one line per frame, with the section
// descriptions and the byte count of a real decode.
#include <gtest/gtest.h>

#include <cctype>
#include <sstream>

#include "cli_support.h"
#include "media_temp_dir.h"

namespace {

using namespace zdc_cli_test;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

TEST(InfoCliTest, DescribesStreamAndEveryFrame) {
  zdc_test::MediaTempDir dir;
  const Clip clip = MakeClip("QZV2", 64, 48);
  WriteClip(clip, dir.File("clip.avi"));
  std::vector<int32_t> results;
  ReferenceBuffers(clip, Switches(), &results);

  const RunResult run = RunZdc("info " + Quote(dir.File("clip.avi")), dir.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("picture:     64x48"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("fourcc:      QZV2"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("frames:      " + std::to_string(clip.frames.size())), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("frame rate:  30/1"), std::string::npos) << run.out;

  std::vector<std::vector<std::string>> rows;
  for (const std::string& line : Lines(run.out)) {
    const std::vector<std::string> words = Words(line);
    if (!words.empty() && std::isdigit(static_cast<unsigned char>(words[0][0]))) rows.push_back(words);
  }
  ASSERT_EQ(rows.size(), clip.frames.size()) << run.out;
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].front(), std::to_string(i));
    EXPECT_EQ(rows[i][1], std::to_string(clip.frames[i].size()));
    EXPECT_EQ(rows[i].back(), std::to_string(results[i])) << "decode result of frame " << i;
  }
  // Frame 0: key, quality 50, Huffman luma and first chroma, arithmetic second.
  const std::vector<std::string> key = {"key", "0", "50"};
  EXPECT_EQ(std::vector<std::string>(rows[0].begin() + 2, rows[0].begin() + 5), key);
  EXPECT_EQ(rows[0][6], "huffman");
  EXPECT_EQ(rows[0][8], "huffman");
  EXPECT_EQ(rows[0][10], "arith");
  // Frame 1: delta 1, Huffman with a raw mask, an empty section, ...
  EXPECT_EQ(rows[1][2], "delta");
  EXPECT_EQ(rows[1][6], "huffman/raw");
  EXPECT_EQ(rows[1][7], "16");
  EXPECT_EQ(rows[1][8], "empty");
  EXPECT_EQ(rows[3][6], "arith/raw");
  EXPECT_EQ(rows[5][6], "huffman/lzw");
  EXPECT_EQ(rows[9][6], "huffman/rle");
  // ... the dropped and the short frame say so, the coder-2 key frame shows
  // 'none' and its absent chroma '-'.
  EXPECT_NE(run.out.find("dropped frame"), std::string::npos);
  EXPECT_NE(run.out.find("short frame"), std::string::npos);
  EXPECT_EQ(rows[10][6], "none");
  EXPECT_EQ(rows[10][8], "-");
  EXPECT_EQ(results[10], 24);
}

}  // namespace
