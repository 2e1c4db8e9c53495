#include "test_graph.h"

#include <evcode.h>
#include <uuids.h>

#include "check.h"
#include "test_support.h"
#include "zdc_guids.h"

bool TestGraph::Create() {
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFilterGraph2, reinterpret_cast<void**>(&graph));
  ok(hr == S_OK, "Filter Graph Manager: hr %#lx\n", hr);
  if (FAILED(hr)) return false;
  graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
  graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events));
  filter = NewDecompressor();
  source = TestSource::Create();
  sink = TestSink::Create();
  ok(filter && source && sink, "filters\n");
  if (!filter || !source || !sink) return false;
  ok(graph->AddFilter(source->Filter(), L"source") == S_OK, "AddFilter(source)\n");
  ok(graph->AddFilter(filter, L"decompressor") == S_OK, "AddFilter(decompressor)\n");
  ok(graph->AddFilter(sink->Filter(), L"sink") == S_OK, "AddFilter(sink)\n");
  in = FindPin(filter, L"In");
  out = FindPin(filter, L"Out");
  return in && out;
}

HRESULT TestGraph::ConnectInput(const CMediaType& type) {
  source->type = type;
  return graph->ConnectDirect(source->Pin(), in, &type);
}

HRESULT TestGraph::ConnectOutput(const AM_MEDIA_TYPE* type) {
  return graph->ConnectDirect(out, sink->Pin(), type);
}

void TestGraph::ConnectSmallQzv2() {
  ok(ConnectInput(InputType(MEDIASUBTYPE_QZV2, false, 64, 48)) == S_OK, "input\n");
  ok(ConnectOutput(nullptr) == S_OK, "output\n");
}

bool TestGraph::RunToCompletion() {
  HRESULT hr = control->Run();
  ok(SUCCEEDED(hr), "Run: hr %#lx\n", hr);
  // The limit only keeps a broken graph from hanging the tests.
  bool completed = WaitForEvent(events, EC_COMPLETE, 20000, nullptr);
  ok(completed, "no EC_COMPLETE\n");
  hr = control->Stop();
  ok(hr == S_OK, "Stop: hr %#lx\n", hr);
  return completed;
}

void TestGraph::Release() {
  if (control) control->Stop();
  if (in) in->Release();
  if (out) out->Release();
  if (events) events->Release();
  if (control) control->Release();
  // Releasing the graph removes (and disconnects) every filter.
  if (graph) {
    ULONG left = graph->Release();
    ok(left == 0, "graph left with %lu references\n", left);
  }
  if (filter) {
    ULONG left = filter->Release();
    ok(left == 0, "decompressor left with %lu references\n", left);
  }
  if (source) {
    ULONG left = source->Filter()->Release();
    ok(left == 0, "source left with %lu references\n", left);
  }
  if (sink) {
    ULONG left = sink->Filter()->Release();
    ok(left == 0, "sink left with %lu references\n", left);
  }
  *this = TestGraph();
}
