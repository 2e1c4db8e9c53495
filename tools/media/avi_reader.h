// Reader for AVI files with one video stream: AVI 1.0 and OpenDML (RIFF
// 'AVIX' continuations and 'ix##' standard index chunks).
//
// The reader finds frames by walking the 'movi' lists chunk by chunk rather
// than trusting an index, so that files with a missing or wrong index still
// play. Indexes are used only for the key-frame flags. Frame data is read on
// demand; nothing is held in memory but the frame list.
//
// Hostile input: every header field is treated as untrusted. Reads stay inside
// the file, every loop advances, and no allocation is sized from a header
// field. A damaged chunk list yields the frames that can still be found: where
// a chunk header makes no sense (unprintable id, size past its list) the
// reader scans forward for the next chunk header of the video stream.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rational.h"

namespace zdc {

class RandomAccessFile;

struct AviFrame {
  uint64_t offset = 0;  // file offset of the frame's first data byte
  uint32_t length = 0;  // 0 for a dropped frame
  // From 'idx1' or an 'ix##' index. A frame that no index mentions counts as
  // a key frame, as players treat unindexed files.
  bool key = true;
};

class AviReader {
 public:
  // Parses the headers and the frame list; throws MediaError when the file is
  // not an AVI file with a video stream.
  explicit AviReader(const std::string& path);
  ~AviReader();
  AviReader(const AviReader&) = delete;
  AviReader& operator=(const AviReader&) = delete;

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }  // signed, as biHeight: < 0 is top-down
  uint32_t Compression() const { return compression_; }  // biCompression FourCC
  uint32_t Handler() const { return handler_; }          // strh fccHandler
  uint16_t BitCount() const { return bitCount_; }
  // dwRate / dwScale of the video stream header, else 1000000 /
  // dwMicroSecPerFrame of the main header, else 0/0.
  Rational FrameRate() const { return frameRate_; }
  int VideoStreamNumber() const { return streamNumber_; }
  bool HasIndex() const { return hasIndex_; }  // an index supplied key flags
  uint64_t FileSize() const;

  const std::vector<AviFrame>& Frames() const { return frames_; }
  size_t FrameCount() const { return frames_.size(); }

  // The bytes of frame `index`, in a new buffer of exactly the frame's length.
  std::vector<uint8_t> ReadFrame(size_t index);

 private:
  struct Chunk;
  struct IndexRef;

  void ParseFile();
  void ParseRiffBody(uint64_t begin, uint64_t end, bool first);
  void ParseHeaderList(uint64_t begin, uint64_t end);
  void ParseStreamList(uint64_t begin, uint64_t end, int streamNumber);
  void ParseMovie(uint64_t begin, uint64_t end, uint64_t moviFourCCPos);
  void ApplyLegacyIndex(const IndexRef& ref);
  void ApplyChunkIndex(const IndexRef& ref);
  bool ReadChunk(uint64_t pos, uint64_t end, Chunk* chunk);
  bool IsVideoFrameId(uint32_t id) const;
  uint64_t FindNextFrameChunk(uint64_t from, uint64_t end);
  AviFrame* FrameAt(uint64_t dataOffset);

  std::unique_ptr<RandomAccessFile> file_;
  int32_t width_ = 0, height_ = 0;
  uint32_t compression_ = 0, handler_ = 0;
  uint16_t bitCount_ = 0;
  Rational frameRate_;
  uint32_t microSecPerFrame_ = 0;
  int streamNumber_ = -1;
  bool hasIndex_ = false;
  bool haveFirstMovi_ = false;
  uint64_t firstMoviFourCC_ = 0;
  std::vector<AviFrame> frames_;
  std::vector<IndexRef> indexes_;
};

}  // namespace zdc
