// What the filter tests share: ZDC.dll loaded and its objects made through
// its class factory, input media types, the golden clips as frames, a graph
// of the platform's Filter Graph Manager holding zdc-graph's source, the
// decompressor and a recording sink (on our framework), an allocator that
// asks for a format change, empty key frames, the pictures `zdc decode
// --format` writes for a stream, and a window saved as a picture.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <control.h>
#include <vfwmsgs.h>

#include <cstdint>
#include <string>
#include <vector>

#include "media_type.h"
#include "picture_convert.h"
#include "push_source.h"
#include "zdc_guids.h"

bool LoadDecompressorModule(const wchar_t* path);
HRESULT ModuleCanUnloadNow();
HRESULT GetDecompressorClassObject(REFCLSID clsid, REFIID iid, void** out);
HRESULT CreateObject(REFCLSID clsid, IUnknown* outer, REFIID iid, void** out);
IBaseFilter* NewDecompressor();
IDecompressorSettings* SettingsOf(IUnknown* filter);
ULONG RefCount(IUnknown* object);
// Releases what must be the last reference and checks the module is free.
void ReleaseLast(IUnknown* object, const char* name);

// A compressed video type of `subtype`, with a VIDEOINFOHEADER2 when `info2`.
CMediaType InputType(const GUID& subtype, bool info2, LONG width, LONG height,
                     REFERENCE_TIME avgTimePerFrame = 400000);
BITMAPINFOHEADER* BitmapHeader(const AM_MEDIA_TYPE& type);
// The first type offered, or the first VIDEOINFOHEADER type of `subtype`.
CMediaType Offered(IPin* pin, const GUID* subtype = nullptr);
// A VIDEOINFOHEADER output type on a surface `surfaceWidth` pixels wide, as
// renderers propose: the sample size that surface needs, the picture in rcTarget.
CMediaType OnSurface(CMediaType type, LONG surfaceWidth, LONG width, LONG height);
// Waits for `code`, up to a limit that only keeps a broken graph from hanging.
bool WaitForEvent(IMediaEvent* events, long code, LONG_PTR* param1);

// A stream from an AVI file: its FourCC, size and frames (with key flags).
struct Clip {
  uint32_t fourcc = 0;
  int32_t width = 0, height = 0;
  std::vector<SourceFrame> frames;
  bool HasChroma() const { return fourcc != kFourCC_QZV3; }
  CMediaType Type(bool info2 = false) const {
    return InputType(FourCCSubtype(fourcc), info2, width, height);
  }
};
// The first `count` frames of the file at `path`.
Clip ReadClip(const std::string& path, size_t count = SIZE_MAX);
// One of the golden clips (tests/golden/clips): 100x52, 8 frames, key frames 0 and 5.
Clip GoldenClip(const char* name);

struct ReceivedSample {
  std::vector<BYTE> bytes;
  long length;
  bool hasTime, syncPoint, discontinuity, ownAllocator;
  REFERENCE_TIME start, stop;
  CMediaType type;  // the pin's type when the sample came
};
// The sink's pin "In" records samples and counts the calls.
struct SinkState {
  LONG acceptWidth = 0;  // when set, the only output width taken
  ALLOCATOR_PROPERTIES requirements = {};  // none when cbAlign is 0
  IMemAllocator* ownAllocator = nullptr;  // offered when set
  ALLOCATOR_PROPERTIES notified = {};     // at NotifyAllocator
  std::vector<ReceivedSample> samples;
  LONG endOfStreams = 0, segments = 0, flushes = 0;  // flushes begun
  size_t hold = 0;  // samples kept referenced, as a renderer's flipping chain holds them
  std::vector<IMediaSample*> held;
};

// The platform's memory allocator as a renderer's: buffers at least
// `minimumSize` (a wider surface), and `type` attached to buffer `attachAt`.
IMemAllocator* NewTestAllocator(long minimumSize = 0, int attachAt = -1,
                                const CMediaType* type = nullptr);

struct TestGraph {
  IFilterGraph2* graph = nullptr;
  IMediaControl* control = nullptr;
  IMediaEvent* events = nullptr;
  IBaseFilter *filter = nullptr, *sourceFilter = nullptr, *sinkFilter = nullptr;
  IPin *in = nullptr, *out = nullptr, *sourcePin = nullptr, *sinkPin = nullptr;
  PushSource* source = nullptr;  // zdc-graph's: its frames 0.04 s apart
  SinkState* sink = nullptr;

  TestGraph();  // in is null when the graph could not be made
  HRESULT ConnectInput(const CMediaType& type);
  HRESULT ConnectOutput(const AM_MEDIA_TYPE* type = nullptr);
  // Runs the graph until the source has sent its frames, then stops it
  // unless told not to.
  void Run(bool stopAfter = true);
  ~TestGraph();  // every object must go
};

// A sample of `allocator` holding `data`, from `start` for 0.04 s.
IMediaSample* NewSample(IMemAllocator* allocator, const std::vector<BYTE>& data,
                        REFERENCE_TIME start);

// A key frame of exactly `bytes` (>= 32) bytes and no coefficients, which
// Decode reports as `bytes` long, with `hundredths` as its quality.
SourceFrame EmptyFrame(uint32_t bytes, uint16_t hundredths = 50);

// The pictures `zdc decode --format` writes for the clip's media frames: a
// FrameDecoder as the filter drives it (one persistent picture, quality 0.5),
// converted after every frame.
std::vector<std::string> ReferencePictures(const Clip& clip,
                                           zdc::PixelFormat format = zdc::PixelFormat::kYvu9);
// Each sample's picture, packed as above from the layout of its own type.
void CheckPictures(const char* name, const std::vector<ReceivedSample>& got,
                   const std::vector<std::string>& want, bool withChroma);
// The window's client area, or its top left `width` x `height` when those
// are set, redrawn, as 24-bit RGB rows top-down, also saved as a PNG picture.
std::vector<uint8_t> SaveClient(HWND window, const char* path, int* width, int* height);
