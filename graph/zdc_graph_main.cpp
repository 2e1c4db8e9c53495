// zdc-graph: decodes an AVI file through the ZDC filter in a real graph of
// the platform's filter graph manager (AVI push source -> ZDC filter -> a
// sink where a renderer would be) and writes every delivered picture to a
// file, rows top-down and packed exactly as `zdc decode --format` writes
// them, so that the two can be compared with cmp.
#include <windows.h>
#include <control.h>
#include <strmif.h>
#include <uuids.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <fstream>
#include <memory>
#include <string>

#include "avi_reader.h"
#include "output_formats.h"
#include "packed_picture.h"
#include "picture_sink.h"
#include "push_source.h"
#include "zdc_guids.h"

namespace {

const char kUsage[] =
    "usage: zdc-graph IN.avi -o OUT [--format yvu9|nv12|yv12|i420|yuy2|rgb32|rgb24]\n"
    "                 [--buffers N] [--hold N] [--denoise] [--display-mask] [--seek FRAME]\n"
    "                 [--registered]\n";

struct Options {
  std::string input, output;
  const GUID* subtype = nullptr;  // null: the filter's own layout (yvu9)
  long buffers = 1;
  long hold = 0;
  bool denoise = false, displayMask = false, registered = false;
  long seek = -1;
};

int Fail(const std::string& message) {
  std::fprintf(stderr, "zdc-graph: %s\n", message.c_str());
  return 1;
}

bool ParseCount(const char* text, long minimum, long* value) {
  char* end = nullptr;
  const long parsed = std::strtol(text, &end, 10);
  if (!*text || *end || parsed < minimum) return false;
  *value = parsed;
  return true;
}

bool Parse(int argc, char** argv, Options* options, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "-o" && hasValue) {
      options->output = argv[++i];
    } else if (arg == "--format" && hasValue) {
      const std::string name = argv[++i];
      static const struct { const char* name; const GUID* subtype; } kNames[] = {
          {"yvu9", nullptr}, {"nv12", &MEDIASUBTYPE_NV12}, {"yv12", &MEDIASUBTYPE_YV12},
          {"i420", &MEDIASUBTYPE_IYUV}, {"yuy2", &MEDIASUBTYPE_YUY2},
          {"rgb32", &MEDIASUBTYPE_RGB32}, {"rgb24", &MEDIASUBTYPE_RGB24}};
      bool known = false;
      for (const auto& entry : kNames) {
        if (name == entry.name) options->subtype = entry.subtype, known = true;
      }
      if (!known) return *error = "unknown format '" + name + "'", false;
    } else if ((arg == "--buffers" || arg == "--hold" || arg == "--seek") && hasValue) {
      long* target = arg == "--buffers" ? &options->buffers
                     : arg == "--hold"  ? &options->hold
                                        : &options->seek;
      if (!ParseCount(argv[++i], arg == "--buffers" ? 1 : 0, target))
        return *error = "bad number for " + arg, false;
    } else if (arg == "--denoise") {
      options->denoise = true;
    } else if (arg == "--display-mask") {
      options->displayMask = true;
    } else if (arg == "--registered") {
      options->registered = true;
    } else if (arg[0] != '-' && options->input.empty()) {
      options->input = arg;
    } else {
      return *error = "unexpected argument '" + arg + "'", false;
    }
  }
  if (options->input.empty() || options->output.empty()) return *error = "needs IN and -o OUT", false;
  return true;
}

// The ZDC filter: from the ZDC.dll beside this program, or the registered one.
HRESULT CreateDecompressor(bool registered, IBaseFilter** filter) {
  if (registered)
    return CoCreateInstance(CLSID_DecompressorFilter, nullptr, CLSCTX_INPROC_SERVER,
                            IID_IBaseFilter, reinterpret_cast<void**>(filter));
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return E_FAIL;
  wchar_t* slash = wcsrchr(path, L'\\');
  if (!slash || slash - path + 8 >= MAX_PATH) return E_FAIL;
  wcscpy(slash + 1, L"ZDC.dll");
  HMODULE module = LoadLibraryW(path);
  if (!module) return HRESULT_FROM_WIN32(GetLastError());
  auto getClassObject = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  if (!getClassObject) return E_FAIL;
  IClassFactory* factory = nullptr;
  HRESULT hr = getClassObject(CLSID_DecompressorFilter, IID_IClassFactory,
                              reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(filter));
  factory->Release();
  return hr;
}

IPin* FindPin(IBaseFilter* filter, PIN_DIRECTION direction) {
  IEnumPins* pins = nullptr;
  if (FAILED(filter->EnumPins(&pins))) return nullptr;
  IPin* pin = nullptr;
  while (pins->Next(1, &pin, nullptr) == S_OK) {
    PIN_DIRECTION d;
    if (SUCCEEDED(pin->QueryDirection(&d)) && d == direction) break;
    pin->Release();
    pin = nullptr;
  }
  pins->Release();
  return pin;
}

// The compressed stream as the source's media type and frames.
bool LoadSource(zdc::AviReader& avi, const Options& options, PushSource* source) {
  CMediaType& type = source->type;
  auto* info = reinterpret_cast<VIDEOINFOHEADER*>(type.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
  if (!info) return false;
  std::memset(info, 0, sizeof(VIDEOINFOHEADER));
  type.majortype = MEDIATYPE_Video;
  type.subtype = FourCCSubtype(avi.Compression());
  type.formattype = FORMAT_VideoInfo;
  type.bTemporalCompression = TRUE;
  const zdc::Rational rate = avi.FrameRate();
  if (rate.num > 0) source->frameDuration = static_cast<REFERENCE_TIME>(10000000LL * rate.den / rate.num);
  info->AvgTimePerFrame = source->frameDuration;
  info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info->bmiHeader.biWidth = avi.Width();
  info->bmiHeader.biHeight = avi.Height();
  info->bmiHeader.biPlanes = 1;
  info->bmiHeader.biBitCount = avi.BitCount();
  info->bmiHeader.biCompression = avi.Compression();
  for (size_t i = 0; i < avi.FrameCount(); ++i) {
    SourceFrame frame;
    frame.data = avi.ReadFrame(i);
    frame.key = avi.Frames()[i].key;
    source->frames.push_back(std::move(frame));
  }
  // A seek starts at the key frame at or before the frame asked for; the
  // frames up to that one are preroll, decoded and not shown.
  if (options.seek >= 0) {
    size_t target = std::min<size_t>(static_cast<size_t>(options.seek), source->frames.size());
    size_t key = target;
    while (key > 0 && (key == source->frames.size() || !source->frames[key].key)) --key;
    for (size_t i = key; i < target; ++i) source->frames[i].preroll = true;
    source->firstFrame = key;
    source->startAsSeek = true;
  }
  return true;
}

int Run(const Options& options) {
  zdc::AviReader* avi = nullptr;
  try {
    avi = new zdc::AviReader(options.input);
  } catch (const std::exception& e) {
    return Fail("cannot read " + options.input + ": " + e.what());
  }
  std::unique_ptr<zdc::AviReader> aviOwner(avi);
  const DWORD fourcc = avi->Compression();
  if (fourcc != kFourCC_QZV2 && fourcc != kFourCC_QZV3 && fourcc != kFourCC_QZV4) {
    char name[5] = {};
    std::memcpy(name, &fourcc, 4);
    return Fail(options.input + ": FourCC '" + name + "' is not one ZDC decodes");
  }
  const bool withChroma = fourcc != kFourCC_QZV3;
  std::ofstream out(options.output, std::ios::binary);
  if (!out) return Fail("cannot write " + options.output);

  IGraphBuilder* graph = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                reinterpret_cast<void**>(&graph));
  if (FAILED(hr)) return Fail("no filter graph manager");
  IBaseFilter* decompressor = nullptr;
  hr = CreateDecompressor(options.registered, &decompressor);
  if (FAILED(hr)) {
    graph->Release();
    return Fail(options.registered ? "the ZDC filter is not registered"
                                   : "cannot load the ZDC.dll beside zdc-graph");
  }
  IDecompressorSettings* settings = nullptr;
  if (SUCCEEDED(decompressor->QueryInterface(IID_IDecompressorSettings,
                                             reinterpret_cast<void**>(&settings)))) {
    settings->SetDenoise(options.denoise);
    settings->SetDisplayMask(options.displayMask);
    settings->Release();
  }

  PushSource* source = PushSource::Create();
  PictureSink* sink = PictureSink::Create();
  LoadSource(*avi, options, source);
  sink->buffers = options.buffers;
  sink->hold = static_cast<size_t>(options.hold);
  const GUID own = fourcc == kFourCC_QZV2   ? MEDIASUBTYPE_YVU9
                   : fourcc == kFourCC_QZV4 ? MEDIASUBTYPE_VbT9
                                            : MEDIASUBTYPE_VbT8;
  const GUID wanted = options.subtype ? *options.subtype : own;
  sink->accept = [wanted](const CMediaType& type) {
    return IsEqualGUID(type.subtype, wanted) && (IsEqualGUID(type.formattype, FORMAT_VideoInfo) ||
                                                 IsEqualGUID(type.formattype, FORMAT_VideoInfo2));
  };
  long pictures = 0;
  sink->received = [&](IMediaSample* sample, const CMediaType& type) -> HRESULT {
    OutputLayout layout;
    BYTE* data = nullptr;
    if (!LayoutOfType(type, &layout) || FAILED(sample->GetPointer(&data))) return E_FAIL;
    WritePackedPicture(out, layout.format->pixels, layout.SurfaceIn(data, withChroma),
                       layout.pictureWidth, layout.pictureHeight, withChroma);
    ++pictures;
    return S_OK;
  };

  graph->AddFilter(source->Filter(), L"AVI source");
  graph->AddFilter(decompressor, L"ZDC");
  graph->AddFilter(sink->Filter(), L"picture sink");
  IPin* decompressorIn = FindPin(decompressor, PINDIR_INPUT);
  IPin* decompressorOut = FindPin(decompressor, PINDIR_OUTPUT);
  std::string error;
  hr = graph->ConnectDirect(source->Pin(), decompressorIn, nullptr);
  if (FAILED(hr)) error = "the ZDC filter refuses the stream of " + options.input;
  if (error.empty()) {
    hr = graph->ConnectDirect(decompressorOut, sink->Pin(), nullptr);
    if (FAILED(hr)) error = "the ZDC filter does not deliver the format asked for";
  }
  if (error.empty()) {
    IMediaFilter* mediaFilter = nullptr;
    if (SUCCEEDED(graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&mediaFilter)))) {
      mediaFilter->SetSyncSource(nullptr);  // as fast as the decoder goes
      mediaFilter->Release();
    }
    IMediaControl* control = nullptr;
    graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
    hr = control->Run();
    if (FAILED(hr)) error = "the graph does not run";
    // The source's thread ends after its end of stream, or early on a
    // delivery that failed.
    if (error.empty()) WaitForSingleObject(source->finished, INFINITE);
    if (error.empty() && WaitForSingleObject(sink->endOfStream, 10000) != WAIT_OBJECT_0)
      error = "the stream ended early";
    control->Stop();
    control->Release();
  }
  if (decompressorIn) decompressorIn->Release();
  if (decompressorOut) decompressorOut->Release();
  graph->Release();
  decompressor->Release();
  source->Release();
  sink->Release();
  if (!error.empty()) return Fail(error);
  out.close();
  if (!out) return Fail("cannot write " + options.output);
  std::fprintf(stderr, "zdc-graph: %ld pictures written to %s\n", pictures, options.output.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!Parse(argc, argv, &options, &error)) {
    std::fprintf(stderr, "zdc-graph: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  CoInitialize(nullptr);
  const int status = Run(options);
  CoUninitialize();
  return status;
}
