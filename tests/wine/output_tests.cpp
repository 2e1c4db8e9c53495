// What today's players get: the converted output formats against the
// conversion library run on a FrameDecoder's pictures (a wider surface and
// top-down RGB included); rotating buffers held downstream against the
// encoder's own reconstruction; flushes, preroll and input types on samples;
// and a real renderer, connected by the graph's intelligent connect, whose
// window shows the last picture.
#include "test_filters.h"

#include <amvideo.h>
#include <control.h>
#include <evcode.h>
#include <uuids.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "avi_reader.h"
#include "check.h"
#include "frame_decoder.h"
#include "frame_encoder.h"
#include "output_formats.h"
#include "packed_picture.h"
#include "picture.h"
#include "picture_convert.h"
#include "png_writer.h"

namespace {

using zdc::CoefficientCoding;
using zdc::MaskStorage;

struct Clip {
  uint32_t fourcc;
  int32_t width, height, frames;
  uint32_t keyInterval;
  CoefficientCoding coder;
  MaskStorage mask;
  int quality;
};

// A moving, textured picture, so that delta frames code some blocks.
zdc::Picture Pattern(const Clip& clip, bool withChroma, int t) {
  zdc::Picture picture = zdc::Picture::Create(clip.width, clip.height, withChroma);
  for (size_t i = 0; i < picture.luma.size(); ++i) {
    const int x = int(i % clip.width), y = int(i / clip.width);
    const bool square = x >= 3 + 5 * t && x < 27 + 5 * t && y >= 6 && y < 28;
    picture.luma[i] = uint8_t(square ? 220 : x * 3 + y * 2 + (x * y) % 17 + t * 4);
  }
  for (int p = 0; p < 2; ++p)
    for (size_t i = 0; i < picture.chroma[p].size(); ++i)
      picture.chroma[p][i] = uint8_t(90 + 70 * p + i % picture.ChromaWidth() * (5 - 9 * p) + 2 * t);
  return picture;
}

// The clip's frames and, for each, the encoder's reconstruction packed as
// the decoder's layout (luma, first and second chroma plane).
std::vector<SourceFrame> Encode(const Clip& clip, std::vector<std::string>* reconstructions) {
  zdc::EncoderOptions options;
  options.fourcc = clip.fourcc, options.quality = clip.quality, options.mask = clip.mask;
  options.keyInterval = clip.keyInterval, options.coder = clip.coder;
  zdc::FrameEncoder encoder(clip.width, clip.height, options);
  std::vector<SourceFrame> frames(clip.frames);
  for (int t = 0; t < clip.frames; ++t) {
    std::vector<uint8_t> bytes = encoder.EncodeFrame(Pattern(clip, encoder.WithChroma(), t));
    frames[t].data.assign(bytes.begin(), bytes.end());
    frames[t].key = encoder.LastFrame().keyFrame;
    if (reconstructions) {
      const zdc::Picture r = encoder.Reconstruction();
      std::string packed(r.luma.begin(), r.luma.end());
      for (const auto& plane : r.chroma) packed.append(plane.begin(), plane.end());
      reconstructions->push_back(packed);
    }
  }
  return frames;
}

bool HasChroma(const Clip& clip) { return clip.fourcc != zdc::kFourccQzv3; }

// A sample's picture, packed as `zdc decode --format` writes it.
std::string Packed(const ReceivedSample& sample, bool withChroma) {
  OutputLayout layout;
  if (!LayoutOfType(sample.type, &layout)) return "no layout";
  std::ostringstream out;
  std::vector<BYTE> bytes = sample.bytes;
  WritePackedPicture(out, layout.format->pixels, layout.SurfaceIn(bytes.data(), withChroma),
                     layout.pictureWidth, layout.pictureHeight, withChroma);
  return out.str();
}

// The pictures `zdc decode --format` writes for these frames: a FrameDecoder
// into one persistent picture, converted after every frame.
std::vector<std::string> Reference(const Clip& clip, const std::vector<SourceFrame>& frames,
                                   zdc::PixelFormat format) {
  const bool chroma = HasChroma(clip);
  zdc::FrameDecoder decoder;
  decoder.SetSize(clip.width, clip.height, chroma);
  decoder.SetQuality(0.5);
  std::vector<uint8_t> picture(zdc::DecoderOutputBytes(clip.width, clip.height, chroma), 0);
  std::vector<std::string> pictures;
  for (const SourceFrame& frame : frames) {
    decoder.Decode(frame.data.data(), uint32_t(frame.data.size()), picture.data(), clip.width);
    const ptrdiff_t pitch = zdc::PackedPitch(format, clip.width);
    std::string out(zdc::SurfaceBytes(format, clip.height, pitch, chroma), '\0');
    zdc::ConvertPicture(zdc::DecoderOutputPicture(picture.data(), clip.width, clip.height, chroma),
                        format, zdc::SurfaceInBuffer(format, reinterpret_cast<uint8_t*>(&out[0]),
                                                     clip.height, pitch, chroma));
    // The planes as WritePackedPicture lays them out (YVU9 without the gap).
    std::ostringstream packed;
    WritePackedPicture(packed, format, zdc::SurfaceInBuffer(format, reinterpret_cast<uint8_t*>(
                                           &out[0]), clip.height, pitch, chroma),
                       clip.width, clip.height, chroma);
    pictures.push_back(packed.str());
  }
  return pictures;
}

void CheckSamples(const char* name, const std::vector<ReceivedSample>& got,
                  const std::vector<std::string>& want, bool withChroma) {
  ok(got.size() == want.size(), "%s: got %zu pictures, expected %zu.\n", name, got.size(),
     want.size());
  for (size_t i = 0; i < got.size() && i < want.size(); ++i) {
    const std::string picture = Packed(got[i], withChroma);
    size_t at = 0;
    while (at < picture.size() && at < want[i].size() && picture[at] == want[i][at]) ++at;
    ok(picture == want[i], "%s: picture %zu differs at byte %zu of %zu.\n", name, i, at,
       want[i].size());
  }
}

// The allocator downstream has three buffers and the sink holds the last
// sample, as a renderer's flipping chain: every picture must still be the
// encoder's reconstruction (an oracle that shares nothing with the filter's
// path), and after a broken chain or damage, what the decoder makes of it.
void TestHeldBuffers() {
  const CoefficientCoding huffman = CoefficientCoding::kHuffman;
  const CoefficientCoding arithmetic = CoefficientCoding::kArithmetic;
  enum Damage { kClean, kChainBreak, kGarbled };
  const struct { Clip clip; Damage damage; } tests[] = {
      {{zdc::kFourccQzv2, 64, 48, 8, 4, huffman, MaskStorage::kRaw, 50}, kClean},
      {{zdc::kFourccQzv4, 100, 52, 7, 3, arithmetic, MaskStorage::kLzw, 40}, kClean},
      {{zdc::kFourccQzv2, 70, 38, 6, 6, huffman, MaskStorage::kRunLength, 29}, kClean},
      {{zdc::kFourccQzv3, 90, 44, 6, 3, arithmetic, MaskStorage::kFd, 75}, kClean},
      {{zdc::kFourccQzv2, 64, 48, 8, 4, arithmetic, MaskStorage::kAuto, 58}, kChainBreak},
      {{zdc::kFourccQzv4, 96, 64, 8, 8, huffman, MaskStorage::kAuto, 60}, kGarbled},
  };
  for (size_t i = 0; i < ARRAYSIZE(tests); ++i) {
    const Clip& clip = tests[i].clip;
    std::vector<std::string> reconstructions;
    std::vector<SourceFrame> frames = Encode(clip, &reconstructions);
    if (tests[i].damage == kChainBreak) frames.erase(frames.begin() + 2);
    if (tests[i].damage == kGarbled)
      for (size_t at = 30; at < frames[3].data.size(); at += 5) frames[3].data[at] ^= 0x3C;
    TestGraph g;
    if (!g.in) return;
    g.source->frames = frames;
    g.sink->hasRequirements = true;
    g.sink->requirements = {3, 0, 1, 0};
    g.sink->hold = 1;
    g.ConnectInput(InputType(FourCCSubtype(clip.fourcc), false, clip.width, clip.height));
    g.ConnectOutput();
    g.Run();
    char name[32];
    std::snprintf(name, sizeof name, "Held buffers %zu", i);
    ok(g.sink->notified.cBuffers == 3, "%s: got %ld buffers.\n", name, g.sink->notified.cBuffers);
    CheckSamples(name, g.sink->samples,
                 tests[i].damage == kClean ? reconstructions
                                           : Reference(clip, frames, zdc::PixelFormat::kYvu9),
                 HasChroma(clip));
  }
}

// Each converted format, at the offered surface and at a wider one, equals
// the conversion library's output for the same pictures; RGB is bottom-up as
// offered and top-down when proposed so.
void TestConvertedFormats() {
  const struct { const GUID* subtype; zdc::PixelFormat pixels; } formats[] = {
      {&MEDIASUBTYPE_NV12, zdc::PixelFormat::kNv12},   {&MEDIASUBTYPE_YV12, zdc::PixelFormat::kYv12},
      {&MEDIASUBTYPE_IYUV, zdc::PixelFormat::kI420},   {&MEDIASUBTYPE_YUY2, zdc::PixelFormat::kYuy2},
      {&MEDIASUBTYPE_RGB32, zdc::PixelFormat::kRgb32}, {&MEDIASUBTYPE_RGB24, zdc::PixelFormat::kRgb24},
  };
  const Clip clips[] = {
      {zdc::kFourccQzv2, 99, 51, 5, 3, CoefficientCoding::kHuffman, MaskStorage::kAuto, 50},
      {zdc::kFourccQzv3, 64, 40, 4, 2, CoefficientCoding::kArithmetic, MaskStorage::kAuto, 60},
  };
  for (const Clip& clip : clips) {
    const std::vector<SourceFrame> frames = Encode(clip, nullptr);
    for (const auto& format : formats) {
      const std::vector<std::string> want = Reference(clip, frames, format.pixels);
      for (int wide = 0; wide < 2; ++wide) {
        TestGraph g;
        if (!g.in) return;
        g.source->frames = frames;
        g.ConnectInput(InputType(FourCCSubtype(clip.fourcc), false, clip.width, clip.height));
        CMediaType type;
        IEnumMediaTypes* types = nullptr;
        g.out->EnumMediaTypes(&types);
        for (AM_MEDIA_TYPE* offered = nullptr; types->Next(1, &offered, nullptr) == S_OK;) {
          if (offered->subtype == *format.subtype) type = *offered;
          DeleteMediaType(offered);
        }
        types->Release();
        if (wide) {  // a renderer's wider surface; RGB top-down
          BITMAPINFOHEADER* h = BitmapHeader(type);
          h->biWidth += 28;
          if (h->biCompression == BI_RGB) h->biHeight = -h->biHeight;
          const zdc::PixelFormat p = format.pixels;
          const OutputFormat* f = FindOutputFormat(type.subtype);
          h->biSizeImage = DWORD(zdc::SurfaceBytes(p, std::abs(h->biHeight),
                                                   SurfacePitch(*f, h->biWidth), true));
          type.lSampleSize = h->biSizeImage;
          SetRect(&reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat)->rcTarget, 0, 0,
                  clip.width, clip.height);
        }
        HRESULT hr = g.ConnectOutput(&type);
        ok(hr == S_OK, "%08lx %s: connect got hr %#lx.\n", format.subtype->Data1,
           wide ? "wide" : "as offered", hr);
        g.Run();
        char name[48];
        std::snprintf(name, sizeof name, "%.4s from %.4s%s",
                      reinterpret_cast<const char*>(&format.subtype->Data1),
                      reinterpret_cast<const char*>(&clip.fourcc), wide ? " wide" : "");
        CheckSamples(name, g.sink->samples, want, HasChroma(clip));
      }
    }
  }
}

// A flush in the middle of a chain (what a seek does): delta frames are
// dropped until the next key frame, which decodes as from the start. Preroll
// frames are decoded and not delivered. An input type on a sample is taken
// when it keeps the picture's size, refused otherwise.
void TestFlushPrerollAndInputTypes() {
  const Clip clip = {zdc::kFourccQzv2, 64, 48, 10, 4, CoefficientCoding::kHuffman,
                     MaskStorage::kAuto, 50};
  std::vector<SourceFrame> frames = Encode(clip, nullptr);
  const std::vector<std::string> all = Reference(clip, frames, zdc::PixelFormat::kYvu9);
  const CMediaType same = InputType(MEDIASUBTYPE_QZV4, false, 64, 48);
  const CMediaType larger = InputType(MEDIASUBTYPE_QZV2, false, 128, 48);
  enum Case { kFlush, kPreroll, kSameType, kLargerType };
  for (int c = kFlush; c <= kLargerType; ++c) {
    TestGraph g;
    if (!g.in) return;
    g.source->frames = frames;
    std::vector<std::string> want;
    if (c == kFlush) {
      g.source->frames[2].flushBefore = true;  // frames 2 and 3 are deltas, 4 a key frame
      want = {all[0], all[1], all[4], all[5], all[6], all[7], all[8], all[9]};
    } else if (c == kPreroll) {
      g.source->frames[1].preroll = g.source->frames[2].preroll = true;
      want = {all[0], all[3], all[4], all[5], all[6], all[7], all[8], all[9]};
    } else {
      g.source->frames[3].type = c == kSameType ? &same : &larger;
      want = c == kSameType ? all : std::vector<std::string>(all.begin(), all.begin() + 3);
    }
    g.ConnectInput(InputType(MEDIASUBTYPE_QZV2, false, 64, 48));
    g.ConnectOutput();
    g.Run();
    const char* names[] = {"Flush", "Preroll", "Same-size input type", "Larger input type"};
    CheckSamples(names[c], g.sink->samples, want, true);
    if (c == kLargerType) {
      const std::vector<HRESULT>& d = g.source->deliveries;
      ok(d.size() == 4 && d.back() == VFW_E_INVALIDMEDIATYPE,
         "Larger input type: got %zu deliveries, the last %#lx.\n", d.size(),
         d.empty() ? 0 : d.back());
    }
  }
}

// The window's client area as 24-bit RGB rows, top-down.
std::vector<uint8_t> CaptureClient(HWND window, int* width, int* height) {
  RECT client;
  GetClientRect(window, &client);
  *width = client.right, *height = client.bottom;
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), *width, -*height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC screen = GetDC(window);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, *width, *height, screen, 0, 0, SRCCOPY);
  std::vector<uint8_t> rgb(size_t(*width) * *height * 3);
  const auto* bgrx = static_cast<const uint8_t*>(bits);
  for (size_t p = 0; p < rgb.size() / 3; ++p)
    for (int c = 0; c < 3; ++c) rgb[3 * p + c] = bgrx[4 * p + 2 - c];
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, screen);
  return rgb;
}

// The platform's own renderer, chosen by intelligent connect, shows the
// first second of the shipped sample; once it has ended, its window holds
// the last picture, which must be the last decoded frame: exactly so for an
// RGB type, within what the renderer's own colour conversion changes for a
// YUV one (another matrix or range moves saturated colours by some levels,
// while a wrong or stale picture is off by tens). The capture is kept as
// renderer.png (the README's picture).
void TestRenderer() {
#if !defined(_WIN64)
  // 32-bit Wine on a bare X server cannot make the VMR-9's default presenter
  // and then faults inside its own renderer; the 64-bit run covers this.
  skip("The renderer test runs in the 64-bit build.\n");
  return;
#endif
  std::vector<SourceFrame> frames;
  Clip clip = {zdc::kFourccQzv2, 0, 0, 25, 0, CoefficientCoding::kHuffman, MaskStorage::kAuto, 0};
  try {
    zdc::AviReader sample(ZDC_SAMPLE_PATH);
    clip.width = sample.Width(), clip.height = sample.Height();
    for (size_t i = 0; i < size_t(clip.frames); ++i) {
      frames.emplace_back();
      frames.back().data = sample.ReadFrame(i);
    }
  } catch (const std::exception& e) {
    ok(false, "Cannot read the sample: %s.\n", e.what());
    return;
  }
  const std::string last = Reference(clip, frames, zdc::PixelFormat::kRgb24).back();
  TestGraph g;
  if (!g.in) return;
  g.source->frames = frames;
  g.ConnectInput(InputType(MEDIASUBTYPE_QZV2, false, clip.width, clip.height));
  g.graph->RemoveFilter(g.sinkFilter);
  HRESULT hr = g.graph->Render(g.out);
  ok(hr == S_OK, "Render: got hr %#lx.\n", hr);
  IVideoWindow* video = nullptr;
  g.graph->QueryInterface(IID_IVideoWindow, (void**)&video);
  if (FAILED(hr) || !video) {
    if (video) video->Release();
    return;
  }
  wchar_t caption[] = L"ZDC renderer test";
  video->put_Caption(caption);
  video->SetWindowPosition(0, 0, clip.width + 16, clip.height + 40);
  // The picture unscaled at the window's top left corner.
  IBasicVideo* basic = nullptr;
  if (SUCCEEDED(g.graph->QueryInterface(IID_IBasicVideo, (void**)&basic))) {
    basic->SetDestinationPosition(0, 0, clip.width, clip.height);
    basic->Release();
  }
  g.Run(false);  // still running after the end of stream, the last picture shown
  LONG_PTR param = 0;
  ok(WaitForEvent(g.events, EC_COMPLETE, &param), "No EC_COMPLETE.\n");
  HWND window = FindWindowW(nullptr, caption);
  ok(window != nullptr, "No renderer window.\n");
  if (window) {
    Sleep(500);  // let the window repaint
    int w = 0, h = 0;
    std::vector<uint8_t> shown = CaptureClient(window, &w, &h);
    // The picture's part of the window.
    const int cw = std::min(w, clip.width), ch = std::min(h, clip.height);
    for (int y = 0; y < ch; ++y)
      std::copy_n(shown.begin() + size_t(y) * w * 3, size_t(cw) * 3, shown.begin() + size_t(y) * cw * 3);
    w = cw, h = ch;
    zdc::WritePng("renderer.png", w, h, zdc::PngColor::kRgb, shown.data(), size_t(w) * 3);
    double difference = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const size_t src = (size_t(y) * clip.width + x) * 3;
        for (int c = 0; c < 3; ++c)
          difference += std::abs(int(shown[(size_t(y) * w + x) * 3 + c]) -
                                 int(uint8_t(last[src + 2 - c])));
      }
    difference /= double(w) * h * 3;
    AM_MEDIA_TYPE connected = {};
    g.out->ConnectionMediaType(&connected);
    const bool rgb = BitmapHeader(connected)->biCompression == BI_RGB;
    ok(w == clip.width && h == clip.height && difference < (rgb ? 1 : 20),
       "Picture %dx%d in the window from %.4s: mean difference %.1f levels.\n", w, h,
       reinterpret_cast<const char*>(&connected.subtype.Data1), difference);
    FreeMediaType(connected);
  }
  g.control->Stop();
  video->put_Visible(0);  // OAFALSE
  video->Release();
}

}  // namespace

void TestOutputs() {
  TestHeldBuffers();
  TestConvertedFormats();
  TestFlushPrerollAndInputTypes();
  TestRenderer();
}
