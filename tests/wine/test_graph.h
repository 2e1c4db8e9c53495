// A filter graph of the platform's Filter Graph Manager holding a test
// source, the decompressor and a test sink, for the connection and streaming
// tests. Release() takes everything apart and checks that every object goes.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <control.h>

#include "test_sink.h"
#include "test_source.h"

struct TestGraph {
  IFilterGraph2* graph = nullptr;
  IMediaControl* control = nullptr;
  IMediaEvent* events = nullptr;
  IBaseFilter* filter = nullptr;
  TestSource* source = nullptr;
  TestSink* sink = nullptr;
  IPin* in = nullptr;   // the decompressor's pins
  IPin* out = nullptr;

  // False (with a failed check) when the graph cannot be built.
  bool Create();
  // Source to decompressor with `type`, through the graph.
  HRESULT ConnectInput(const CMediaType& type);
  // Decompressor to sink, through the graph; `type` may be null.
  HRESULT ConnectOutput(const AM_MEDIA_TYPE* type);
  // The usual streaming setup: a 64 x 48 QZV2 input, the sink's own output
  // type; each connection checked.
  void ConnectSmallQzv2();
  // Runs the source's frames through the graph until the sink reports the end
  // of the stream, then stops; false (with a failed check) when it never does.
  bool RunToCompletion();
  void Release();
};
