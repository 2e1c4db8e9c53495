// A sink filter standing where a renderer would: it accepts the media types
// a predicate allows, asks the upstream allocator for a number of buffers,
// keeps the last samples it received referenced (as a renderer's flipping
// chain holds its surfaces) and hands every sample to a callback.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <deque>
#include <functional>

#include "base_filter.h"
#include "base_input_pin.h"
#include "critical_section.h"

class PictureSink;

class PictureSinkPin : public CBaseInputPin {
 public:
  PictureSinkPin(PictureSink* sink, CCritSec* lock, HRESULT* hr);

  const wchar_t* Id() const override { return L"In"; }
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;
  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
  HRESULT STDMETHODCALLTYPE EndOfStream() override;
  HRESULT Inactive() override;

 private:
  PictureSink* m_sink;
};

class PictureSink : public CBaseFilter {
 public:
  // A new sink with one reference, or null without memory.
  static PictureSink* Create();
  ~PictureSink() override;

  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int n) override { return n == 0 ? &m_pin : nullptr; }
  IPin* Pin() { return &m_pin; }
  IBaseFilter* Filter() { return this; }

  // Set before connecting.
  std::function<bool(const CMediaType&)> accept = [](const CMediaType&) { return true; };
  long buffers = 1;  // the upstream allocator's buffer count
  size_t hold = 0;   // samples kept referenced after they arrived
  // Called on the streaming thread with each sample and the pin's type.
  std::function<HRESULT(IMediaSample*, const CMediaType&)> received;

  HANDLE endOfStream = nullptr;  // set at end of stream

 private:
  friend class PictureSinkPin;
  PictureSink();
  void ReleaseHeld();

  CCritSec m_lock;
  PictureSinkPin m_pin;
  CCritSec m_heldLock;  // the streaming thread adds, a stop releases
  std::deque<IMediaSample*> m_held;
};
