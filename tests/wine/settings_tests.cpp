// IDecompressorSettings: every method's result, and its effect on a filter
// that streams in a graph (notifications, quality, statistics).
#include <windows.h>
#include <strmif.h>

#include <climits>
#include <cmath>
#include <cstring>

#include "check.h"
#include "test_frames.h"
#include "test_graph.h"
#include "test_support.h"
#include "zdc_guids.h"

namespace {

IDecompressorSettings* Settings(IUnknown* filter) {
  IDecompressorSettings* settings = nullptr;
  filter->QueryInterface(IID_IDecompressorSettings, reinterpret_cast<void**>(&settings));
  return settings;
}

// A key frame of exactly `bytes` bytes whose header carries `hundredths`.
SourceFrame FrameOf(uint32_t bytes, uint16_t hundredths) {
  SourceFrame frame;
  frame.data = EmptyKeyFrame(bytes);
  frame.data[4] = static_cast<BYTE>(hundredths);
  frame.data[5] = static_cast<BYTE>(hundredths >> 8);
  return frame;
}

// Takes the WM_USER messages posted to `window` off the queue.
int TakeNotifications(HWND window) {
  MSG message;
  int count = 0;
  while (PeekMessageW(&message, window, WM_USER, WM_USER, PM_REMOVE)) {
    ok(message.wParam == 0 && message.lParam == 0, "WM_USER with %#llx, %#llx\n",
       static_cast<unsigned long long>(message.wParam),
       static_cast<unsigned long long>(message.lParam));
    ++count;
  }
  return count;
}

void TestResults() {
  BeginGroup("settings interface");
  IBaseFilter* filter = NewDecompressor();
  IDecompressorSettings* settings = Settings(filter);
  ok(settings != nullptr, "no settings interface\n");
  if (!settings) return;

  double quality = -1.0;
  BOOL denoise = 7, mask = 7;
  ok(settings->GetQuality(&quality) == S_OK && quality == 0.0, "initial quality %f\n", quality);
  ok(settings->GetDenoise(&denoise) == S_OK && denoise == FALSE, "denoise starts as %d\n",
     denoise);
  ok(settings->GetDisplayMask(&mask) == S_OK && mask == FALSE, "mask display starts as %d\n",
     mask);

  struct {
    const char* name;
    HRESULT got;
  } nulls[] = {
      {"GetQuality", settings->GetQuality(nullptr)},
      {"GetDenoise", settings->GetDenoise(nullptr)},
      {"GetDisplayMask", settings->GetDisplayMask(nullptr)},
      {"GetStatistics", settings->GetStatistics(nullptr)},
  };
  for (const auto& n : nulls) ok(n.got == E_POINTER, "%s(null): hr %#lx\n", n.name, n.got);

  // A refused quality leaves the previous one; reading multiplies the
  // hundredths by 0.01, so 0.29 and 0.58 come back one hundredth lower.
  struct {
    double value;
    HRESULT expected;
    double reads;
  } qualities[] = {
      {0.5, S_OK, 0.5},          {1.0, S_OK, 1.0},           {0.0, S_OK, 0.0},
      {0.29, S_OK, 0.28},        {0.58, S_OK, 0.57},         {0.75, S_OK, 0.75},
      {1.0000001, E_INVALIDARG, 0.75}, {-0.01, E_INVALIDARG, 0.75}, {NAN, E_INVALIDARG, 0.75},
      {INFINITY, E_INVALIDARG, 0.75},
  };
  for (const auto& q : qualities) {
    HRESULT hr = settings->SetQuality(q.value);
    settings->GetQuality(&quality);
    ok(hr == q.expected && std::fabs(quality - q.reads) < 1e-12,
       "SetQuality(%g): hr %#lx, reads %.17g\n", q.value, hr, quality);
  }

  // The switches are kept exactly as written, not reduced to 0 or 1.
  const BOOL switches[] = {TRUE, 2, -1, INT_MIN, INT_MAX, FALSE};
  for (BOOL on : switches) {
    HRESULT setMask = settings->SetDisplayMask(on);
    HRESULT setDenoise = settings->SetDenoise(on ^ 1);
    settings->GetDisplayMask(&mask);
    settings->GetDenoise(&denoise);
    ok(setMask == S_OK && mask == on, "SetDisplayMask(%d): hr %#lx, reads %d\n", on, setMask,
       mask);
    ok(setDenoise == S_OK && denoise == (on ^ 1), "SetDenoise(%d): hr %#lx, reads %d\n", on ^ 1,
       setDenoise, denoise);
  }
  settings->SetDenoise(FALSE);

  // Only the third field of the record is written.
  DecompressorStatistics record;
  std::memset(&record, 0xAB, sizeof(record));
  ok(settings->GetStatistics(&record) == S_OK && record.averageSampleSize == 0, "average %u\n",
     record.averageSampleSize);
  bool othersKept = record.reserved0 == 0xABABABABu && record.reserved1 == 0xABABABABu;
  for (uint32_t field : record.reserved) othersKept = othersKept && field == 0xABABABABu;
  ok(othersKept, "GetStatistics wrote other fields\n");

  HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234));
  ok(settings->SetNotifyWindow(window) == S_OK, "SetNotifyWindow\n");
  ok(settings->SetNotifyWindow(nullptr) == S_OK, "SetNotifyWindow(null)\n");
  ok(settings->ClearNotifyWindow() == S_OK && settings->ClearNotifyWindow() == S_OK,
     "ClearNotifyWindow\n");
  ok(settings->ResetStatistics() == S_OK, "ResetStatistics\n");

  ok(RefCount(filter) == 2, "the settings interface holds the filter: %lu\n", RefCount(filter));
  settings->Release();
  ReleaseLastReference(filter, "filter");
}

void TestEffects() {
  BeginGroup("settings while streaming");
  TestGraph g;
  if (!g.Create()) return g.Release();
  g.source->bufferSize = 2000;
  g.ConnectSmallQzv2();
  IDecompressorSettings* settings = Settings(g.filter);
  HWND first = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                               nullptr);
  HWND second = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                nullptr);

  // Each frame posts one WM_USER to the window set last, and none once it is
  // cleared.
  struct {
    const char* name;
    HWND window;  // null: ClearNotifyWindow
    int frames;
    int toFirst;
    int toSecond;
  } notifications[] = {
      {"first window", first, 2, 2, 0},
      {"second window", second, 3, 0, 3},
      {"cleared", nullptr, 2, 0, 0},
      {"first again", first, 1, 1, 0},
  };
  for (const auto& n : notifications) {
    if (n.window)
      settings->SetNotifyWindow(n.window);
    else
      settings->ClearNotifyWindow();
    g.source->frames.assign(n.frames, FrameOf(1000, 50));
    g.RunToCompletion();
    int toFirst = TakeNotifications(first);
    int toSecond = TakeNotifications(second);
    ok(toFirst == n.toFirst && toSecond == n.toSecond, "%s: %d and %d notifications\n", n.name,
       toFirst, toSecond);
  }
  settings->ClearNotifyWindow();

  // A quality written while stopped lasts until streaming starts again and
  // the frames bring their own.
  double quality = 0;
  settings->SetQuality(0.28);
  settings->GetQuality(&quality);
  ok(std::fabs(quality - 0.28) < 1e-12, "quality written while stopped reads %.17g\n", quality);
  g.source->frames.assign(2, FrameOf(1000, 75));
  g.RunToCompletion();
  settings->GetQuality(&quality);
  ok(std::fabs(quality - 0.75) < 1e-12, "quality after frames of 0.75 reads %.17g\n", quality);

  // The reset keeps the average visible until the next frame replaces it.
  settings->ResetStatistics();
  g.source->frames = {FrameOf(1000, 50), FrameOf(1001, 50), FrameOf(1001, 50)};
  g.RunToCompletion();
  DecompressorStatistics record = {};
  settings->GetStatistics(&record);
  ok(record.averageSampleSize == 1001, "average %u\n", record.averageSampleSize);
  settings->ResetStatistics();
  settings->GetStatistics(&record);
  ok(record.averageSampleSize == 1001, "average after the reset %u\n", record.averageSampleSize);
  g.source->frames = {FrameOf(1234, 50)};
  g.RunToCompletion();
  settings->GetStatistics(&record);
  ok(record.averageSampleSize == 1234, "average of the next frame %u\n", record.averageSampleSize);

  settings->Release();
  DestroyWindow(first);
  DestroyWindow(second);
  g.Release();
  ok(ModuleCanUnloadNow() == S_OK, "objects left behind\n");
}

}  // namespace

void RunSettingsTests() {
  TestResults();
  TestEffects();
}
