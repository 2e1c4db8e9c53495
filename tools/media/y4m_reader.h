// Reads a YUV4MPEG2 stream: 8-bit progressive 4:2:0 (C420, C420jpeg,
// C420paldv, C420mpeg2), 4:2:2, 4:4:4 and mono, from a file or standard input.
#pragma once

#include <cstddef>
#include <fstream>
#include <istream>
#include <string>

#include "y4m_format.h"

namespace zdc {

class Y4mReader {
 public:
  // Opens `path` ("-" reads standard input) and parses the header. Throws
  // MediaError for an unreadable file, a bad or unsupported header.
  explicit Y4mReader(const std::string& path);
  // Reads from a stream the caller keeps alive.
  explicit Y4mReader(std::istream& in);

  const Y4mHeader& Header() const { return header_; }

  // Reads the next frame into `frame` (planes resized to the header's sizes).
  // Returns false at the end of the stream; throws MediaError on a damaged or
  // cut frame.
  bool ReadFrame(Y4mFrame* frame);
  size_t FramesRead() const { return framesRead_; }

 private:
  void ParseHeader();
  std::string ReadLine(const char* what);

  std::ifstream file_;
  std::istream* in_;
  Y4mHeader header_;
  size_t framesRead_ = 0;
};

}  // namespace zdc
