// Streaming in a platform graph: every picture, in the decoder's layout and in
// each converted format, against the encoder's reconstruction or the decoder
// and conversion library run on the same frames, with buffers held
// downstream; sample times and flags, statistics, damaged and control
// samples; the input pin's calls with their exact results; flushes, preroll
// and input types on samples; format changes asked for by downstream.
#include "test_filters.h"

#include <amvideo.h>
#include <evcode.h>
#include <uuids.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "check.h"
#include "codec_context.h"
#include "encoder_options.h"
#include "frame_encoder.h"
#include "ieee_double.h"
#include "output_formats.h"
#include "picture.h"

namespace {

using zdc::CoefficientCoding;
using zdc::MaskStorage;
using zdc::PixelFormat;

struct Clip {
  uint32_t fourcc;
  int32_t width, height, frames;
  uint32_t keyInterval;
  CoefficientCoding coder;
  MaskStorage mask;
  int quality;
};

bool HasChroma(const Clip& clip) { return clip.fourcc != zdc::kFourccQzv3; }

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
    const zdc::Picture r = encoder.Reconstruction();
    std::string packed(r.luma.begin(), r.luma.end());
    for (const auto& plane : r.chroma) packed.append(plane.begin(), plane.end());
    if (reconstructions) reconstructions->push_back(packed);
  }
  return frames;
}

std::vector<std::string> Reference(const Clip& clip, const std::vector<SourceFrame>& frames,
                                   PixelFormat format = PixelFormat::kYvu9) {
  return ReferencePictures(frames, clip.fourcc, clip.width, clip.height, format);
}

// The offered VIDEOINFOHEADER type of `subtype` as a renderer proposes it: a
// wider surface, RGB top-down, the picture in rcTarget.
CMediaType Proposed(IPin* out, const GUID& subtype, const Clip& clip) {
  CMediaType type = Offered(out, &subtype);
  BITMAPINFOHEADER* h = BitmapHeader(type);
  h->biWidth += 28;
  if (h->biCompression == BI_RGB) h->biHeight = -h->biHeight;
  const OutputFormat* f = FindOutputFormat(type.subtype);
  type.lSampleSize = h->biSizeImage = DWORD(zdc::SurfaceBytes(
      f->pixels, std::abs(h->biHeight), SurfacePitch(*f, h->biWidth), true));
  SetRect(&reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat)->rcTarget, 0, 0, clip.width,
          clip.height);
  return type;
}

uint32_t AverageShown(IBaseFilter* filter) {
  IDecompressorSettings* settings = SettingsOf(filter);
  DecompressorStatistics record = {};
  settings->GetStatistics(&record);
  settings->Release();
  return record.averageSampleSize;
}

// Each stream through a graph whose sink holds the last sample of three
// buffers, as a renderer's flipping chain, run twice (the second run starts
// the decoder again). A clean stream in the decoder's layout must be the
// encoder's reconstruction (an oracle that shares nothing with the filter's
// path); the others what the decoder and the conversion library make of it
// (tests/graph has every converted format as offered, here on a renderer's
// wider surface).
// Damaged frames are delivered and counted by the bytes used, or the
// sample's length when none could be; a control sample passes through
// untouched and uncounted.
void TestStreams() {
  const CoefficientCoding huffman = CoefficientCoding::kHuffman;
  const CoefficientCoding arithmetic = CoefficientCoding::kArithmetic;
  const uint32_t q2 = zdc::kFourccQzv2, q3 = zdc::kFourccQzv3, q4 = zdc::kFourccQzv4;
  const MaskStorage autoMask = MaskStorage::kAuto;
  const Clip a = {q2, 99, 51, 5, 3, huffman, autoMask, 50},
             b = {q3, 64, 40, 4, 2, arithmetic, autoMask, 60};
  const GUID *own = nullptr, *nv12 = &MEDIASUBTYPE_NV12, *yv12 = &MEDIASUBTYPE_YV12,
             *iyuv = &MEDIASUBTYPE_IYUV, *yuy2 = &MEDIASUBTYPE_YUY2, *rgb32 = &MEDIASUBTYPE_RGB32,
             *rgb24 = &MEDIASUBTYPE_RGB24;
  enum Damage { kClean, kChainBreak, kDamagedAndControl };
  const struct {
    Clip clip;
    bool info2;
    const GUID* output;
    bool denoise, mask;
    Damage damage;
  } tests[] = {
      {{q2, 64, 48, 8, 4, huffman, MaskStorage::kRaw, 50}, false, own, 0, 0, kClean},
      {{q3, 100, 50, 7, 3, huffman, autoMask, 70}, true, own, 0, 0, kClean},
      {{q4, 100, 52, 7, 3, arithmetic, MaskStorage::kLzw, 40}, false, own, 0, 0, kClean},
      {{q2, 70, 38, 6, 6, huffman, MaskStorage::kRunLength, 29}, true, own, 0, 0, kClean},
      {{q3, 90, 44, 6, 3, arithmetic, MaskStorage::kFd, 75}, false, own, 0, 0, kClean},
      {{q4, 176, 144, 6, 4, arithmetic, autoMask, 40}, false, own, 1, 0, kClean},
      {{q3, 40, 24, 6, 3, arithmetic, autoMask, 90}, true, own, 0, 1, kClean},
      {{q2, 64, 48, 8, 4, arithmetic, autoMask, 58}, false, own, 0, 0, kChainBreak},
      {{q2, 64, 48, 8, 4, huffman, autoMask, 50}, false, own, 0, 0, kDamagedAndControl},
      {a, 0, nv12, 0, 0, kClean},  {b, 0, yv12, 0, 0, kClean},  {a, 0, iyuv, 0, 0, kClean},
      {b, 0, yuy2, 0, 0, kClean},  {a, 0, rgb32, 0, 0, kClean}, {b, 0, rgb24, 0, 0, kClean},
  };
  for (size_t i = 0; i < ARRAYSIZE(tests); ++i) {
    const auto& t = tests[i];
    const Clip& clip = t.clip;
    char name[16];
    std::snprintf(name, sizeof(name), "Stream %zu", i);
    TestGraph g;
    if (!g.in) return;
    std::vector<std::string> reconstructions;
    std::vector<SourceFrame>& frames = g.source->frames;
    frames = Encode(clip, &reconstructions);
    const size_t control = t.damage == kDamagedAndControl ? 3 : SIZE_MAX;
    if (t.damage == kChainBreak) frames.erase(frames.begin() + 2);
    if (control != SIZE_MAX) {
      frames[2].data.resize(frames[2].data.size() / 2);  // truncated
      for (size_t at = 24; at < frames[4].data.size(); at += 7) frames[4].data[at] ^= 0x5A;
      frames[5].data.resize(10);  // no header
      frames.insert(frames.begin() + control, SourceFrame{std::vector<BYTE>(300, 0x77), 1, 0});
      g.source->bufferSize = 5000;  // unlike the output buffers
    }
    g.sink->requirements = {3, 0, 1, 0};
    g.sink->hold = 1;
    g.ConnectInput(InputType(FourCCSubtype(clip.fourcc), t.info2, clip.width, clip.height));
    const CMediaType type = t.output ? Proposed(g.out, *t.output, clip) : CMediaType();
    HRESULT hr = g.ConnectOutput(t.output ? &type : nullptr);
    IDecompressorSettings* settings = SettingsOf(g.filter);
    settings->SetDenoise(t.denoise);
    settings->SetDisplayMask(t.mask);
    std::vector<int32_t> results;
    const PixelFormat format = t.output ? FindOutputFormat(*t.output)->pixels : PixelFormat::kYvu9;
    const std::vector<std::string> reference = ReferencePictures(
        frames, clip.fourcc, clip.width, clip.height, format, t.denoise, t.mask, &results);
    const bool exact = !t.output && !t.denoise && !t.mask && t.damage == kClean;
    const std::vector<std::string>& want = exact ? reconstructions : reference;
    ok(hr == S_OK && g.sink->notified.cBuffers == 3, "%s: got hr %#lx, %ld buffers.\n", name, hr,
       g.sink->notified.cBuffers);
    for (int run = 0; run < 2; ++run) {
      g.sink->samples.clear();
      g.sink->segments = g.sink->endOfStreams = 0;
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
        ok(got[control].length == 300 && std::equal(frames[control].data.begin(),
                                                     frames[control].data.end(),
                                                     got[control].bytes.begin()),
           "%s: the control sample has %ld bytes.\n", name, got[control].length);
        got.erase(got.begin() + control);
      }
      CheckPictures(name, got, want, HasChroma(clip));
      const std::vector<HRESULT>& deliveries = g.source->deliveries;
      const auto delivered = std::count(deliveries.begin(), deliveries.end(), S_OK);
      ok(g.sink->endOfStreams == 1 && g.sink->segments == 1 && delivered == long(frames.size()),
         "%s: got %ld ends of stream, %ld segments, %d deliveries.\n", name,
         g.sink->endOfStreams, g.sink->segments, int(delivered));
    }
    // The average of the bytes used (rounded); the quality is the last frame
    // header's as the decoder keeps it (header 29 is 0.29, which it keeps as
    // 28 hundredths). Both in the exact double arithmetic the filter uses,
    // not in this program's own (x87 in the 32-bit build).
    double total = 0, quality = 0;
    for (size_t f = 0, n = 0; f < frames.size(); ++f)
      if (frames[f].media)
        total = zdc::DoubleAdd(total, results[n] ? results[n] : double(frames[f].data.size())), ++n;
    const uint32_t average =
        uint32_t(zdc::DoubleAdd(zdc::DoubleDiv(total, double(results.size())), 0.5));
    const double kept = zdc::HundredthsToQuality(
        zdc::QualityToHundredths(zdc::HundredthsToQuality(uint16_t(clip.quality))));
    settings->GetQuality(&quality);
    ok(AverageShown(g.filter) == average && quality == kept,
       "%s: got average %u, expected %u; quality %.17g.\n", name, AverageShown(g.filter),
       average, quality);
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
  IMemAllocator* allocator = NewTestAllocator(0, -1, nullptr);
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
          {[&] { return g.in->EndFlush(); }, S_OK, none, 0},
          {receive, S_OK, none, 0},
          {[&] { return g.in->NewSegment(0, 10000000, 1.0); }, S_OK, sink.segments, 1},
          {endOfStream, S_OK, sink.endOfStreams, 1},
          {[&] { return g.sinkFilter->Stop(), g.filter->Stop(); }, S_OK, none, 0},
          {receive, VFW_E_WRONG_STATE, none, 0},
          {[&] { return g.graph->Disconnect(g.out), g.graph->Disconnect(g.sinkPin); }, S_OK,
           none, 0},
          {receive, VFW_E_NOT_CONNECTED, none, 0},  // no output
          {flush, VFW_E_NOT_CONNECTED, sink.flushes, 1},
      };
  for (size_t i = 0; i < ARRAYSIZE(tests); ++i) {
    HRESULT hr = tests[i].call();
    ok(hr == tests[i].expected && tests[i].counter == tests[i].n,
       "Call %zu: got hr %#lx, count %ld.\n", i, hr, tests[i].counter);
  }
  // The two samples taken went downstream, the second one after the end of
  // the flush went there too.
  const std::vector<ReceivedSample>& got = sink.samples;
  ok(got.size() == 2 && got[1].start == start && got[1].stop == stop,
     "Got %zu samples, times %lld-%lld.\n", got.size(), got.empty() ? 0 : got.back().start,
     got.empty() ? 0 : got.back().stop);
  sample->Release();
  allocator->Decommit();
  ULONG left = allocator->Release();
  ok(!left, "Got %lu references to the allocator.\n", left);
  input->Release();
}

// A flush in the middle of a chain (what a seek does): delta frames are
// dropped until the next key frame, which decodes as from the start. Preroll
// frames are decoded and not delivered. An input type on a sample is taken
// when it keeps the picture's size, refused otherwise.
void TestFlushPrerollAndInputTypes() {
  const Clip clip = {zdc::kFourccQzv2, 64, 48, 10, 4, CoefficientCoding::kHuffman,
                     MaskStorage::kAuto, 50};
  std::vector<SourceFrame> frames = Encode(clip, nullptr);
  const std::vector<std::string> all = Reference(clip, frames);
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
    CheckPictures(names[c], g.sink->samples, want, true);
    const std::vector<HRESULT>& d = g.source->deliveries;
    if (c == kLargerType)
      ok(d.size() == 4 && d.back() == VFW_E_INVALIDMEDIATYPE,
         "Larger input type: got %zu deliveries, the last %#lx.\n", d.size(),
         d.empty() ? 0 : d.back());
  }
}

// Downstream attaches a new type to the fifth output sample: a wider surface
// is taken and the pictures go on at the new stride, the delta chain
// unbroken; a type the decompressor cannot produce aborts the stream.
void TestFormatChanges() {
  const Clip clip = {zdc::kFourccQzv4, 64, 48, 8, 4, CoefficientCoding::kHuffman,
                     MaskStorage::kAuto, 50};
  const int32_t wide = 96;
  for (int refused = 0; refused < 2; ++refused) {
    TestGraph g;
    if (!g.in) return;
    g.source->frames = Encode(clip, nullptr);
    g.ConnectInput(InputType(MEDIASUBTYPE_QZV4, false, clip.width, clip.height));
    const CMediaType current = Offered(g.out);
    CMediaType changed = current;
    BitmapHeader(changed)->biWidth = wide;
    changed.lSampleSize = BitmapHeader(changed)->biSizeImage = wide * clip.height * 9 / 8;
    SetRect(&reinterpret_cast<VIDEOINFOHEADER*>(changed.pbFormat)->rcTarget, 0, 0, clip.width,
            clip.height);
    if (refused) changed.subtype = MEDIASUBTYPE_RGB565;
    g.sink->ownAllocator = NewTestAllocator(changed.lSampleSize, 4, &changed);
    HRESULT hr = g.ConnectOutput(&current);
    ok(hr == S_OK, "Got hr %#lx.\n", hr);
    std::vector<std::string> want = Reference(clip, g.source->frames);
    const std::vector<ReceivedSample>& got = g.sink->samples;
    g.Run();
    if (!refused) {
      CheckPictures("Format change", got, want, true);
      for (size_t i = 0; i < got.size(); ++i)
        ok(got[i].width == (i < 4 ? clip.width : wide), "Sample %zu: got width %ld.\n", i,
           got[i].width);
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
  TestPinCalls();
  TestFlushPrerollAndInputTypes();
  TestFormatChanges();
}
