#include "avi_reader.h"

#include <algorithm>

#include "byte_order.h"
#include "fourcc.h"
#include "media_error.h"
#include "random_access_file.h"

namespace zdc {

namespace {

constexpr uint32_t kRiff = FourCC("RIFF");
constexpr uint32_t kList = FourCC("LIST");
constexpr uint32_t kAviForm = FourCC("AVI ");
constexpr uint32_t kAvixForm = FourCC("AVIX");
constexpr uint32_t kHeaderList = FourCC("hdrl");
constexpr uint32_t kStreamList = FourCC("strl");
constexpr uint32_t kMovieList = FourCC("movi");
constexpr uint32_t kMainHeader = FourCC("avih");
constexpr uint32_t kStreamHeader = FourCC("strh");
constexpr uint32_t kStreamFormat = FourCC("strf");
constexpr uint32_t kLegacyIndex = FourCC("idx1");
constexpr uint32_t kVideoStream = FourCC("vids");

constexpr uint32_t kIndexKeyFrame = 0x10;          // AVIIF_KEYFRAME in 'idx1'
constexpr uint32_t kChunkIndexDeltaBit = 0x80000000u;  // set on non-key entries of 'ix##'
constexpr uint8_t kIndexOfChunks = 0x01;           // AVI_INDEX_OF_CHUNKS

// Bytes read at a time when scanning or walking an index; keeps memory use
// flat whatever a file claims.
constexpr size_t kScanBlock = 64 * 1024;

bool IsChunkIndexId(uint32_t id) { return (id & 0xFFFF) == (('x' << 8) | 'i'); }

}  // namespace

struct AviReader::Chunk {
  uint32_t id = 0;
  uint32_t size = 0;
  uint64_t data = 0;  // first data byte
  bool fits = false;  // the declared size lies inside the enclosing list

  uint64_t DataEnd(uint64_t listEnd) const { return fits ? data + size : listEnd; }
};

struct AviReader::IndexRef {
  enum Kind { kLegacy, kChunks } kind;
  uint64_t data;
  uint64_t size;
  uint64_t moviBase;  // 'idx1' offsets count from the 'movi' FourCC of the first RIFF
};

AviReader::AviReader(const std::string& path) : file_(new RandomAccessFile(path)) { ParseFile(); }

AviReader::~AviReader() = default;

uint64_t AviReader::FileSize() const { return file_->Size(); }

bool AviReader::ReadChunk(uint64_t pos, uint64_t end, Chunk* chunk) {
  if (pos > end || end - pos < 8) return false;
  uint8_t header[8];
  if (!file_->ReadAt(pos, header, 8)) return false;
  chunk->id = LoadLe32(header);
  chunk->size = LoadLe32(header + 4);
  chunk->data = pos + 8;
  chunk->fits = chunk->size <= end - chunk->data;
  return true;
}

bool AviReader::IsVideoFrameId(uint32_t id) const {
  if (streamNumber_ < 0) return false;
  const uint32_t digits = static_cast<uint32_t>('0' + streamNumber_ / 10) |
                          static_cast<uint32_t>('0' + streamNumber_ % 10) << 8;
  const uint32_t kind = id >> 16;
  return (id & 0xFFFF) == digits && (kind == ('c' << 8 | 'd') || kind == ('b' << 8 | 'd'));
}

void AviReader::ParseFile() {
  uint8_t header[12];
  if (!file_->ReadAt(0, header, sizeof header)) throw MediaError("not an AVI file (too short)");
  if (LoadLe32(header) != kRiff) throw MediaError("not a RIFF file");
  if (LoadLe32(header + 8) != kAviForm) {
    throw MediaError("not an AVI file (RIFF form '" + FourCCToString(LoadLe32(header + 8)) + "')");
  }
  const uint32_t riffSize = LoadLe32(header + 4);
  const uint64_t fileSize = file_->Size();
  // A cut file keeps what it has: the list ends at the end of the file. A
  // size of 0 is what a writer leaves when it stops before patching its
  // headers: the list then runs to the end of the file too.
  const uint64_t riffEnd = riffSize == 0 ? fileSize : std::min<uint64_t>(8ull + riffSize, fileSize);
  ParseRiffBody(12, riffEnd, true);
  if (streamNumber_ < 0) throw MediaError("no video stream");

  // OpenDML continuations: 'RIFF' 'AVIX' lists after the first one.
  uint64_t pos = 8ull + riffSize + (riffSize & 1);
  Chunk chunk;
  while (ReadChunk(pos, fileSize, &chunk)) {
    if (chunk.id == kRiff) {
      uint8_t form[4];
      if (chunk.size >= 4 && file_->ReadAt(chunk.data, form, 4) && LoadLe32(form) == kAvixForm) {
        ParseRiffBody(chunk.data + 4, chunk.DataEnd(fileSize), false);
      }
    } else if (!IsPrintableFourCC(chunk.id)) {
      break;  // trailing garbage
    }
    if (!chunk.fits) break;
    pos = chunk.data + chunk.size + (chunk.size & 1);
  }

  // Frames were found in file order, which the index lookups rely on.
  if (!std::is_sorted(frames_.begin(), frames_.end(),
                      [](const AviFrame& a, const AviFrame& b) { return a.offset < b.offset; })) {
    std::stable_sort(frames_.begin(), frames_.end(),
                     [](const AviFrame& a, const AviFrame& b) { return a.offset < b.offset; });
  }
  for (const IndexRef& ref : indexes_) {
    if (ref.kind == IndexRef::kLegacy) {
      ApplyLegacyIndex(ref);
    } else {
      ApplyChunkIndex(ref);
    }
  }
  indexes_.clear();
  indexes_.shrink_to_fit();
}

void AviReader::ParseRiffBody(uint64_t begin, uint64_t end, bool first) {
  uint64_t pos = begin;
  Chunk chunk;
  while (ReadChunk(pos, end, &chunk)) {
    const uint64_t dataEnd = chunk.DataEnd(end);
    if (chunk.id == kList) {
      uint8_t type[4];
      if (chunk.size == 0 && chunk.data + 4 <= end && file_->ReadAt(chunk.data, type, 4) &&
          LoadLe32(type) == kMovieList && streamNumber_ >= 0) {
        // An unpatched 'movi' size: the frames run on to the end of the list.
        ParseMovie(chunk.data + 4, end, chunk.data);
        break;
      }
      if (chunk.size >= 4 && file_->ReadAt(chunk.data, type, 4) && chunk.data + 4 <= dataEnd) {
        const uint32_t listType = LoadLe32(type);
        if (listType == kHeaderList && first && streamNumber_ < 0) {
          ParseHeaderList(chunk.data + 4, dataEnd);
        } else if (listType == kMovieList && streamNumber_ >= 0) {
          ParseMovie(chunk.data + 4, dataEnd, chunk.data);
        }
      }
    } else if (chunk.id == kLegacyIndex && first) {
      if (haveFirstMovi_) {
        indexes_.push_back(IndexRef{IndexRef::kLegacy, chunk.data, dataEnd - chunk.data, firstMoviFourCC_});
      }
    } else if (!IsPrintableFourCC(chunk.id)) {
      break;  // not a chunk list any more
    }
    if (!chunk.fits) break;
    pos = chunk.data + chunk.size + (chunk.size & 1);
  }
}

void AviReader::ParseHeaderList(uint64_t begin, uint64_t end) {
  uint64_t pos = begin;
  int streamCount = 0;
  Chunk chunk;
  while (ReadChunk(pos, end, &chunk)) {
    const uint64_t dataEnd = chunk.DataEnd(end);
    if (chunk.id == kMainHeader) {
      uint8_t avih[4] = {};
      if (dataEnd - chunk.data >= 4 && file_->ReadAt(chunk.data, avih, 4)) {
        microSecPerFrame_ = LoadLe32(avih);
      }
    } else if (chunk.id == kList && chunk.size >= 4) {
      uint8_t type[4];
      if (chunk.data + 4 <= dataEnd && file_->ReadAt(chunk.data, type, 4) &&
          LoadLe32(type) == kStreamList) {
        ParseStreamList(chunk.data + 4, dataEnd, streamCount++);
      }
    }
    if (!chunk.fits) break;
    pos = chunk.data + chunk.size + (chunk.size & 1);
  }
  if (!frameRate_.Known() && microSecPerFrame_ != 0) {
    frameRate_ = Rational{1000000, microSecPerFrame_}.Reduced();
  }
}

void AviReader::ParseStreamList(uint64_t begin, uint64_t end, int streamNumber) {
  uint8_t strh[56] = {};
  uint8_t strf[40] = {};
  uint64_t strhSize = 0, strfSize = 0;
  uint64_t pos = begin;
  Chunk chunk;
  while (ReadChunk(pos, end, &chunk)) {
    const uint64_t available = chunk.DataEnd(end) - chunk.data;
    if (chunk.id == kStreamHeader && strhSize == 0) {
      strhSize = std::min<uint64_t>(available, sizeof strh);
      file_->ReadAt(chunk.data, strh, static_cast<size_t>(strhSize));
    } else if (chunk.id == kStreamFormat && strfSize == 0) {
      strfSize = std::min<uint64_t>(available, sizeof strf);
      file_->ReadAt(chunk.data, strf, static_cast<size_t>(strfSize));
    }
    if (!chunk.fits) break;
    pos = chunk.data + chunk.size + (chunk.size & 1);
  }
  // Only the first video stream counts; its chunk ids carry a two-digit
  // stream number, so streams from 100 on cannot be addressed.
  if (streamNumber_ >= 0 || strhSize < 4 || LoadLe32(strh) != kVideoStream || streamNumber > 99) {
    return;
  }
  if (strfSize < 20) throw MediaError("video stream format is too short");
  streamNumber_ = streamNumber;
  handler_ = LoadLe32(strh + 4);
  const uint32_t scale = LoadLe32(strh + 20), rate = LoadLe32(strh + 24);
  if (strhSize >= 28 && scale != 0 && rate != 0) frameRate_ = Rational{rate, scale}.Reduced();
  width_ = static_cast<int32_t>(LoadLe32(strf + 4));
  height_ = static_cast<int32_t>(LoadLe32(strf + 8));
  bitCount_ = LoadLe16(strf + 14);
  compression_ = LoadLe32(strf + 16);
}

void AviReader::ParseMovie(uint64_t begin, uint64_t end, uint64_t moviFourCCPos) {
  if (!haveFirstMovi_) {
    haveFirstMovi_ = true;
    firstMoviFourCC_ = moviFourCCPos;
  }
  // A chunk whose header makes sense: printable id, size inside the list.
  auto plausibleAt = [&](uint64_t pos) {
    Chunk c;
    return ReadChunk(pos, end, &c) && IsPrintableFourCC(c.id) && c.fits;
  };
  // Chunks are word-aligned; some writers forget the pad byte after an odd
  // size, so take the unpadded position when only that one makes sense.
  auto nextAfter = [&](const Chunk& c) {
    uint64_t next = c.data + c.size;
    if (c.size & 1) {
      ++next;
      if (next < end && !plausibleAt(next) && plausibleAt(next - 1)) --next;
    }
    return next;
  };

  uint64_t pos = begin;
  Chunk chunk;
  while (ReadChunk(pos, end, &chunk)) {
    if (IsVideoFrameId(chunk.id)) {
      if (chunk.fits) {
        frames_.push_back(AviFrame{chunk.data, chunk.size, true});
        pos = nextAfter(chunk);
      } else {
        // Cut inside this frame, or a garbage size: its extent is unknown,
        // so it is dropped and the next frame header is searched for.
        pos = FindNextFrameChunk(pos + 1, end);
      }
    } else if (chunk.id == kList && chunk.fits && chunk.size >= 4) {
      pos = chunk.data + 4;  // 'rec ' groups: their chunks are walked in line
    } else if (IsPrintableFourCC(chunk.id) && chunk.fits) {
      if (IsChunkIndexId(chunk.id)) {
        indexes_.push_back(IndexRef{IndexRef::kChunks, chunk.data, chunk.size, 0});
      }
      pos = nextAfter(chunk);  // other streams, 'JUNK', unknown chunks
    } else {
      pos = FindNextFrameChunk(pos + 1, end);
    }
  }
}

uint64_t AviReader::FindNextFrameChunk(uint64_t from, uint64_t end) {
  std::vector<uint8_t> block(kScanBlock);
  uint64_t pos = from;
  while (pos < end && end - pos >= 8) {
    const size_t count = static_cast<size_t>(std::min<uint64_t>(kScanBlock, end - pos));
    if (!file_->ReadAt(pos, block.data(), count)) break;
    for (size_t i = 0; i + 8 <= count; ++i) {
      if (block[i] != '0' + streamNumber_ / 10) continue;
      if (!IsVideoFrameId(LoadLe32(&block[i]))) continue;
      const uint64_t data = pos + i + 8;
      if (LoadLe32(&block[i + 4]) <= end - data) return pos + i;
    }
    if (count < kScanBlock) break;
    pos += count - 7;  // keep the last 7 bytes: a header may straddle blocks
  }
  return end;
}

AviFrame* AviReader::FrameAt(uint64_t dataOffset) {
  auto it = std::lower_bound(frames_.begin(), frames_.end(), dataOffset,
                             [](const AviFrame& f, uint64_t offset) { return f.offset < offset; });
  return it != frames_.end() && it->offset == dataOffset ? &*it : nullptr;
}

void AviReader::ApplyLegacyIndex(const IndexRef& ref) {
  // Entry offsets point at the chunk header, counted from the 'movi' FourCC
  // as the format asks, or from the start of the file as some writers do. The
  // first entry that matches a frame decides which.
  enum { kUnknown, kRelative, kAbsolute } base = kUnknown;
  std::vector<uint8_t> block(kScanBlock);
  const uint64_t total = ref.size / 16;
  for (uint64_t done = 0; done < total;) {
    const size_t count = static_cast<size_t>(std::min<uint64_t>(total - done, kScanBlock / 16));
    if (!file_->ReadAt(ref.data + done * 16, block.data(), count * 16)) return;
    for (size_t i = 0; i < count; ++i) {
      const uint8_t* entry = &block[i * 16];
      if (!IsVideoFrameId(LoadLe32(entry))) continue;
      const uint32_t flags = LoadLe32(entry + 4);
      const uint64_t offset = LoadLe32(entry + 8);
      AviFrame* frame = nullptr;
      if (base != kAbsolute) {
        frame = FrameAt(ref.moviBase + offset + 8);
        if (frame) base = kRelative;
      }
      if (!frame && base != kRelative) {
        frame = FrameAt(offset + 8);
        if (frame) base = kAbsolute;
      }
      if (frame) {
        frame->key = (flags & kIndexKeyFrame) != 0;
        hasIndex_ = true;
      }
    }
    done += count;
  }
}

void AviReader::ApplyChunkIndex(const IndexRef& ref) {
  uint8_t header[24];
  if (ref.size < sizeof header || !file_->ReadAt(ref.data, header, sizeof header)) return;
  const uint16_t longsPerEntry = LoadLe16(header);
  const uint8_t subType = header[2], type = header[3];
  if (longsPerEntry != 2 || subType != 0 || type != kIndexOfChunks) return;
  if (!IsVideoFrameId(LoadLe32(header + 8))) return;
  const uint64_t baseOffset = LoadLe64(header + 12);
  const uint64_t total = std::min<uint64_t>(LoadLe32(header + 4), (ref.size - sizeof header) / 8);
  std::vector<uint8_t> block(kScanBlock);
  for (uint64_t done = 0; done < total;) {
    const size_t count = static_cast<size_t>(std::min<uint64_t>(total - done, kScanBlock / 8));
    if (!file_->ReadAt(ref.data + sizeof header + done * 8, block.data(), count * 8)) return;
    for (size_t i = 0; i < count; ++i) {
      const uint64_t offset = LoadLe32(&block[i * 8]);
      const uint32_t size = LoadLe32(&block[i * 8 + 4]);
      if (offset > UINT64_MAX - baseOffset) continue;  // offsets point at the data
      if (AviFrame* frame = FrameAt(baseOffset + offset)) {
        frame->key = (size & kChunkIndexDeltaBit) == 0;
        hasIndex_ = true;
      }
    }
    done += count;
  }
}

std::vector<uint8_t> AviReader::ReadFrame(size_t index) {
  if (index >= frames_.size()) throw MediaError("frame number out of range");
  const AviFrame& frame = frames_[index];
  std::vector<uint8_t> data(frame.length);
  if (!file_->ReadAt(frame.offset, data.data(), data.size())) {
    throw MediaError("frame lies outside the file");
  }
  return data;
}

}  // namespace zdc
