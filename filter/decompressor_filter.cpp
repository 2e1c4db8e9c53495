// The decompressor as a COM object and a graph member: construction, its
// interfaces, its pins, reconnection and buffer sizing.
#include "decompressor_filter.h"

#include <algorithm>
#include <new>

#include "decompressor_pins.h"
#include "video_format.h"

CUnknown* WINAPI DecompressorFilter::CreateInstance(IUnknown* outer, HRESULT* hr) {
  return new (std::nothrow) DecompressorFilter(outer, hr);
}

DecompressorFilter::DecompressorFilter(IUnknown* outer, HRESULT* hr)
    : CTransformFilter(nullptr, outer, CLSID_DecompressorFilter),
      m_layout(),
      m_decoder(),
      m_waitForKeyFrame(false),
      m_frameCount(0),
      m_lastSampleSize(0),
      m_averageSampleSize(0),
      m_totalSampleSize(0.0),
      m_notifyWindow(nullptr) {
  m_pInput = new (std::nothrow) DecompressorInputPin(this, hr);
  m_pOutput = new (std::nothrow) DecompressorOutputPin(this, hr);
  if (m_pInput && m_pOutput)
    ResetStatistics();
  else if (hr)
    *hr = E_OUTOFMEMORY;
}

DecompressorFilter::~DecompressorFilter() = default;

HRESULT STDMETHODCALLTYPE DecompressorFilter::NonDelegatingQueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IDecompressorSettings))
    return GetInterface(static_cast<IDecompressorSettings*>(this), out);
  if (IsEqualIID(iid, IID_ISpecifyPropertyPages))
    return GetInterface(static_cast<ISpecifyPropertyPages*>(this), out);
  return CTransformFilter::NonDelegatingQueryInterface(iid, out);
}

CBasePin* DecompressorFilter::GetPin(int n) {
  if (n == 0) return m_pInput;
  if (n == 1) return m_pOutput;
  return nullptr;
}

HRESULT STDMETHODCALLTYPE DecompressorFilter::GetPages(CAUUID* pages) {
  if (!pages) return E_POINTER;
  pages->cElems = 1;
  pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
  if (!pages->pElems) return E_OUTOFMEMORY;
  pages->pElems[0] = CLSID_DecompressorPropertyPage;
  return S_OK;
}

HRESULT DecompressorFilter::CompleteConnect(PIN_DIRECTION direction, IPin* /*receivePin*/) {
  if (!m_pGraph) return VFW_E_NOT_IN_GRAPH;
  if (direction == PINDIR_OUTPUT || !m_pOutput->IsConnected()) return S_OK;
  if (CheckTransform(&m_pInput->CurrentMediaType(), &m_pOutput->CurrentMediaType()) == S_OK)
    return S_OK;
  // The new input no longer fits the output connection: have the graph
  // reconnect the output with the first output type that downstream takes.
  CMediaType candidate;
  for (int index = 0; BuildOutputType(index, m_pInput->CurrentMediaType(), &candidate) == S_OK;
       ++index) {
    if (SUCCEEDED(ReconnectPin(m_pOutput, &candidate))) return S_OK;
  }
  return VFW_E_INVALIDMEDIATYPE;
}

HRESULT DecompressorFilter::DecideBufferSize(IMemAllocator* allocator,
                                             ALLOCATOR_PROPERTIES* request) {
  if (!m_pInput->IsConnected()) return VFW_E_WRONG_STATE;
  if (request->cBuffers == 0) request->cBuffers = 1;
  const CMediaType& type = m_pOutput->CurrentMediaType();
  int64_t bytes = type.lSampleSize;
  // A proposed type may state a sample size too small for the picture at its
  // own pitch (or none); the buffer must hold the whole surface.
  OutputLayout layout;
  if (LayoutOfType(type, &layout)) {
    const bool withChroma = !IsEqualGUID(m_pInput->CurrentMediaType().subtype, MEDIASUBTYPE_QZV3);
    bytes = std::max(bytes, layout.Bytes(withChroma));
  }
  if (bytes > INT32_MAX) return E_FAIL;
  request->cbBuffer = static_cast<long>(bytes);

  ALLOCATOR_PROPERTIES actual = {};
  HRESULT hr = allocator->SetProperties(request, &actual);
  if (FAILED(hr)) return hr;
  if (actual.cBuffers < request->cBuffers || actual.cbBuffer < request->cbBuffer) return E_FAIL;
  return hr;
}
