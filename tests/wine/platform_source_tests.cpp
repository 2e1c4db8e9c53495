// The platform's own front end before the decompressor: an AVI file written
// with the project's AVI writer, read by the platform's file source
// (CLSID_AsyncReader) and split by its AVI splitter (CLSID_AviSplitter).
#include <windows.h>
#include <strmif.h>
#include <evcode.h>
#include <uuids.h>
#include <amvideo.h>

#include <cstdio>
#include <string>

#include "avi_writer.h"
#include "check.h"
#include "test_frames.h"
#include "test_sink.h"
#include "test_support.h"

namespace {

IPin* PinOfDirection(IBaseFilter* filter, PIN_DIRECTION direction) {
  IEnumPins* pins = nullptr;
  if (FAILED(filter->EnumPins(&pins))) return nullptr;
  IPin* pin = nullptr;
  while (pins->Next(1, &pin, nullptr) == S_OK) {
    PIN_DIRECTION dir;
    pin->QueryDirection(&dir);
    if (dir == direction) break;
    pin->Release();
    pin = nullptr;
  }
  pins->Release();
  return pin;
}

// Prints what a pin offers, for the log; returns the number of types.
int DescribeOfferedTypes(IPin* pin) {
  IEnumMediaTypes* types = nullptr;
  if (FAILED(pin->EnumMediaTypes(&types))) return 0;
  AM_MEDIA_TYPE* type = nullptr;
  int count = 0;
  while (types->Next(1, &type, nullptr) == S_OK) {
    ++count;
    const BITMAPINFOHEADER* header =
        type->cbFormat >= sizeof(VIDEOINFOHEADER) ? BitmapHeader(*type) : nullptr;
    std::printf("  offered: subtype %08lx-%04x, format %08lx, %lu bytes, bitmap %ldx%ld %08lx\n",
                type->subtype.Data1, type->subtype.Data2, type->formattype.Data1, type->cbFormat,
                header ? header->biWidth : 0, header ? header->biHeight : 0,
                header ? header->biCompression : 0);
    DeleteMediaType(type);
  }
  types->Release();
  return count;
}

std::wstring TemporaryAviPath() {
  wchar_t folder[MAX_PATH] = L"";
  GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + L"zdc_filter_test.avi";
}

void TestAviFile() {
  BeginGroup("platform AVI source");
  StreamShape shape = {zdc::kFourccQzv2, 64, 48, 8, 4, zdc::CoefficientCoding::kHuffman, 50};
  std::vector<SourceFrame> frames = EncodeStream(shape);
  const std::wstring path = TemporaryAviPath();
  char narrow[MAX_PATH * 2] = "";
  WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, narrow, sizeof(narrow), nullptr, nullptr);
  {
    zdc::AviVideoFormat format;
    format.width = shape.width;
    format.height = shape.height;
    format.compression = shape.fourcc;
    zdc::AviWriter writer(narrow, format);
    for (const SourceFrame& frame : frames)
      writer.WriteFrame(frame.data.data(), static_cast<uint32_t>(frame.data.size()), frame.key);
    writer.Finish();
  }

  IGraphBuilder* graph = nullptr;
  IBaseFilter *reader = nullptr, *splitter = nullptr;
  CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                   reinterpret_cast<void**>(&graph));
  HRESULT hr = CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(&reader));
  ok(hr == S_OK, "file source: hr %#lx\n", hr);
  hr = CoCreateInstance(CLSID_AviSplitter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                        reinterpret_cast<void**>(&splitter));
  ok(hr == S_OK, "AVI splitter: hr %#lx\n", hr);
  IBaseFilter* filter = NewDecompressor();
  TestSink* sink = TestSink::Create();
  if (!graph || !reader || !splitter || !filter || !sink) return;

  IFileSourceFilter* file = nullptr;
  reader->QueryInterface(IID_IFileSourceFilter, reinterpret_cast<void**>(&file));
  hr = file->Load(path.c_str(), nullptr);
  ok(hr == S_OK, "Load: hr %#lx\n", hr);
  file->Release();
  graph->AddFilter(reader, L"file");
  graph->AddFilter(splitter, L"splitter");
  graph->AddFilter(filter, L"decompressor");
  graph->AddFilter(sink->Filter(), L"sink");

  IPin* readerOut = PinOfDirection(reader, PINDIR_OUTPUT);
  IPin* splitterIn = PinOfDirection(splitter, PINDIR_INPUT);
  hr = graph->ConnectDirect(readerOut, splitterIn, nullptr);
  IPin* splitterOut = PinOfDirection(splitter, PINDIR_OUTPUT);
  // Wine's AVI splitter is GStreamer's avidemux: without GStreamer's "good"
  // plugins it opens no file, and with them it offers a stream only in the
  // formats that Wine translates from GStreamer, which ours is not. Neither
  // says anything about our filter.
  const int offered = splitterOut ? DescribeOfferedTypes(splitterOut) : 0;
  if (offered == 0) {
    if (FAILED(hr))
      skip("the platform's AVI splitter cannot parse files here (hr %#lx)\n", hr);
    else
      skip("the platform's AVI splitter offers no media type for a QZV2 stream\n");
    if (splitterOut) splitterOut->Release();
    readerOut->Release();
    splitterIn->Release();
    graph->Release();
    reader->Release();
    splitter->Release();
    filter->Release();
    sink->Filter()->Release();
    DeleteFileW(path.c_str());
    return;
  }
  ok(hr == S_OK, "file source to splitter: hr %#lx\n", hr);
  IPin* in = FindPin(filter, L"In");
  IPin* out = FindPin(filter, L"Out");
  hr = splitterOut ? graph->ConnectDirect(splitterOut, in, nullptr) : E_FAIL;
  ok(hr == S_OK, "splitter to decompressor: hr %#lx\n", hr);
  hr = graph->ConnectDirect(out, sink->Pin(), nullptr);
  ok(hr == S_OK, "decompressor to sink: hr %#lx\n", hr);

  IMediaControl* control = nullptr;
  IMediaEvent* events = nullptr;
  graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
  graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events));
  hr = control->Run();
  ok(SUCCEEDED(hr), "Run: hr %#lx\n", hr);
  ok(WaitForEvent(events, EC_COMPLETE, 20000, nullptr), "no EC_COMPLETE\n");
  control->Stop();

  std::vector<ReceivedSample> got = sink->Samples();
  ReferenceRun want = DecodeReference(frames, shape.width, shape.height, true, shape.width, false,
                                      false);
  ok(got.size() == want.pictures.size(), "%zu pictures from the file\n", got.size());
  for (size_t i = 0; i < got.size() && i < want.pictures.size(); ++i) {
    char detail[160] = "";
    ok(SamePicture(got[i].bytes, want.pictures[i], shape.width, shape.height, true, shape.width,
                   detail, sizeof(detail)),
       "picture %zu differs at %s\n", i, detail);
    ok(got[i].hasTime && got[i].start == static_cast<REFERENCE_TIME>(i) * 400000,
       "picture %zu starts at %lld\n", i, got[i].start);
  }

  events->Release();
  control->Release();
  for (IPin* pin : {readerOut, splitterIn, splitterOut, in, out})
    if (pin) pin->Release();
  ok(graph->Release() == 0, "graph left\n");
  reader->Release();
  splitter->Release();
  ok(filter->Release() == 0, "decompressor left\n");
  ok(sink->Filter()->Release() == 0, "sink left\n");
  DeleteFileW(path.c_str());
}

}  // namespace

void RunPlatformSourceTests() { TestAviFile(); }
