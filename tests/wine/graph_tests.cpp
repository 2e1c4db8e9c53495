// The decompressor streaming in a platform graph: a test source pushes one
// compressed frame per sample, the sink records every picture, and each one is
// compared byte for byte with a FrameDecoder run directly on the same frames.
#include <windows.h>
#include <strmif.h>
#include <amvideo.h>
#include <evcode.h>
#include <uuids.h>

#include <cstdio>
#include <string>

#include "check.h"
#include "test_frames.h"
#include "test_graph.h"
#include "test_support.h"
#include "zdc_guids.h"

namespace {

// Long enough for any of these small streams; only a broken graph waits it out.
constexpr DWORD kEventTimeoutMs = 20000;

const GUID& SubtypeOf(uint32_t fourcc) {
  static const GUID qzv2 = MEDIASUBTYPE_QZV2, qzv3 = MEDIASUBTYPE_QZV3, qzv4 = MEDIASUBTYPE_QZV4;
  return fourcc == zdc::kFourccQzv2 ? qzv2 : fourcc == zdc::kFourccQzv3 ? qzv3 : qzv4;
}

IDecompressorSettings* Settings(IBaseFilter* filter) {
  IDecompressorSettings* settings = nullptr;
  filter->QueryInterface(IID_IDecompressorSettings, reinterpret_cast<void**>(&settings));
  return settings;
}

// Every received sample against the reference pictures, in order.
void ComparePictures(const char* name, const std::vector<ReceivedSample>& got,
                     const ReferenceRun& want, int32_t width, int32_t height, bool withChroma,
                     size_t first = 0) {
  ok(got.size() == first + want.pictures.size(), "%s: %zu samples, expected %zu\n", name,
     got.size(), first + want.pictures.size());
  for (size_t i = 0; i < want.pictures.size() && first + i < got.size(); ++i) {
    char detail[160] = "";
    bool same = SamePicture(got[first + i].bytes, want.pictures[i], width, height, withChroma,
                            want.strides[i], detail, sizeof(detail));
    ok(same, "%s: picture %zu differs at %s\n", name, i, detail);
  }
}

struct RunResult {
  bool completed = false;
  std::vector<GraphEvent> events;
};

RunResult RunToCompletion(TestGraph& g) {
  RunResult result;
  HRESULT hr = g.control->Run();
  ok(SUCCEEDED(hr), "Run: hr %#lx\n", hr);
  result.completed = WaitForEvent(g.events, EC_COMPLETE, kEventTimeoutMs, &result.events);
  ok(result.completed, "no EC_COMPLETE\n");
  hr = g.control->Stop();
  ok(hr == S_OK, "Stop: hr %#lx\n", hr);
  return result;
}

void TestStreams() {
  BeginGroup("streams");
  struct {
    const char* name;
    StreamShape shape;
    bool info2;
    bool denoise;
    bool displayMask;
  } cases[] = {
      {"QZV2 VIH Huffman 64x48", {zdc::kFourccQzv2, 64, 48, 8, 4, zdc::CoefficientCoding::kHuffman, 50}, false, false, false},
      {"QZV3 VIH2 Huffman 100x50", {zdc::kFourccQzv3, 100, 50, 7, 3, zdc::CoefficientCoding::kHuffman, 70}, true, false, false},
      {"QZV4 VIH arithmetic 176x144 denoise", {zdc::kFourccQzv4, 176, 144, 6, 4, zdc::CoefficientCoding::kArithmetic, 40}, false, true, false},
      {"QZV2 VIH2 Huffman 96x64 mask display", {zdc::kFourccQzv2, 96, 64, 8, 4, zdc::CoefficientCoding::kHuffman, 60}, true, false, true},
      {"QZV4 VIH2 arithmetic 64x64 both", {zdc::kFourccQzv4, 64, 64, 8, 5, zdc::CoefficientCoding::kArithmetic, 55}, true, true, true},
      {"QZV3 VIH arithmetic 40x24 mask display", {zdc::kFourccQzv3, 40, 24, 6, 3, zdc::CoefficientCoding::kArithmetic, 90}, false, false, true},
  };
  for (const auto& c : cases) {
    const bool withChroma = c.shape.fourcc != zdc::kFourccQzv3;
    std::vector<SourceFrame> frames = EncodeStream(c.shape);
    TestGraph g;
    if (!g.Create()) return g.Release();
    g.source->frames = frames;
    ok(g.ConnectInput(InputType(SubtypeOf(c.shape.fourcc), c.info2, c.shape.width, c.shape.height)) ==
           S_OK,
       "%s: input\n", c.name);
    ok(g.ConnectOutput(nullptr) == S_OK, "%s: output\n", c.name);
    IDecompressorSettings* settings = Settings(g.filter);
    settings->SetDenoise(c.denoise);
    settings->SetDisplayMask(c.displayMask);

    // The page's window gets one WM_USER per frame.
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
    settings->SetNotifyWindow(window);

    ReferenceRun want = DecodeReference(frames, c.shape.width, c.shape.height, withChroma,
                                        c.shape.width, c.denoise, c.displayMask);
    for (int run = 0; run < 2; ++run) {
      std::string name = std::string(c.name) + (run ? " (second run)" : "");
      g.sink->ClearSamples();
      RunToCompletion(g);
      std::vector<ReceivedSample> got = g.sink->Samples();
      ComparePictures(name.c_str(), got, want, c.shape.width, c.shape.height, withChroma);
      for (size_t i = 0; i < got.size(); ++i) {
        const REFERENCE_TIME start = static_cast<REFERENCE_TIME>(i) * g.source->frameDuration;
        ok(got[i].hasTime && got[i].start == start &&
               got[i].stop == start + g.source->frameDuration,
           "%s: sample %zu times %lld..%lld\n", name.c_str(), i, got[i].start, got[i].stop);
        ok(got[i].syncPoint, "%s: sample %zu is no sync point\n", name.c_str(), i);
        ok(got[i].discontinuity == (i == 0), "%s: sample %zu discontinuity\n", name.c_str(), i);
        ok(got[i].fromOwnAllocator, "%s: sample %zu from another allocator\n", name.c_str(), i);
      }
      ok(g.sink->endOfStreamCount == 1, "%s: %ld ends of stream\n", name.c_str(),
         g.sink->endOfStreamCount);
      ok(g.sink->newSegmentCount == 1, "%s: %ld segments\n", name.c_str(), g.sink->newSegmentCount);
      for (size_t i = 0; i < g.source->deliveries.size(); ++i)
        ok(g.source->deliveries[i] == S_OK, "%s: delivery %zu hr %#lx\n", name.c_str(), i,
           g.source->deliveries[i]);
    }

    // Statistics over both runs, and the quality of the last frame header.
    std::vector<int32_t> counts = want.results;
    counts.insert(counts.end(), want.results.begin(), want.results.end());
    DecompressorStatistics record = {};
    settings->GetStatistics(&record);
    ok(static_cast<int32_t>(record.averageSampleSize) == ExpectedAverage(counts),
       "%s: average %u, expected %d\n", c.name, record.averageSampleSize,
       ExpectedAverage(counts));
    double quality = 0;
    settings->GetQuality(&quality);
    ok(static_cast<int>(quality * 100.0 + 0.5) == c.shape.quality, "%s: quality %f\n", c.name,
       quality);

    MSG message;
    int notifications = 0;
    while (PeekMessageW(&message, window, WM_USER, WM_USER, PM_REMOVE)) ++notifications;
    ok(notifications == 2 * c.shape.frames, "%s: %d notifications\n", c.name, notifications);
    settings->ClearNotifyWindow();
    DestroyWindow(window);
    settings->Release();
    g.Release();
  }
}

// Damaged frames are decoded as far as they go, delivered and counted; a
// control sample passes through untouched and is not counted.
void TestDamagedAndControlSamples() {
  BeginGroup("damaged and control samples");
  StreamShape shape = {zdc::kFourccQzv2, 64, 48, 8, 4, zdc::CoefficientCoding::kHuffman, 50};
  std::vector<SourceFrame> frames = EncodeStream(shape);
  frames[2].data.resize(frames[2].data.size() / 2);                     // truncated delta
  for (size_t i = 24; i < frames[4].data.size(); i += 7) frames[4].data[i] ^= 0x5A;  // garbled key
  frames[5].data.resize(10);                                           // not even a header
  SourceFrame control;
  control.data.assign(300, 0x77);
  control.media = false;
  frames.insert(frames.begin() + 3, control);

  TestGraph g;
  if (!g.Create()) return g.Release();
  g.source->frames = frames;
  g.source->bufferSize = 5000;  // unlike the output buffers
  g.ConnectSmallQzv2();
  RunToCompletion(g);
  std::vector<ReceivedSample> got = g.sink->Samples();
  ok(got.size() == frames.size(), "%zu samples\n", got.size());

  // The control sample comes through as it was sent.
  if (got.size() > 3) {
    const ReceivedSample& passed = got[3];
    ok(passed.actualLength == 300 && !passed.fromOwnAllocator &&
           std::equal(control.data.begin(), control.data.end(), passed.bytes.begin()),
       "control sample: %ld bytes\n", passed.actualLength);
    got.erase(got.begin() + 3);
  }
  frames.erase(frames.begin() + 3);
  ReferenceRun want = DecodeReference(frames, 64, 48, true, 64, false, false);
  ComparePictures("damaged stream", got, want, 64, 48, true);
  ok(want.results[5] == 0, "a 10-byte frame is abandoned: %d\n", want.results[5]);

  std::vector<int32_t> counts;
  for (size_t i = 0; i < frames.size(); ++i)
    counts.push_back(want.results[i] ? want.results[i] : static_cast<int32_t>(frames[i].data.size()));
  IDecompressorSettings* settings = Settings(g.filter);
  DecompressorStatistics record = {};
  settings->GetStatistics(&record);
  ok(static_cast<int32_t>(record.averageSampleSize) == ExpectedAverage(counts),
     "average %u, expected %d\n", record.averageSampleSize, ExpectedAverage(counts));
  settings->Release();
  for (size_t i = 0; i < g.source->deliveries.size(); ++i)
    ok(g.source->deliveries[i] == S_OK, "delivery %zu hr %#lx\n", i, g.source->deliveries[i]);
  g.Release();
}

void TestAverage() {
  BeginGroup("running average");
  struct {
    const char* name;
    std::vector<uint32_t> sizes;
    bool resetFirst;
    uint32_t expected;
  } cases[] = {
      {"1000, 1001, 1001", {1000, 1001, 1001}, false, 1001},
      {"after a reset, 1000 and 1001", {1000, 1001}, true, 1001},
      {"after a reset, 1000, 1000, 1001", {1000, 1000, 1001}, true, 1000},
      {"one frame after a reset", {1234}, true, 1234},
  };
  TestGraph g;
  if (!g.Create()) return g.Release();
  g.source->bufferSize = 2000;  // room for every frame below
  g.ConnectSmallQzv2();
  IDecompressorSettings* settings = Settings(g.filter);
  DecompressorStatistics record = {};
  for (const auto& c : cases) {
    if (c.resetFirst) {
      DecompressorStatistics before = {}, after = {};
      settings->GetStatistics(&before);
      settings->ResetStatistics();
      settings->GetStatistics(&after);
      ok(after.averageSampleSize == before.averageSampleSize,
         "%s: the reset changed the average to %u\n", c.name, after.averageSampleSize);
    }
    g.source->frames.clear();
    for (uint32_t size : c.sizes) {
      SourceFrame frame;
      frame.data = EmptyKeyFrame(size);
      g.source->frames.push_back(frame);
    }
    RunToCompletion(g);
    settings->GetStatistics(&record);
    ok(record.averageSampleSize == c.expected, "%s: average %u, expected %u\n", c.name,
       record.averageSampleSize, c.expected);
  }
  settings->Release();
  g.Release();
}

// Downstream asks for a wider surface from the fifth sample on: the decoder
// restarts with the new pitch and the pictures continue in it.
void TestFormatChange() {
  BeginGroup("format change");
  const int32_t width = 64, height = 48, wide = 96;
  StreamShape shape = {zdc::kFourccQzv4, width, height, 8, 4, zdc::CoefficientCoding::kHuffman, 50};
  std::vector<SourceFrame> frames = EncodeStream(shape);
  TestGraph g;
  if (!g.Create()) return g.Release();
  g.source->frames = frames;
  g.sink->offerOwnAllocator = true;
  g.sink->ownAllocator = TestAllocator::Create();
  const long wideBytes = wide * height * 9 / 8;
  g.sink->ownAllocator->SetMinimumBufferSize(wideBytes);
  ok(g.ConnectInput(InputType(MEDIASUBTYPE_QZV4, false, width, height)) == S_OK, "input\n");
  ok(g.ConnectOutput(nullptr) == S_OK, "output\n");

  AM_MEDIA_TYPE current;
  g.out->ConnectionMediaType(&current);
  CMediaType changed(current);
  FreeMediaType(current);
  BitmapHeader(changed)->biWidth = wide;
  BitmapHeader(changed)->biSizeImage = wideBytes;
  changed.lSampleSize = wideBytes;
  SetRect(&reinterpret_cast<VIDEOINFOHEADER*>(changed.pbFormat)->rcTarget, 0, 0, width, height);
  g.sink->ownAllocator->AttachTypeAt(4, changed);

  RunToCompletion(g);
  std::vector<ReceivedSample> got = g.sink->Samples();
  ReferenceRun want = DecodeReference(frames, width, height, true, width, false, false, 4, wide);
  ComparePictures("format change", got, want, width, height, true);
  for (size_t i = 0; i < got.size(); ++i) {
    const BITMAPINFOHEADER* h = BitmapHeader(got[i].type);
    ok(h->biWidth == (i < 4 ? width : wide), "sample %zu arrived as %ld wide\n", i, h->biWidth);
  }
  AM_MEDIA_TYPE now;
  ok(g.out->ConnectionMediaType(&now) == S_OK && BitmapHeader(now)->biWidth == wide,
     "the output pin took the new type\n");
  FreeMediaType(now);
  g.Release();
}

// A new format that the decompressor cannot produce ends the stream.
void TestRefusedFormatChange() {
  BeginGroup("refused format change");
  StreamShape shape = {zdc::kFourccQzv2, 64, 48, 6, 3, zdc::CoefficientCoding::kHuffman, 50};
  std::vector<SourceFrame> frames = EncodeStream(shape);
  TestGraph g;
  if (!g.Create()) return g.Release();
  g.source->frames = frames;
  g.sink->offerOwnAllocator = true;
  g.sink->ownAllocator = TestAllocator::Create();
  g.ConnectSmallQzv2();
  AM_MEDIA_TYPE current;
  g.out->ConnectionMediaType(&current);
  CMediaType rgb(current);
  FreeMediaType(current);
  rgb.subtype = MEDIASUBTYPE_RGB24;
  BitmapHeader(rgb)->biBitCount = 24;
  BitmapHeader(rgb)->biCompression = BI_RGB;
  g.sink->ownAllocator->AttachTypeAt(2, rgb);

  ok(SUCCEEDED(g.control->Run()), "Run\n");
  std::vector<GraphEvent> events;
  bool aborted = WaitForEvent(g.events, EC_ERRORABORT, kEventTimeoutMs, &events);
  ok(aborted, "no EC_ERRORABORT\n");
  if (aborted)
    ok(events.back().param1 == VFW_E_TYPE_NOT_ACCEPTED, "EC_ERRORABORT with %#lx\n",
       static_cast<long>(events.back().param1));
  g.control->Stop();
  std::vector<ReceivedSample> got = g.sink->Samples();
  ok(got.size() == 2, "%zu samples delivered\n", got.size());
  ok(g.sink->endOfStreamCount == 1, "%ld ends of stream\n", g.sink->endOfStreamCount);
  ok(g.source->deliveries.size() == 3 && g.source->deliveries.back() == VFW_E_TYPE_NOT_ACCEPTED,
     "the third delivery returned %#lx\n",
     g.source->deliveries.empty() ? 0 : g.source->deliveries.back());
  IDecompressorSettings* settings = Settings(g.filter);
  DecompressorStatistics record = {};
  settings->GetStatistics(&record);
  ReferenceRun want = DecodeReference({frames[0], frames[1]}, 64, 48, true, 64, false, false);
  ok(static_cast<int32_t>(record.averageSampleSize) == ExpectedAverage(want.results),
     "the refused sample was counted: average %u\n", record.averageSampleSize);
  settings->Release();
  g.Release();
}

}  // namespace

void RunGraphTests() {
  TestStreams();
  TestDamagedAndControlSamples();
  TestAverage();
  TestFormatChange();
  TestRefusedFormatChange();
}
