#include "y4m_reader.h"

#include <algorithm>
#include <iostream>
#include <vector>

#include "media_error.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace zdc {

namespace {

// Header and FRAME lines longer than this are treated as damage rather than
// read without end.
constexpr size_t kMaxLine = 4096;
constexpr int kMaxDimension = 65535;
constexpr size_t kMaxFrameBytes = size_t{1} << 30;
// Planes grow by at most this much ahead of the bytes that have arrived.
constexpr size_t kPlaneStep = size_t{16} << 20;

// Parses a whole decimal number into `value`; false for anything else.
bool ParseNumber(const std::string& text, uint32_t* value) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  if (v > UINT32_MAX) return false;
  *value = static_cast<uint32_t>(v);
  return true;
}

bool ParseRatio(const std::string& text, Rational* ratio) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  return ParseNumber(text.substr(0, colon), &ratio->num) &&
         ParseNumber(text.substr(colon + 1), &ratio->den);
}

bool ParseChroma(const std::string& tag, Y4mChroma* chroma) {
  static const struct {
    const char* tag;
    Y4mChroma chroma;
  } kTags[] = {
      {"420", Y4mChroma::k420Jpeg},        {"420jpeg", Y4mChroma::k420Jpeg},
      {"420paldv", Y4mChroma::k420PalDv},  {"420mpeg2", Y4mChroma::k420Mpeg2},
      {"422", Y4mChroma::k422},            {"444", Y4mChroma::k444},
      {"mono", Y4mChroma::kMono},
  };
  for (const auto& entry : kTags) {
    if (tag == entry.tag) {
      *chroma = entry.chroma;
      return true;
    }
  }
  return false;
}

// Reads `bytes` bytes into `plane`, growing it only as the data arrives, so
// that a header claiming a huge picture over a short stream costs memory for
// the bytes that are there, not for the picture. A plane that already has the
// size (every frame after the first) is read in one go. False when the
// stream ends first.
bool ReadPlane(std::istream& in, std::vector<uint8_t>* plane, size_t bytes) {
  size_t have = 0;
  while (have < bytes) {
    const size_t want = std::min(bytes - have, plane->size() >= bytes ? bytes : kPlaneStep);
    if (plane->size() < have + want) plane->resize(have + want);
    in.read(reinterpret_cast<char*>(plane->data() + have), static_cast<std::streamsize>(want));
    if (static_cast<size_t>(in.gcount()) != want) return false;
    have += want;
  }
  plane->resize(bytes);
  return true;
}

}  // namespace

Y4mReader::Y4mReader(const std::string& path) : in_(nullptr) {
  if (path == "-") {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    in_ = &std::cin;
  } else {
    file_.open(path, std::ios::binary | std::ios::in);
    if (!file_) throw MediaError("cannot open file");
    in_ = &file_;
  }
  ParseHeader();
}

Y4mReader::Y4mReader(std::istream& in) : in_(&in) { ParseHeader(); }

std::string Y4mReader::ReadLine(const char* what) {
  std::string line;
  for (;;) {
    const int c = in_->get();
    if (c == std::char_traits<char>::eof()) throw MediaError(std::string("cut ") + what + " line");
    if (c == '\n') return line;
    if (line.size() >= kMaxLine) throw MediaError(std::string(what) + " line too long");
    line.push_back(static_cast<char>(c));
  }
}

void Y4mReader::ParseHeader() {
  static const char kMagic[] = "YUV4MPEG2";
  char magic[9];
  in_->read(magic, sizeof magic);
  if (in_->gcount() != sizeof magic || std::string(magic, sizeof magic) != kMagic) {
    throw MediaError("not a YUV4MPEG2 stream");
  }
  const int next = in_->get();
  if (next != ' ' && next != '\n') {
    throw MediaError(next == std::char_traits<char>::eof() ? "cut header line" : "not a YUV4MPEG2 stream");
  }
  const std::string line = next == ' ' ? ReadLine("header") : std::string();

  bool haveWidth = false, haveHeight = false;
  size_t pos = 0;
  while (pos < line.size()) {
    if (line[pos] == ' ') {
      ++pos;
      continue;
    }
    const size_t end = std::min(line.find(' ', pos), line.size());
    const std::string token = line.substr(pos, end - pos);
    pos = end;
    const std::string value = token.substr(1);
    uint32_t number = 0;
    switch (token[0]) {
      case 'W':
      case 'H':
        if (!ParseNumber(value, &number)) throw MediaError("bad header tag '" + token + "'");
        if (number == 0) throw MediaError("zero picture size");
        if (number > kMaxDimension) throw MediaError("picture size too large");
        (token[0] == 'W' ? header_.width : header_.height) = static_cast<int>(number);
        (token[0] == 'W' ? haveWidth : haveHeight) = true;
        break;
      case 'F':
        if (!ParseRatio(value, &header_.frameRate) ||
            (header_.frameRate.den == 0 && header_.frameRate.num != 0)) {
          throw MediaError("bad header tag '" + token + "'");
        }
        break;
      case 'A':
        if (!ParseRatio(value, &header_.aspect)) throw MediaError("bad header tag '" + token + "'");
        break;
      case 'I':
        if (value.size() != 1) throw MediaError("bad header tag '" + token + "'");
        if (value[0] != 'p' && value[0] != '?') {
          throw MediaError("interlaced input is not supported (I" + value + ")");
        }
        header_.interlace = value[0];
        break;
      case 'C':
        if (!ParseChroma(value, &header_.chroma)) {
          throw MediaError("unsupported colour space C" + value +
                           " (8-bit 420, 420jpeg, 420paldv, 420mpeg2, 422, 444 and mono only)");
        }
        break;
      default:
        break;  // X comments and tags of later versions carry nothing we use
    }
  }
  if (!haveWidth || !haveHeight) throw MediaError("header lacks the picture size (W and H)");
  if (header_.FrameBytes() > kMaxFrameBytes) throw MediaError("picture size too large");
}

bool Y4mReader::ReadFrame(Y4mFrame* frame) {
  char marker[5];
  in_->read(marker, sizeof marker);
  const std::streamsize got = in_->gcount();
  if (got == 0) return false;
  const std::string frameName = "frame " + std::to_string(framesRead_ + 1);
  if (got != sizeof marker || std::string(marker, sizeof marker) != "FRAME") {
    throw MediaError(frameName + ": missing FRAME marker");
  }
  // Frame parameters, if any, follow after a space; none of them matter here.
  const int next = in_->get();
  if (next == ' ') {
    ReadLine("FRAME");
  } else if (next != '\n') {
    throw MediaError(next == std::char_traits<char>::eof() ? frameName + ": cut FRAME line"
                                                           : frameName + ": missing FRAME marker");
  }

  const size_t luma = static_cast<size_t>(header_.width) * header_.height;
  const size_t chroma = static_cast<size_t>(header_.ChromaWidth()) * header_.ChromaHeight();
  if (!ReadPlane(*in_, &frame->y, luma) || !ReadPlane(*in_, &frame->cb, chroma) ||
      !ReadPlane(*in_, &frame->cr, chroma)) {
    throw MediaError(frameName + " is cut short");
  }
  ++framesRead_;
  return true;
}

}  // namespace zdc
