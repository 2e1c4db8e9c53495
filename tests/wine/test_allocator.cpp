#include "test_allocator.h"

#include <uuids.h>

#include <new>

TestAllocator* TestAllocator::Create() {
  IMemAllocator* inner = nullptr;
  if (FAILED(CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IMemAllocator, reinterpret_cast<void**>(&inner))))
    return nullptr;
  auto* allocator = new (std::nothrow) TestAllocator(inner);
  if (!allocator) {
    inner->Release();
    return nullptr;
  }
  allocator->NonDelegatingAddRef();
  return allocator;
}

TestAllocator::TestAllocator(IMemAllocator* inner)
    : CUnknown(L"test allocator", nullptr), m_inner(inner) {}

TestAllocator::~TestAllocator() { m_inner->Release(); }

HRESULT STDMETHODCALLTYPE TestAllocator::NonDelegatingQueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IMemAllocator))
    return GetInterface(static_cast<IMemAllocator*>(this), out);
  return CUnknown::NonDelegatingQueryInterface(iid, out);
}

HRESULT STDMETHODCALLTYPE TestAllocator::SetProperties(ALLOCATOR_PROPERTIES* request,
                                                       ALLOCATOR_PROPERTIES* actual) {
  if (!request) return E_POINTER;
  ALLOCATOR_PROPERTIES adjusted = *request;
  if (adjusted.cbBuffer < m_minimumSize) adjusted.cbBuffer = m_minimumSize;
  return m_inner->SetProperties(&adjusted, actual);
}

HRESULT STDMETHODCALLTYPE TestAllocator::GetProperties(ALLOCATOR_PROPERTIES* props) {
  return m_inner->GetProperties(props);
}

HRESULT STDMETHODCALLTYPE TestAllocator::Commit() { return m_inner->Commit(); }

HRESULT STDMETHODCALLTYPE TestAllocator::Decommit() { return m_inner->Decommit(); }

HRESULT STDMETHODCALLTYPE TestAllocator::GetBuffer(IMediaSample** sample, REFERENCE_TIME* start,
                                                   REFERENCE_TIME* stop, DWORD flags) {
  HRESULT hr = m_inner->GetBuffer(sample, start, stop, flags);
  if (FAILED(hr)) return hr;
  LONG index = InterlockedIncrement(&m_handedOut) - 1;
  if (index == m_attachAt) (*sample)->SetMediaType(&m_attachType);
  return hr;
}

HRESULT STDMETHODCALLTYPE TestAllocator::ReleaseBuffer(IMediaSample* sample) {
  return m_inner->ReleaseBuffer(sample);
}

void TestAllocator::AttachTypeAt(int index, const CMediaType& type) {
  m_attachAt = index;
  m_attachType = type;
}
