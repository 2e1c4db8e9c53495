#include "png_name_pattern.h"

#include "media_error.h"

namespace zdc {

namespace {

const char kPatternHelp[] = " (a name pattern needs exactly one %d, for example out_%04d.png)";

}  // namespace

bool PngNamePattern::LooksLikePattern(const std::string& text) {
  return text.find('%') != std::string::npos;
}

PngNamePattern PngNamePattern::FromPattern(const std::string& pattern) {
  PngNamePattern result;
  bool haveConversion = false;
  std::string* out = &result.prefix_;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') {
      out->push_back(pattern[i]);
      continue;
    }
    ++i;
    if (i < pattern.size() && pattern[i] == '%') {
      out->push_back('%');
      continue;
    }
    bool zeroPad = false;
    if (i < pattern.size() && pattern[i] == '0') {
      zeroPad = true;
      ++i;
    }
    int width = 0, digits = 0;
    while (i < pattern.size() && pattern[i] >= '0' && pattern[i] <= '9' && digits < 2) {
      width = width * 10 + (pattern[i] - '0');
      ++digits;
      ++i;
    }
    if (i >= pattern.size() || (pattern[i] != 'd' && pattern[i] != 'i' && pattern[i] != 'u')) {
      throw MediaError("unsupported conversion in name pattern '" + pattern + "'" + kPatternHelp);
    }
    if (haveConversion) throw MediaError("more than one conversion in name pattern '" + pattern + "'" + kPatternHelp);
    haveConversion = true;
    result.zeroPad_ = zeroPad;
    result.width_ = width;
    out = &result.suffix_;
  }
  if (!haveConversion) throw MediaError("no conversion in name pattern '" + pattern + "'" + kPatternHelp);
  return result;
}

PngNamePattern PngNamePattern::InFolder(const std::string& folder) {
  PngNamePattern result;
  result.prefix_ = folder;
  if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') result.prefix_ += '/';
  result.prefix_ += "frame_";
  result.suffix_ = ".png";
  result.zeroPad_ = true;
  result.width_ = 6;
  return result;
}

std::string PngNamePattern::Name(uint64_t number) const {
  std::string digits = std::to_string(number);
  if (digits.size() < static_cast<size_t>(width_)) {
    digits.insert(0, static_cast<size_t>(width_) - digits.size(), zeroPad_ ? '0' : ' ');
  }
  return prefix_ + digits + suffix_;
}

}  // namespace zdc
