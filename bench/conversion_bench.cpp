#include "conversion_bench.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "picture_convert.h"
#include "timing.h"

#if ZDC_BENCH_HAVE_LIBYUV
#include "libyuv.h"
#endif

namespace zdc {
namespace bench {
namespace {

struct Case {
  PixelFormat format;
  const char* name;
  const char* peerName;  // libyuv's converter to the same output
};

constexpr Case kCases[] = {
    {PixelFormat::kYvu9, "yvu9", "CopyPlane x3"},   {PixelFormat::kYuv410p, "yuv410p", "CopyPlane x3"},
    {PixelFormat::kI420, "i420", "I420Copy"},       {PixelFormat::kYv12, "yv12", "I420Copy"},
    {PixelFormat::kNv12, "nv12", "I420ToNV12"},     {PixelFormat::kYuy2, "yuy2", "I420ToYUY2"},
    {PixelFormat::kRgb32, "rgb32", "I420ToARGB"},   {PixelFormat::kRgb24, "rgb24", "I420ToRGB24"},
};

// libyuv's conversion into the surface of `format`; false without libyuv.
bool PeerConvert(PixelFormat format, const Planes420& in, const Surface& out) {
#if ZDC_BENCH_HAVE_LIBYUV
  const int w = in.width, h = in.height, cw = in.ChromaWidth();
  const uint8_t *y = in.planes[0].data(), *u = in.planes[1].data(), *v = in.planes[2].data();
  const auto pitch = [&](int i) { return static_cast<int>(out.pitch[i]); };
  switch (format) {
    case PixelFormat::kYvu9:
    case PixelFormat::kYuv410p:
      libyuv::CopyPlane(y, w, out.plane[0], pitch(0), w, h);
      if (out.plane[1]) libyuv::CopyPlane(v, cw, out.plane[1], pitch(1), (w + 3) / 4, (h + 3) / 4);
      if (out.plane[2]) libyuv::CopyPlane(u, cw, out.plane[2], pitch(2), (w + 3) / 4, (h + 3) / 4);
      return true;
    case PixelFormat::kI420:
    case PixelFormat::kYv12:
      return libyuv::I420Copy(y, w, u, cw, v, cw, out.plane[0], pitch(0), out.plane[1], pitch(1),
                              out.plane[2], pitch(2), w, h) == 0;
    case PixelFormat::kNv12:
      return libyuv::I420ToNV12(y, w, u, cw, v, cw, out.plane[0], pitch(0), out.plane[1], pitch(1), w, h) == 0;
    case PixelFormat::kYuy2: return libyuv::I420ToYUY2(y, w, u, cw, v, cw, out.plane[0], pitch(0), w, h) == 0;
    case PixelFormat::kRgb32: return libyuv::I420ToARGB(y, w, u, cw, v, cw, out.plane[0], pitch(0), w, h) == 0;
    case PixelFormat::kRgb24: return libyuv::I420ToRGB24(y, w, u, cw, v, cw, out.plane[0], pitch(0), w, h) == 0;
  }
#else
  (void)format, (void)in, (void)out;
#endif
  return false;
}

double Time(const std::function<void()>& work, int rounds, double seconds) {
  const int calls = CallsForSeconds(work, seconds);
  std::vector<double> times;
  for (int round = 0; round < rounds; ++round) times.push_back(SecondsPerCall(work, calls));
  return Median(times);
}

}  // namespace

double ReportConversions(const Picture& picture, const Planes420& peerInput, double keySeconds,
                         int rounds, double seconds) {
  const int w = picture.width, h = picture.height;
  std::vector<uint8_t> decoded(DecoderOutputBytes(w, h, picture.withChroma));
  std::copy(picture.luma.begin(), picture.luma.end(), decoded.begin());
  if (picture.withChroma) {
    std::copy(picture.chroma[0].begin(), picture.chroma[0].end(), decoded.begin() + picture.luma.size());
    std::copy(picture.chroma[1].begin(), picture.chroma[1].end(),
              decoded.begin() + picture.luma.size() + picture.luma.size() / 16);
  }
  const Yvu9Picture source = DecoderOutputPicture(decoded.data(), w, h, picture.withChroma);
  const double pixels = static_cast<double>(w) * h;

  std::printf("\nconversions of the decoded %dx%d picture into one output sample (rows packed)\n", w, h);
  std::printf("share = conversion time / Huffman key frame decode time (%.3f ms); peer: libyuv from 4:2:0\n",
              1e3 * keySeconds);
  std::printf("%-8s | %8s %8s %7s | %-13s %8s %8s | %9s\n", "format", "ms", "Mpix/s", "share", "peer", "ms",
              "Mpix/s", "ours/peer");
  double worst = 0;
  for (const Case& c : kCases) {
    const ptrdiff_t pitch = PackedPitch(c.format, w);
    std::vector<uint8_t> out(SurfaceBytes(c.format, h, pitch, picture.withChroma));
    const Surface surface = SurfaceInBuffer(c.format, out.data(), h, pitch, picture.withChroma);
    const double ours = Time([&] { ConvertPicture(source, c.format, surface); }, rounds, seconds);
    const double share = ours / keySeconds;
    worst = std::max(worst, share);
    std::printf("%-8s | %8.3f %8.1f %6.1f%% |", c.name, 1e3 * ours, pixels / ours / 1e6, 100 * share);
    if (!PeerConvert(c.format, peerInput, surface)) {
      std::printf(" %-13s %8s %8s | %9s\n", "(no libyuv)", "-", "-", "-");
      continue;
    }
    const double peer = Time([&] { PeerConvert(c.format, peerInput, surface); }, rounds, seconds);
    std::printf(" %-13s %8.3f %8.1f | %9.2f\n", c.peerName, 1e3 * peer, pixels / peer / 1e6, peer / ours);
  }
  return worst;
}

}  // namespace bench
}  // namespace zdc
