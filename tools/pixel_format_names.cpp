#include "pixel_format_names.h"

namespace zdc {

namespace {

struct Named {
  PixelFormat format;
  const char* name;
};

constexpr Named kNames[] = {
    {PixelFormat::kYvu9, "yvu9"},   {PixelFormat::kYuv410p, "yuv410p"}, {PixelFormat::kNv12, "nv12"},
    {PixelFormat::kYv12, "yv12"},   {PixelFormat::kI420, "i420"},       {PixelFormat::kYuy2, "yuy2"},
    {PixelFormat::kRgb32, "rgb32"}, {PixelFormat::kRgb24, "rgb24"},
};

}  // namespace

bool ParsePixelFormat(const std::string& name, PixelFormat* format) {
  for (const Named& named : kNames) {
    if (name == named.name) {
      *format = named.format;
      return true;
    }
  }
  return false;
}

const char* PixelFormatName(PixelFormat format) {
  for (const Named& named : kNames) {
    if (named.format == format) return named.name;
  }
  return "?";
}

}  // namespace zdc
