// An allocator for the test sink: the platform's memory allocator inside,
// with two things a renderer does on top: it may hand out larger buffers than
// asked (a wider surface), and it may attach a new media type to an output
// sample to ask the upstream filter for a format change.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "media_type.h"
#include "unknown.h"

class TestAllocator : public CUnknown, public IMemAllocator {
 public:
  // Null when the platform's memory allocator cannot be created.
  static TestAllocator* Create();
  ~TestAllocator() override;

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** out) override;

  HRESULT STDMETHODCALLTYPE SetProperties(ALLOCATOR_PROPERTIES* request,
                                          ALLOCATOR_PROPERTIES* actual) override;
  HRESULT STDMETHODCALLTYPE GetProperties(ALLOCATOR_PROPERTIES* props) override;
  HRESULT STDMETHODCALLTYPE Commit() override;
  HRESULT STDMETHODCALLTYPE Decommit() override;
  HRESULT STDMETHODCALLTYPE GetBuffer(IMediaSample** sample, REFERENCE_TIME* start,
                                      REFERENCE_TIME* stop, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE ReleaseBuffer(IMediaSample* sample) override;

  // Buffers are at least this large.
  void SetMinimumBufferSize(long bytes) { m_minimumSize = bytes; }
  // The buffer handed out as number `index` (counting from 0 over the
  // allocator's life) carries `type`.
  void AttachTypeAt(int index, const CMediaType& type);
  int BuffersHandedOut() const { return m_handedOut; }

 private:
  explicit TestAllocator(IMemAllocator* inner);

  IMemAllocator* m_inner;
  long m_minimumSize = 0;
  volatile LONG m_handedOut = 0;
  int m_attachAt = -1;
  CMediaType m_attachType;
};
