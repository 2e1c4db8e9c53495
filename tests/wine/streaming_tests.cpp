// Streaming in a platform graph: every picture against a FrameDecoder run on
// the same frames, sample times and flags, the input pin's calls with their
// exact results (stopped, flushing, end of stream), damaged and control
// samples, and format changes asked for by downstream.
#include "test_filters.h"

#include <amvideo.h>
#include <evcode.h>
#include <uuids.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "check.h"
#include "encoder_options.h"
#include "frame_decoder.h"
#include "frame_encoder.h"
#include "picture.h"
#include "yvu9_picture.h"

namespace {

struct StreamShape {
  uint32_t fourcc;
  int32_t width, height, frames;
  uint32_t keyInterval;
  zdc::CoefficientCoding coder;
  int quality;
};

// A FrameDecoder run as the filter drives it (SetSize, SetQuality(0.5), every
// media frame into one buffer at the picture's width).
struct ReferenceRun {
  std::vector<std::vector<BYTE>> pictures;
  std::vector<int32_t> results;
};

zdc::Picture Pattern(int32_t width, int32_t height, bool withChroma, int t) {
  zdc::Picture picture = zdc::Picture::Create(width, height, withChroma);
  for (size_t i = 0; i < picture.luma.size(); ++i) {
    const int x = int(i % width), y = int(i / width);
    // A bright square that moves, so that delta frames code some blocks.
    const bool square = x >= 4 + 6 * t && x < 28 + 6 * t && y >= 8 && y < 30;
    picture.luma[i] = uint8_t(square ? 230 : x * 3 + y * 2 + t * 5);
  }
  for (int p = 0; p < 2; ++p)  // empty without chroma
    for (size_t i = 0; i < picture.chroma[p].size(); ++i)
      picture.chroma[p][i] = uint8_t(100 + 60 * p + i % picture.ChromaWidth() * (4 - 8 * p) + t);
  return picture;
}

// The moving pattern, encoded with the project's encoder.
std::vector<SourceFrame> EncodeStream(const StreamShape& shape) {
  zdc::EncoderOptions options;
  options.fourcc = shape.fourcc, options.quality = shape.quality;
  options.keyInterval = shape.keyInterval, options.coder = shape.coder;
  zdc::FrameEncoder encoder(shape.width, shape.height, options);
  std::vector<SourceFrame> frames(shape.frames);
  for (int t = 0; t < shape.frames; ++t) {
    std::vector<uint8_t> bytes =
        encoder.EncodeFrame(Pattern(shape.width, shape.height, encoder.WithChroma(), t));
    frames[t].data.assign(bytes.begin(), bytes.end());
    frames[t].key = encoder.LastFrame().keyFrame;
  }
  return frames;
}

ReferenceRun DecodeReference(const std::vector<SourceFrame>& frames, int32_t width, int32_t height,
                             bool withChroma, bool denoise = false, bool displayMask = false) {
  ReferenceRun run;
  zdc::FrameDecoder decoder;
  decoder.SetDenoise(denoise);
  decoder.SetDisplayMask(displayMask);
  decoder.SetSize(width, height, withChroma), decoder.SetQuality(0.5);
  std::vector<BYTE> buffer(zdc::DecoderOutputBytes(width, height, withChroma), 0);
  for (const SourceFrame& frame : frames) {
    if (!frame.media) continue;
    const uint32_t size = static_cast<uint32_t>(frame.data.size());
    run.results.push_back(decoder.Decode(frame.data.data(), size, buffer.data(), width));
    run.pictures.push_back(buffer);
  }
  return run;
}

// The pictures against the reference, inside the rectangle the decoder writes
// (luma, and a quarter of each for the two chroma planes), each sample at
// the pitch of its type.
void CheckPictures(const char* name, const std::vector<ReceivedSample>& got,
                   const ReferenceRun& want, int32_t width, int32_t height, bool withChroma) {
  ok(got.size() == want.pictures.size(), "%s: got %zu pictures, expected %zu.\n", name,
     got.size(), want.pictures.size());
  for (size_t i = 0; i < got.size() && i < want.pictures.size(); ++i) {
    const std::vector<BYTE>&a = got[i].bytes, &b = want.pictures[i];
    // Each plane: its offset in the sample and in the reference, width, height.
    const size_t pitch = got[i].width, luma = pitch * height, packed = size_t(width) * height;
    const size_t planes[3][4] = {{0, 0, size_t(width), size_t(height)},
                                 {luma, packed, size_t(width / 4), size_t(height / 4)},
                                 {luma + luma / 16, packed + packed / 16, size_t(width / 4),
                                  size_t(height / 4)}};
    int plane = 0, gotValue = -1, wantValue = -1;
    size_t x = 0, y = 0;
    bool same = true;
    for (; plane < (withChroma ? 3 : 1) && same; ++plane) {
      const size_t gotPitch = plane ? pitch / 4 : pitch, wantPitch = plane ? width / 4 : width;
      for (y = 0; y < planes[plane][3] && same; ++y)
        for (x = 0; x < planes[plane][2] && same; ++x) {
          const size_t at = planes[plane][0] + y * gotPitch + x;
          gotValue = at < a.size() ? a[at] : -1;
          wantValue = b[planes[plane][1] + y * wantPitch + x];
          same = gotValue == wantValue;
        }
    }
    ok(same, "%s: picture %zu, plane %d (%zu, %zu): got %d, expected %d.\n", name, i, plane - 1,
       x - 1, y - 1, gotValue, wantValue);
  }
}

// The rounded average sample size the filter reports for these counts.
uint32_t Average(const std::vector<int32_t>& counts) {
  double total = 0;
  for (int32_t n : counts) total += n;
  return static_cast<uint32_t>(total / counts.size() + 0.5);
}
uint32_t AverageShown(IBaseFilter* filter) {
  IDecompressorSettings* settings = SettingsOf(filter);
  DecompressorStatistics record = {};
  settings->GetStatistics(&record);
  settings->Release();
  return record.averageSampleSize;
}

void TestStreams() {
  using zdc::CoefficientCoding;
  const CoefficientCoding huffman = CoefficientCoding::kHuffman;
  const CoefficientCoding arithmetic = CoefficientCoding::kArithmetic;
  const struct { StreamShape shape; const GUID* subtype; bool info2, denoise, mask; } tests[] = {
      {{zdc::kFourccQzv2, 64, 48, 8, 4, huffman, 50}, &MEDIASUBTYPE_QZV2, false, false, false},
      {{zdc::kFourccQzv3, 100, 50, 7, 3, huffman, 70}, &MEDIASUBTYPE_QZV3, true, false, false},
      {{zdc::kFourccQzv4, 176, 144, 6, 4, arithmetic, 40}, &MEDIASUBTYPE_QZV4, false, true, false},
      {{zdc::kFourccQzv2, 96, 64, 8, 4, huffman, 60}, &MEDIASUBTYPE_QZV2, true, false, true},
      {{zdc::kFourccQzv4, 64, 64, 8, 5, arithmetic, 55}, &MEDIASUBTYPE_QZV4, true, true, true},
      {{zdc::kFourccQzv3, 40, 24, 6, 3, arithmetic, 90}, &MEDIASUBTYPE_QZV3, false, false, true},
  };
  for (size_t i = 0; i < ARRAYSIZE(tests); ++i) {
    const StreamShape& shape = tests[i].shape;
    const bool chroma = shape.fourcc != zdc::kFourccQzv3;
    char name[16];
    std::snprintf(name, sizeof(name), "Stream %zu", i);
    TestGraph g;
    if (!g.in) return;
    g.source->frames = EncodeStream(shape);
    g.ConnectInput(InputType(*tests[i].subtype, tests[i].info2, shape.width, shape.height));
    HRESULT hr = g.ConnectOutput();
    ok(hr == S_OK, "%s: got hr %#lx.\n", name, hr);
    IDecompressorSettings* settings = SettingsOf(g.filter);
    settings->SetDenoise(tests[i].denoise);
    settings->SetDisplayMask(tests[i].mask);
    const ReferenceRun want = DecodeReference(g.source->frames, shape.width, shape.height, chroma,
                                              tests[i].denoise, tests[i].mask);
    for (int run = 0; run < 2; ++run) {  // the second run starts the decoder again
      g.sink->samples.clear();
      g.sink->segments = g.sink->endOfStreams = 0;
      g.Run();
      const std::vector<ReceivedSample>& got = g.sink->samples;
      CheckPictures(name, got, want, shape.width, shape.height, chroma);
      for (size_t s = 0; s < got.size(); ++s)
        ok(got[s].hasTime && got[s].start == 400000 * LONGLONG(s) &&
               got[s].stop == got[s].start + 400000 && got[s].syncPoint &&
               got[s].discontinuity == !s && got[s].ownAllocator,
           "%s, sample %zu: got time %d %lld-%lld, flags %d %d %d.\n", name, s, got[s].hasTime,
           got[s].start, got[s].stop, got[s].syncPoint, got[s].discontinuity,
           got[s].ownAllocator);
      const std::vector<HRESULT>& deliveries = g.source->deliveries;
      const auto delivered = std::count(deliveries.begin(), deliveries.end(), S_OK);
      ok(g.sink->endOfStreams == 1 && g.sink->segments == 1 && delivered == shape.frames,
         "%s: got %ld ends of stream, %ld segments, %d deliveries.\n", name,
         g.sink->endOfStreams, g.sink->segments, int(delivered));
    }
    // Statistics over both runs; the quality is the last frame header's.
    std::vector<int32_t> counts = want.results;
    counts.insert(counts.end(), want.results.begin(), want.results.end());
    double quality = 0;
    settings->GetQuality(&quality);
    ok(AverageShown(g.filter) == Average(counts) && int(quality * 100 + 0.5) == shape.quality,
       "%s: got average %u, expected %u; quality %.17g.\n", name, AverageShown(g.filter),
       Average(counts), quality);
    settings->Release();
  }
}

// The input pin's calls from this thread, with the filter and the sink paused
// or stopped directly.
void TestPinCalls() {
  TestGraph g;
  if (!g.in) return;
  g.ConnectInput(InputType(MEDIASUBTYPE_QZV2, false, 64, 48));
  g.ConnectOutput();
  IMemInputPin* input = nullptr;
  g.in->QueryInterface(IID_IMemInputPin, (void**)&input);
  IMemAllocator* allocator = nullptr;
  CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                   (void**)&allocator);
  ALLOCATOR_PROPERTIES props = {1, 2000, 1, 0}, actual;
  allocator->SetProperties(&props, &actual);
  allocator->Commit();
  IMediaSample* sample = nullptr;
  allocator->GetBuffer(&sample, nullptr, nullptr, 0);
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  const SourceFrame frame = EmptyFrame(1000);
  std::copy(frame.data.begin(), frame.data.end(), data);
  sample->SetActualDataLength(1000);
  REFERENCE_TIME start = 800000, stop = 1200000;
  sample->SetTime(&start, &stop);

  HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                nullptr);
  IDecompressorSettings* settings = SettingsOf(g.filter);
  settings->SetNotifyWindow(window);
  settings->Release();
  SinkState& sink = *g.sink;
  LONG none = 0;
  auto receive = [&] { return input->Receive(sample); };
  auto endOfStream = [&] { return g.in->EndOfStream(); };
  auto flush = [&] { return g.in->BeginFlush(); };
  // Each call, its result, and the count downstream after it.
  const struct { std::function<HRESULT()> call; HRESULT expected; LONG& counter; LONG n; }
      tests[] = {
          {receive, VFW_E_WRONG_STATE, none, 0},  // stopped
          {endOfStream, VFW_E_WRONG_STATE, sink.endOfStreams, 0},
          {[&] { return g.sinkFilter->Pause(), g.filter->Pause(); }, S_OK, none, 0},
          {receive, S_OK, none, 0},
          {[&] { return input->Receive(nullptr); }, E_POINTER, none, 0},
          {flush, S_OK, sink.flushes, 1},
          {receive, S_FALSE, none, 0},  // flushing
          {[&] { return g.in->EndFlush(); }, S_OK, sink.flushes, 2},
          {receive, S_OK, none, 0},
          {[&] { return g.in->NewSegment(0, 10000000, 1.0); }, S_OK, sink.segments, 1},
          {endOfStream, S_OK, sink.endOfStreams, 1},
          {[&] { return g.sinkFilter->Stop(), g.filter->Stop(); }, S_OK, none, 0},
          {receive, VFW_E_WRONG_STATE, none, 0},
          {[&] { return g.graph->Disconnect(g.out), g.graph->Disconnect(g.sinkPin); }, S_OK,
           none, 0},
          {receive, VFW_E_NOT_CONNECTED, none, 0},  // no output
          {flush, VFW_E_NOT_CONNECTED, sink.flushes, 2},
      };
  for (size_t i = 0; i < ARRAYSIZE(tests); ++i) {
    HRESULT hr = tests[i].call();
    ok(hr == tests[i].expected && tests[i].counter == tests[i].n,
       "Call %zu: got hr %#lx, count %ld.\n", i, hr, tests[i].counter);
  }
  // Only the two samples taken were decoded (one notification each).
  MSG message;
  int decoded = 0;
  while (PeekMessageW(&message, window, WM_USER, WM_USER, PM_REMOVE)) ++decoded;
  const std::vector<ReceivedSample>& got = sink.samples;
  ok(decoded == 2 && got.size() == 2 && got[1].start == start && got[1].stop == stop,
     "Got %d decoded, %zu samples, times %lld-%lld.\n", decoded, got.size(),
     got.empty() ? 0 : got.back().start, got.empty() ? 0 : got.back().stop);
  DestroyWindow(window);
  sample->Release();
  allocator->Decommit();
  ULONG left = allocator->Release();
  ok(!left, "Got %lu references to the allocator.\n", left);
  input->Release();
}

// Damaged frames are decoded as far as they go, delivered and counted (by
// the bytes used, or the sample's length when none could be); a control
// sample passes through untouched and uncounted.
void TestDamagedAndControlSamples() {
  TestGraph g;
  if (!g.in) return;
  std::vector<SourceFrame>& frames = g.source->frames;
  frames = EncodeStream({zdc::kFourccQzv2, 64, 48, 8, 4, zdc::CoefficientCoding::kHuffman, 50});
  frames[2].data.resize(frames[2].data.size() / 2);                                  // truncated
  for (size_t i = 24; i < frames[4].data.size(); i += 7) frames[4].data[i] ^= 0x5A;  // garbled
  frames[5].data.resize(10);                                                         // no header
  SourceFrame control;
  control.data.assign(300, 0x77);
  control.media = false;
  frames.insert(frames.begin() + 3, control);
  g.source->bufferSize = 5000;  // unlike the output buffers
  g.ConnectInput(InputType(MEDIASUBTYPE_QZV2, false, 64, 48));
  g.ConnectOutput();
  g.Run();
  std::vector<ReceivedSample> got = g.sink->samples;
  ok(got.size() == 9 && got[3].length == 300 && !got[3].ownAllocator &&
         std::equal(control.data.begin(), control.data.end(), got[3].bytes.begin()),
     "Got %zu samples; the control sample has %ld bytes.\n", got.size(),
     got.size() > 3 ? got[3].length : 0);
  if (got.size() > 3) got.erase(got.begin() + 3);
  const ReferenceRun want = DecodeReference(frames, 64, 48, true);
  CheckPictures("Damaged stream", got, want, 64, 48, true);
  std::vector<int32_t> counts;
  for (const SourceFrame& frame : frames) {
    const size_t n = counts.size();
    if (frame.media) counts.push_back(want.results[n] ? want.results[n]
                                                     : int32_t(frame.data.size()));
  }
  ok(AverageShown(g.filter) == Average(counts), "Got average %u, expected %u.\n",
     AverageShown(g.filter), Average(counts));
}

// Downstream attaches a new type to the fifth output sample: a wider surface
// is taken and the pictures go on at the new stride, the delta chain
// unbroken; a type the decompressor cannot produce aborts the stream.
void TestFormatChanges() {
  for (int refused = 0; refused < 2; ++refused) {
    const int32_t width = 64, height = 48, wide = 96;
    TestGraph g;
    if (!g.in) return;
    g.source->frames =
        EncodeStream({zdc::kFourccQzv4, width, height, 8, 4, zdc::CoefficientCoding::kHuffman, 50});
    g.ConnectInput(InputType(MEDIASUBTYPE_QZV4, false, width, height));
    const CMediaType current = FirstOffered(g.out);
    CMediaType changed = current;
    BitmapHeader(changed)->biWidth = wide;
    changed.lSampleSize = BitmapHeader(changed)->biSizeImage = wide * height * 9 / 8;
    SetRect(&reinterpret_cast<VIDEOINFOHEADER*>(changed.pbFormat)->rcTarget, 0, 0, width, height);
    if (refused) changed.subtype = MEDIASUBTYPE_RGB565;
    g.sink->ownAllocator = NewTestAllocator(wide * height * 9 / 8, 4, &changed);
    HRESULT hr = g.ConnectOutput(&current);
    ok(hr == S_OK, "Got hr %#lx.\n", hr);
    const ReferenceRun want = DecodeReference(g.source->frames, width, height, true);
    const std::vector<ReceivedSample>& got = g.sink->samples;
    if (!refused) {
      g.Run();
      CheckPictures("Format change", got, want, width, height, true);
      for (size_t i = 0; i < got.size(); ++i)
        ok(got[i].width == (i < 4 ? width : wide), "Sample %zu: got width %ld.\n", i, got[i].width);
      AM_MEDIA_TYPE now;
      g.out->ConnectionMediaType(&now);
      ok(BitmapHeader(now)->biWidth == wide, "Got width %ld.\n", BitmapHeader(now)->biWidth);
      FreeMediaType(now);
      continue;
    }
    g.Run();
    LONG_PTR result = 0;
    bool aborted = WaitForEvent(g.events, EC_ERRORABORT, &result);
    // The refused sample is not counted.
    const std::vector<int32_t> counts(want.results.begin(), want.results.begin() + 4);
    ok(aborted && result == VFW_E_TYPE_NOT_ACCEPTED && got.size() == 4 &&
           g.sink->endOfStreams == 1 && g.source->deliveries.size() == 5 &&
           g.source->deliveries.back() == VFW_E_TYPE_NOT_ACCEPTED &&
           AverageShown(g.filter) == Average(counts),
       "Got EC_ERRORABORT %d with %#lx, %zu samples, %ld ends of stream, %zu deliveries, "
       "average %u.\n", aborted, (long)result, got.size(), g.sink->endOfStreams,
       g.source->deliveries.size(), AverageShown(g.filter));
  }
}

}  // namespace

void TestStreaming() {
  TestStreams();
  TestPinCalls();
  TestDamagedAndControlSamples();
  TestFormatChanges();
}
