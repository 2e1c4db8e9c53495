// Streaming in a platform graph: every picture against a FrameDecoder run on
// the same frames, sample times and flags, the pin calls' exact results
// (stopped, flushing, end of stream), damaged and control samples, and
// format changes asked for by downstream.
#include "test_filters.h"

#include <amvideo.h>
#include <evcode.h>
#include <uuids.h>

#include <algorithm>

#include "check.h"

namespace {

void TestStreams() {
  using zdc::CoefficientCoding;
  const struct {
    StreamShape shape;
    const GUID* subtype;
    bool info2, denoise, displayMask;
  } tests[] = {
      {{zdc::kFourccQzv2, 64, 48, 8, 4, CoefficientCoding::kHuffman, 50}, &MEDIASUBTYPE_QZV2, false, false, false},
      {{zdc::kFourccQzv3, 100, 50, 7, 3, CoefficientCoding::kHuffman, 70}, &MEDIASUBTYPE_QZV3, true, false, false},
      {{zdc::kFourccQzv4, 176, 144, 6, 4, CoefficientCoding::kArithmetic, 40}, &MEDIASUBTYPE_QZV4, false, true, false},
      {{zdc::kFourccQzv2, 96, 64, 8, 4, CoefficientCoding::kHuffman, 60}, &MEDIASUBTYPE_QZV2, true, false, true},
      {{zdc::kFourccQzv4, 64, 64, 8, 5, CoefficientCoding::kArithmetic, 55}, &MEDIASUBTYPE_QZV4, true, true, true},
      {{zdc::kFourccQzv3, 40, 24, 6, 3, CoefficientCoding::kArithmetic, 90}, &MEDIASUBTYPE_QZV3, false, false, true},
  };
  for (size_t i = 0; i < ARRAYSIZE(tests); ++i) {
    const StreamShape& shape = tests[i].shape;
    const bool withChroma = shape.fourcc != zdc::kFourccQzv3;
    char name[32];
    std::snprintf(name, sizeof(name), "Stream %zu", i);
    TestGraph g;
    if (!g.in) return;
    g.source->frames = EncodeStream(shape);
    g.ConnectInput(InputType(*tests[i].subtype, tests[i].info2, shape.width, shape.height));
    HRESULT hr = g.ConnectOutput();
    ok(hr == S_OK, "%s: got hr %#lx.\n", name, hr);
    IDecompressorSettings* settings = SettingsOf(g.filter);
    settings->SetDenoise(tests[i].denoise);
    settings->SetDisplayMask(tests[i].displayMask);
    const ReferenceRun want = DecodeReference(g.source->frames, shape.width, shape.height,
                                              withChroma, tests[i].denoise, tests[i].displayMask);
    // The second run starts the decoder again.
    for (int run = 0; run < 2; ++run) {
      g.sink->Clear();
      g.Run();
      const std::vector<ReceivedSample> got = g.sink->Samples();
      CheckPictures(name, got, want, shape.width, shape.height, withChroma);
      for (size_t s = 0; s < got.size(); ++s)
        ok(got[s].hasTime && got[s].start == 400000 * LONGLONG(s) &&
               got[s].stop == got[s].start + 400000 && got[s].syncPoint &&
               got[s].discontinuity == !s && got[s].ownAllocator,
           "%s, sample %zu: got time %d %lld-%lld, flags %d %d %d.\n", name, s, got[s].hasTime,
           got[s].start, got[s].stop, got[s].syncPoint, got[s].discontinuity,
           got[s].ownAllocator);
      ok(g.sink->endOfStreams == 1 && g.sink->segments == 1,
         "%s: got %ld ends of stream, %ld segments.\n", name, g.sink->endOfStreams,
         g.sink->segments);
      ok(std::count(g.source->deliveries.begin(), g.source->deliveries.end(), S_OK) == shape.frames,
         "%s: got %zu deliveries.\n", name, g.source->deliveries.size());
    }
    // Statistics over both runs; the quality is the last frame header's.
    std::vector<int32_t> counts = want.results;
    counts.insert(counts.end(), want.results.begin(), want.results.end());
    DecompressorStatistics record = {};
    settings->GetStatistics(&record);
    double quality = 0;
    settings->GetQuality(&quality);
    ok(record.averageSampleSize == Average(counts) && int(quality * 100 + 0.5) == shape.quality,
       "%s: got average %u, expected %u; quality %.17g.\n", name, record.averageSampleSize,
       Average(counts), quality);
    settings->Release();
  }
}

// The input pin's calls outside the source's thread, with the filter and the
// sink paused or stopped directly.
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

  HRESULT hr = input->Receive(sample);
  ok(hr == VFW_E_WRONG_STATE, "Stopped: Receive got hr %#lx.\n", hr);
  hr = g.in->EndOfStream();
  ok(hr == VFW_E_WRONG_STATE, "Stopped: EndOfStream got hr %#lx.\n", hr);
  g.sink->Pause();
  g.filter->Pause();
  hr = input->Receive(sample);
  ok(hr == S_OK, "Paused: Receive got hr %#lx.\n", hr);
  hr = input->Receive(nullptr);
  ok(hr == E_POINTER, "Receive(null) got hr %#lx.\n", hr);
  hr = g.in->BeginFlush();
  ok(hr == S_OK && g.sink->beginFlushes == 1, "BeginFlush got hr %#lx, %ld flushes.\n", hr,
     g.sink->beginFlushes);
  hr = input->Receive(sample);
  ok(hr == S_FALSE, "Flushing: Receive got hr %#lx.\n", hr);
  hr = g.in->EndFlush();
  ok(hr == S_OK && g.sink->endFlushes == 1, "EndFlush got hr %#lx, %ld flushes.\n", hr,
     g.sink->endFlushes);
  hr = input->Receive(sample);
  ok(hr == S_OK, "After the flush: Receive got hr %#lx.\n", hr);
  hr = g.in->NewSegment(0, 10000000, 1.0);
  ok(hr == S_OK && g.sink->segments == 1, "NewSegment got hr %#lx, %ld segments.\n", hr,
     g.sink->segments);
  hr = g.in->EndOfStream();
  ok(hr == S_OK && g.sink->endOfStreams == 1, "EndOfStream got hr %#lx, %ld.\n", hr,
     g.sink->endOfStreams);
  const std::vector<ReceivedSample> got = g.sink->Samples();
  ok(got.size() == 2 && got[1].start == start && got[1].stop == stop,
     "Got %zu samples, times %lld-%lld.\n", got.size(), got.empty() ? 0 : got.back().start,
     got.empty() ? 0 : got.back().stop);
  g.filter->Stop();
  g.sink->Stop();
  hr = input->Receive(sample);
  ok(hr == VFW_E_WRONG_STATE, "Stopped again: Receive got hr %#lx.\n", hr);
  g.graph->Disconnect(g.out);
  g.graph->Disconnect(&g.sink->m_pin);
  hr = input->Receive(sample);
  ok(hr == VFW_E_NOT_CONNECTED, "No output: Receive got hr %#lx.\n", hr);
  hr = g.in->BeginFlush();
  ok(hr == VFW_E_NOT_CONNECTED, "No output: BeginFlush got hr %#lx.\n", hr);
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
  std::vector<ReceivedSample> got = g.sink->Samples();
  ok(got.size() == 9 && got[3].length == 300 && !got[3].ownAllocator &&
         std::equal(control.data.begin(), control.data.end(), got[3].bytes.begin()),
     "Got %zu samples; the control sample has %ld bytes.\n", got.size(),
     got.size() > 3 ? got[3].length : 0);
  if (got.size() > 3) got.erase(got.begin() + 3);
  const ReferenceRun want = DecodeReference(frames, 64, 48, true);
  CheckPictures("Damaged stream", got, want, 64, 48, true);
  std::vector<int32_t> counts;
  for (const SourceFrame& frame : frames)
    if (frame.media) counts.push_back(static_cast<int32_t>(frame.data.size()));
  for (size_t i = 0; i < counts.size(); ++i) counts[i] = want.results[i] ? want.results[i] : counts[i];
  IDecompressorSettings* settings = SettingsOf(g.filter);
  DecompressorStatistics record = {};
  settings->GetStatistics(&record);
  ok(record.averageSampleSize == Average(counts), "Got average %u, expected %u.\n",
     record.averageSampleSize, Average(counts));
  settings->Release();
}

// Downstream attaches a new type to the output sample from the fifth on: a
// wider surface is taken and the decoder goes on at the new stride; a type
// the decompressor cannot produce aborts the stream.
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
    if (refused) {
      changed.subtype = MEDIASUBTYPE_RGB24;
      BitmapHeader(changed)->biCompression = BI_RGB;
    }
    g.sink->ownAllocator = NewTestAllocator(wide * height * 9 / 8, 4, &changed);
    HRESULT hr = g.ConnectOutput(&current);
    ok(hr == S_OK, "Got hr %#lx.\n", hr);
    const ReferenceRun want = DecodeReference(g.source->frames, width, height, true, false,
                                              false, 4, wide);
    std::vector<ReceivedSample> got;
    if (!refused) {
      g.Run();
      got = g.sink->Samples();
      CheckPictures("Format change", got, want, width, height, true);
      for (size_t i = 0; i < got.size(); ++i)
        ok(got[i].width == (i < 4 ? width : wide), "Sample %zu: got width %ld.\n", i,
           got[i].width);
      AM_MEDIA_TYPE now;
      g.out->ConnectionMediaType(&now);
      ok(BitmapHeader(now)->biWidth == wide, "Got width %ld.\n", BitmapHeader(now)->biWidth);
      FreeMediaType(now);
      continue;
    }
    g.control->Run();
    LONG_PTR result = 0;
    ok(WaitForEvent(g.events, EC_ERRORABORT, &result) && result == VFW_E_TYPE_NOT_ACCEPTED,
       "Got EC_ERRORABORT with %#lx.\n", (long)result);
    g.control->Stop();
    got = g.sink->Samples();
    ok(got.size() == 4 && g.sink->endOfStreams == 1 && g.source->deliveries.size() == 5 &&
           g.source->deliveries.back() == VFW_E_TYPE_NOT_ACCEPTED,
       "Got %zu samples, %ld ends of stream, %zu deliveries.\n", got.size(),
       g.sink->endOfStreams, g.source->deliveries.size());
    // The refused sample is not counted.
    IDecompressorSettings* settings = SettingsOf(g.filter);
    DecompressorStatistics record = {};
    settings->GetStatistics(&record);
    const std::vector<int32_t> counts(want.results.begin(), want.results.begin() + 4);
    ok(record.averageSampleSize == Average(counts), "Got average %u, expected %u.\n",
       record.averageSampleSize, Average(counts));
    settings->Release();
  }
}

}  // namespace

void TestStreaming() {
  TestStreams();
  TestPinCalls();
  TestDamagedAndControlSamples();
  TestFormatChanges();
}
