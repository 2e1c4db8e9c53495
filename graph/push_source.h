// A push source filter: one output pin whose thread delivers a list of
// frames in memory as media samples (time stamps, sync points, preroll and
// stream flags), then end of stream. It can start as after a seek: a flush
// and a new segment before its first sample. The AVI source of zdc-graph and
// the filter's tests both feed the decompressor through it.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <vector>

#include "base_filter.h"
#include "base_output_pin.h"
#include "critical_section.h"

struct SourceFrame {
  std::vector<BYTE> data;
  bool key = true;
  bool preroll = false;
  bool media = true;  // false: sent with stream identifier AM_STREAM_CONTROL
};

class PushSource;

class PushSourcePin : public CBaseOutputPin {
 public:
  PushSourcePin(PushSource* source, CCritSec* lock, HRESULT* hr);

  const wchar_t* Id() const override { return L"Out"; }
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT Active() override;
  HRESULT Inactive() override;

 private:
  static DWORD WINAPI ThreadMain(void* pin);
  void Push();

  PushSource* m_source;
  HANDLE m_thread = nullptr;
};

class PushSource : public CBaseFilter {
 public:
  // A new source with one reference, or null without memory.
  static PushSource* Create();
  ~PushSource() override;

  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int n) override { return n == 0 ? &m_pin : nullptr; }
  IPin* Pin() { return &m_pin; }
  IBaseFilter* Filter() { return this; }

  // Set before connecting.
  CMediaType type;
  std::vector<SourceFrame> frames;
  REFERENCE_TIME frameDuration = 400000;
  long bufferSize = 0;  // 0: the largest frame
  // Begins with BeginFlush, EndFlush and a new segment, as a seek does.
  bool startAsSeek = false;
  // The first frame sent (a seek's key frame).
  size_t firstFrame = 0;

  // What the pin's thread saw.
  std::vector<HRESULT> deliveries;
  bool sentEndOfStream = false;
  HANDLE finished = nullptr;  // set when the thread ends

 private:
  friend class PushSourcePin;
  PushSource();

  CCritSec m_lock;
  PushSourcePin m_pin;
};
