// A real renderer, connected by the graph's intelligent connect, whose
// window shows the last picture of the shipped sample.
#include "test_filters.h"

#include <amvideo.h>
#include <control.h>
#include <evcode.h>
#include <uuids.h>

#include <algorithm>
#include <cstdlib>

#include "avi_reader.h"
#include "check.h"
#include "png_writer.h"

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
  struct { int32_t width, height; } clip = {};
  try {
    zdc::AviReader sample(ZDC_SAMPLE_PATH);
    clip.width = sample.Width(), clip.height = sample.Height();
    for (size_t i = 0; i < 25; ++i) {
      frames.emplace_back();
      frames.back().data = sample.ReadFrame(i);
    }
  } catch (const std::exception& e) {
    ok(false, "Cannot read the sample: %s.\n", e.what());
    return;
  }
  const std::string last = ReferencePictures(frames, kFourCC_QZV2, clip.width, clip.height,
                                             zdc::PixelFormat::kRgb24).back();
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
      std::copy_n(shown.begin() + size_t(y) * w * 3, size_t(cw) * 3,
                  shown.begin() + size_t(y) * cw * 3);
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

