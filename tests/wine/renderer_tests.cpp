// A real renderer, connected by the graph's intelligent connect, whose
// window shows the last picture of the shipped sample.
#include "test_filters.h"

#include <amvideo.h>
#include <control.h>
#include <evcode.h>
#include <uuids.h>

#include <cstdlib>

#include "check.h"

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
  const Clip clip = ReadClip(ZDC_SAMPLE_PATH, 25);
  TestGraph g;
  if (clip.frames.empty()) return;
  const std::string last = ReferencePictures(clip, zdc::PixelFormat::kRgb24).back();
  g.source->frames = clip.frames;
  g.ConnectInput(clip.Type());
  g.graph->RemoveFilter(g.sinkFilter);
  HRESULT hr = g.graph->Render(g.out);
  IVideoWindow* video = nullptr;
  IBasicVideo* basic = nullptr;
  g.graph->QueryInterface(IID_IVideoWindow, (void**)&video);
  g.graph->QueryInterface(IID_IBasicVideo, (void**)&basic);
  ok(hr == S_OK && video && basic, "Render: got hr %#lx.\n", hr);
  if (FAILED(hr) || !video || !basic) return;
  wchar_t caption[] = L"ZDC renderer test";
  video->put_Caption(caption);
  video->SetWindowPosition(0, 0, clip.width + 16, clip.height + 40);
  basic->SetDestinationPosition(0, 0, clip.width, clip.height);  // unscaled, at the top left
  basic->Release();
  g.Run(false);  // still running after the end of stream, the last picture shown
  LONG_PTR param = 0;
  const bool complete = WaitForEvent(g.events, EC_COMPLETE, &param);
  HWND window = FindWindowW(nullptr, caption);
  ok(complete && window, "EC_COMPLETE %d, renderer window %p.\n", complete, window);
  if (window) {
    Sleep(500);  // let the window repaint
    int w = clip.width, h = clip.height;  // the picture's part of the window
    const std::vector<uint8_t> shown = SaveClient(window, "renderer.png", &w, &h);
    double difference = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w * 3; ++x)  // the reference is BGR
        difference += std::abs(shown[size_t(y) * w * 3 + x] -
                               uint8_t(last[size_t(y) * clip.width * 3 + x + 2 - 2 * (x % 3)]));
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
