// Streaming in a platform graph, where the filter's own handling shows
// (tests/graph runs every clip in every offered format through zdc-graph):
// pictures on a renderer's wider surface, sample times and flags, damaged and
// control samples, restarts; the input pin's calls with their exact results;
// flushes, preroll and input types on samples; format changes asked for by
// downstream.
#include "test_filters.h"

#include <amvideo.h>
#include <evcode.h>
#include <uuids.h>

#include <algorithm>
#include <functional>

#include "check.h"
#include "output_formats.h"

namespace {

// Each stream through a graph whose sink asks for three aligned buffers and
// holds the last sample, as a renderer's flipping chain: what the decoder
// and the conversion library make of the frames on a renderer's wider
// surface, in the decoder's layout or a converted one. The buffers are as
// many as asked, as aligned and as large as the surface. Damaged frames are
// delivered; a control sample (the fourth) passes through untouched. (The
// decoder starting again after a stop shows in TestInputPin's chains.)
void TestStreams() {
  const GUID *own = nullptr, *nv12 = &MEDIASUBTYPE_NV12, *yv12 = &MEDIASUBTYPE_YV12,
             *iyuv = &MEDIASUBTYPE_IYUV, *yuy2 = &MEDIASUBTYPE_YUY2, *rgb32 = &MEDIASUBTYPE_RGB32,
             *rgb24 = &MEDIASUBTYPE_RGB24;
  const struct { const char* clip; bool info2; const GUID* output; } tests[] = {
      {"huffman_raw", false, own}, {"arith_lzw", true, own},   {"luma_only", true, own},
      {"damaged", false, own},     {"huffman_rle", false, nv12}, {"luma_only", false, yv12},
      {"arith_fd", true, iyuv},    {"luma_only", false, yuy2}, {"huffman_raw", false, rgb32},
      {"arith_lzw", false, rgb24},
  };
  for (size_t i = 0; i < ARRAYSIZE(tests); ++i) {
    const auto& t = tests[i];
    char name[32];
    std::snprintf(name, sizeof(name), "Stream %zu (%s)", i, t.clip);
    TestGraph g;
    Clip clip = GoldenClip(t.clip);
    const size_t control = 3;
    const SourceFrame controlSample = {std::vector<BYTE>(300, 0x77), true, false, /*media=*/false};
    clip.frames.insert(clip.frames.begin() + control, controlSample);
    g.source->frames = clip.frames;
    g.sink->requirements = {3, 0, 16, 0};
    g.sink->hold = 1;
    g.ConnectInput(clip.Type(t.info2));
    // As a renderer proposes it: a wider surface, RGB top-down.
    CMediaType type = OnSurface(Offered(g.out, t.output), clip.width + 28, clip.width, clip.height);
    if (BitmapHeader(type)->biCompression == BI_RGB) BitmapHeader(type)->biHeight *= -1;
    HRESULT hr = g.ConnectOutput(&type);
    const zdc::PixelFormat format =
        t.output ? FindOutputFormat(*t.output)->pixels : zdc::PixelFormat::kYvu9;
    const std::vector<std::string> want = ReferencePictures(clip, format);
    const ALLOCATOR_PROPERTIES& props = g.sink->notified;
    ok(hr == S_OK && props.cBuffers == 3 && props.cbAlign == 16 &&
           props.cbBuffer == long(type.lSampleSize),
       "%s: got hr %#lx, %ld buffers of %ld bytes aligned to %ld.\n", name, hr, props.cBuffers,
       props.cbBuffer, props.cbAlign);
    g.Run();
    std::vector<ReceivedSample> got = g.sink->samples;
    for (size_t s = 0; s < got.size(); ++s)
      ok(got[s].hasTime && got[s].start == 400000 * LONGLONG(s) &&
             got[s].stop == got[s].start + 400000 && got[s].syncPoint &&
             got[s].discontinuity == !s && got[s].ownAllocator == (s != control),
         "%s, sample %zu: got time %d %lld-%lld, flags %d %d %d.\n", name, s, got[s].hasTime,
         got[s].start, got[s].stop, got[s].syncPoint, got[s].discontinuity,
         got[s].ownAllocator);
    if (control < got.size()) {
      const std::vector<BYTE>& sent = clip.frames[control].data;
      ok(got[control].length == 300 &&
             std::equal(sent.begin(), sent.end(), got[control].bytes.begin()),
         "%s: the control sample has %ld bytes.\n", name, got[control].length);
      got.erase(got.begin() + control);
    }
    CheckPictures(name, got, want, clip.HasChroma());
    const std::vector<HRESULT>& deliveries = g.source->deliveries;
    const auto delivered = std::count(deliveries.begin(), deliveries.end(), S_OK);
    ok(g.sink->endOfStreams == 1 && g.sink->segments == 1 &&
           delivered == long(clip.frames.size()),
       "%s: got %ld ends of stream, %ld segments, %d deliveries.\n", name,
       g.sink->endOfStreams, g.sink->segments, int(delivered));
  }
}

// The input pin's calls from this thread into the decompressor, paused or
// stopped directly with the sink. First chains of the clip's frames: a flush
// in the middle of one (what a seek does) drops delta frames until the next
// key frame, which decodes as from the start; preroll frames are decoded and
// not delivered; an input type on a sample is taken when it keeps the
// picture's size, a larger one is refused. Then single calls with their exact
// results and what reaches downstream. (Samples, new segments and ends of
// stream passed on while running show in every stream above.)
void TestInputPin() {
  const Clip clip = GoldenClip("huffman_raw");  // QZV2, key frames 0 and 5
  const std::vector<std::string> all = ReferencePictures(clip);
  const CMediaType same = InputType(MEDIASUBTYPE_QZV4, false, clip.width, clip.height);
  const CMediaType larger = InputType(MEDIASUBTYPE_QZV2, false, clip.width * 2, clip.height);
  const size_t never = SIZE_MAX;
  const struct { const char* name; size_t flushAt, prerollAt; const CMediaType* typeAt3;
                 std::vector<int> shown; HRESULT last; } chains[] = {
      {"Flush", 2, never, nullptr, {0, 1, 5, 6, 7}, S_OK},
      {"Preroll", never, 1, nullptr, {0, 2, 3, 4, 5, 6, 7}, S_OK},
      {"Same-size input type", never, never, &same, {0, 1, 2, 3, 4, 5, 6, 7}, S_OK},
      {"Larger input type", never, never, &larger, {0, 1, 2}, VFW_E_INVALIDMEDIATYPE},
  };
  TestGraph g;
  g.ConnectInput(clip.Type());
  g.ConnectOutput();
  IMemInputPin* input = nullptr;
  g.in->QueryInterface(IID_IMemInputPin, (void**)&input);
  IMemAllocator* allocator = NewTestAllocator();  // two buffers of 64 KiB for the samples
  ALLOCATOR_PROPERTIES props = {2, 1 << 16, 1, 0}, actual;
  allocator->SetProperties(&props, &actual);
  allocator->Commit();
  SinkState& sink = *g.sink;
  for (const auto& t : chains) {
    sink.samples.clear();
    g.sinkFilter->Pause();
    g.filter->Pause();
    HRESULT hr = S_OK;
    for (size_t i = 0; i < clip.frames.size() && SUCCEEDED(hr); ++i) {
      if (i == t.flushAt) g.in->BeginFlush(), g.in->EndFlush();
      IMediaSample* sample = NewSample(allocator, clip.frames[i].data, 400000 * LONGLONG(i));
      sample->SetSyncPoint(clip.frames[i].key);
      sample->SetPreroll(i == t.prerollAt);
      if (i == 3 && t.typeAt3) sample->SetMediaType(const_cast<CMediaType*>(t.typeAt3));
      hr = input->Receive(sample);
      sample->Release();
    }
    g.filter->Stop();
    g.sinkFilter->Stop();
    std::vector<std::string> want;
    for (int n : t.shown) want.push_back(all[n]);
    CheckPictures(t.name, sink.samples, want, true);
    ok(hr == t.last, "%s: the last sample got hr %#lx.\n", t.name, hr);
  }

  sink.samples.clear();
  sink.flushes = 0;
  IMediaSample* sample = NewSample(allocator, EmptyFrame(1000).data, 800000);
  LONG none = 0;
  auto receive = [&] { return input->Receive(sample); };
  auto flush = [&] { return g.in->BeginFlush(); };
  // Each call, its result, and the count downstream after it.
  const struct { std::function<HRESULT()> call; HRESULT expected; LONG& counter; LONG n; }
      calls[] = {
          {receive, VFW_E_WRONG_STATE, none, 0},  // stopped
          {[&] { return g.in->EndOfStream(); }, VFW_E_WRONG_STATE, sink.endOfStreams, 0},
          {[&] { return g.sinkFilter->Pause(), g.filter->Pause(); }, S_OK, none, 0},
          {[&] { return input->Receive(nullptr); }, E_POINTER, none, 0},
          {flush, S_OK, sink.flushes, 1},
          {receive, S_FALSE, none, 0},  // flushing
          {[&] { return g.in->EndFlush(); }, S_OK, none, 0},
          {receive, S_OK, none, 0},
          {[&] { return g.sinkFilter->Stop(), g.filter->Stop(); }, S_OK, none, 0},
          {receive, VFW_E_WRONG_STATE, none, 0},
          {[&] { return g.graph->Disconnect(g.out), g.graph->Disconnect(g.sinkPin); }, S_OK,
           none, 0},
          {receive, VFW_E_NOT_CONNECTED, none, 0},  // no output
          {flush, VFW_E_NOT_CONNECTED, sink.flushes, 1},
      };
  for (size_t i = 0; i < ARRAYSIZE(calls); ++i) {
    HRESULT hr = calls[i].call();
    ok(hr == calls[i].expected && calls[i].counter == calls[i].n,
       "Call %zu: got hr %#lx, count %ld.\n", i, hr, calls[i].counter);
  }
  ok(sink.samples.size() == 1, "Got %zu samples; one was taken.\n", sink.samples.size());
  sample->Release();
  allocator->Decommit();
  ULONG left = allocator->Release();
  ok(!left, "Got %lu references to the allocator.\n", left);
  input->Release();
}

// Downstream attaches a new type to the fifth output sample: a wider surface
// is taken and the pictures go on at the new stride, the delta chain
// unbroken; a type the decompressor cannot produce aborts the stream.
void TestFormatChanges() {
  const Clip clip = GoldenClip("arith_lzw");  // QZV4, VbT9 out
  const LONG wide = 128;
  for (int refused = 0; refused < 2; ++refused) {
    TestGraph g;
    g.source->frames = clip.frames;
    g.ConnectInput(clip.Type());
    const CMediaType current = Offered(g.out);
    CMediaType changed = OnSurface(current, wide, clip.width, clip.height);
    if (refused) changed.subtype = MEDIASUBTYPE_RGB565;
    g.sink->ownAllocator = NewTestAllocator(changed.lSampleSize, 4, &changed);
    HRESULT hr = g.ConnectOutput(&current);
    ok(hr == S_OK, "Got hr %#lx.\n", hr);
    std::vector<std::string> want = ReferencePictures(clip);
    const std::vector<ReceivedSample>& got = g.sink->samples;
    g.Run();
    if (!refused) {
      CheckPictures("Format change", got, want, true);
      for (size_t i = 0; i < got.size(); ++i)
        ok(BitmapHeader(got[i].type)->biWidth == (i < 4 ? clip.width : wide),
           "Sample %zu: got width %ld.\n", i, BitmapHeader(got[i].type)->biWidth);
      continue;
    }
    LONG_PTR result = 0;
    bool aborted = WaitForEvent(g.events, EC_ERRORABORT, &result);
    want.resize(4);
    CheckPictures("Refused format change", got, want, true);
    ok(aborted && result == VFW_E_TYPE_NOT_ACCEPTED && g.sink->endOfStreams == 1 &&
           g.source->deliveries.size() == 5 &&
           g.source->deliveries.back() == VFW_E_TYPE_NOT_ACCEPTED,
       "Got EC_ERRORABORT %d with %#lx, %ld ends of stream, %zu deliveries.\n", aborted,
       (long)result, g.sink->endOfStreams, g.source->deliveries.size());
  }
}

}  // namespace

void TestStreaming() {
  TestStreams();
  TestInputPin();
  TestFormatChanges();
}
