// A push source for the graph tests, written on our framework: one output pin
// "Out" that offers one media type and, from the moment the filter is paused,
// delivers one sample per frame on its own thread (time stamps frame by frame,
// sync points on key frames), then end of stream. A frame may be sent as a
// non-media (control) sample. The source stops at the first failed delivery.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <vector>

#include "base_output_pin.h"

struct SourceFrame {
  std::vector<BYTE> data;
  bool key = true;
  bool media = true;  // false: sent with stream identifier AM_STREAM_CONTROL
};

class TestSource;

class TestSourcePin : public CBaseOutputPin {
 public:
  TestSourcePin(TestSource* source, CCritSec* lock, HRESULT* hr);

  const wchar_t* Id() const override { return L"Out"; }
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT Active() override;
  HRESULT Inactive() override;

 private:
  static DWORD WINAPI ThreadMain(void* pin);
  void Push();

  TestSource* m_source;
  HANDLE m_thread = nullptr;
};

class TestSource : public CBaseFilter {
 public:
  // A new source with one reference.
  static TestSource* Create();
  ~TestSource() override;

  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int n) override { return n == 0 ? &m_pin : nullptr; }
  IPin* Pin() { return &m_pin; }
  IBaseFilter* Filter() { return this; }

  // Configuration, set while stopped.
  CMediaType type;
  std::vector<SourceFrame> frames;
  REFERENCE_TIME frameDuration = 400000;
  long bufferSize = 0;  // 0: the largest frame

  // Results of the last run: what each Deliver returned.
  std::vector<HRESULT> deliveries;
  bool sentEndOfStream = false;

 private:
  friend class TestSourcePin;
  TestSource();

  CCritSec m_lock;
  TestSourcePin m_pin;
};
