#include "property_page.h"

#include "class_factory.h"

namespace {

// Only the size of the hidden measuring copy of the dialog matters.
INT_PTR CALLBACK MeasureProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

}  // namespace

CBasePropertyPage::CBasePropertyPage(const wchar_t* name, IUnknown* outer, int dialogId,
                                     int titleId)
    : CUnknown(name, outer),
      m_hwnd(nullptr),
      m_pPageSite(nullptr),
      m_bDirty(FALSE),
      m_bObjectSet(FALSE),
      m_DialogId(dialogId),
      m_TitleId(titleId) {}

CBasePropertyPage::~CBasePropertyPage() {
  // A frame that lets the page go while it is active leaves the dialog behind;
  // it must not call into the half-destroyed page while it goes.
  if (m_hwnd) {
    SetWindowLongPtrW(m_hwnd, DWLP_USER, 0);
    DestroyWindow(m_hwnd);
  }
  if (m_pPageSite) m_pPageSite->Release();
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::NonDelegatingQueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IPropertyPage))
    return GetInterface(static_cast<IPropertyPage*>(this), out);
  return CUnknown::NonDelegatingQueryInterface(iid, out);
}

HRESULT CBasePropertyPage::OnConnect(IUnknown* /*object*/) { return S_OK; }

HRESULT CBasePropertyPage::OnDisconnect() { return S_OK; }

HRESULT CBasePropertyPage::OnActivate() { return S_OK; }

HRESULT CBasePropertyPage::OnDeactivate() { return S_OK; }

HRESULT CBasePropertyPage::OnApplyChanges() { return S_OK; }

INT_PTR CBasePropertyPage::OnReceiveMessage(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
  if (!m_hwnd) return 0;
  // The frame moves the keyboard focus into the page only while the page is a
  // control parent; keep that style whatever the frame or a control sets.
  if (message == WM_STYLECHANGING) {
    if (wParam == static_cast<WPARAM>(GWL_EXSTYLE))
      reinterpret_cast<STYLESTRUCT*>(lParam)->styleNew |= WS_EX_CONTROLPARENT;
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

INT_PTR CALLBACK CBasePropertyPage::DialogProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  // The page arrives with WM_INITDIALOG; the few messages before it (the
  // font, the non-client creation) get the dialog manager's handling.
  if (message == WM_INITDIALOG) {
    auto* page = reinterpret_cast<CBasePropertyPage*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    page->m_hwnd = window;
  }
  auto* page = reinterpret_cast<CBasePropertyPage*>(GetWindowLongPtrW(window, DWLP_USER));
  if (!page) return FALSE;
  return page->OnReceiveMessage(window, message, wParam, lParam);
}

SIZE CBasePropertyPage::MeasureDialog() const {
  SIZE size = {0, 0};
  HWND dialog = CreateDialogParamW(ModuleInstance(), MAKEINTRESOURCEW(m_DialogId),
                                   GetDesktopWindow(), MeasureProc, 0);
  if (!dialog) return size;
  RECT rect;
  GetWindowRect(dialog, &rect);
  DestroyWindow(dialog);
  size.cx = rect.right - rect.left;
  size.cy = rect.bottom - rect.top;
  return size;
}

// A frame sets its site once and clears it once; anything else is a mistake
// in the frame.
HRESULT STDMETHODCALLTYPE CBasePropertyPage::SetPageSite(IPropertyPageSite* site) {
  if (site) {
    if (m_pPageSite) return E_UNEXPECTED;
    m_pPageSite = site;
    m_pPageSite->AddRef();
    return S_OK;
  }
  if (!m_pPageSite) return E_UNEXPECTED;
  m_pPageSite->Release();
  m_pPageSite = nullptr;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::Activate(HWND parent, LPCRECT rect, BOOL /*modal*/) {
  if (!rect) return E_POINTER;
  if (m_hwnd) return E_UNEXPECTED;  // already active
  HWND dialog = CreateDialogParamW(ModuleInstance(), MAKEINTRESOURCEW(m_DialogId), parent,
                                   DialogProc, reinterpret_cast<LPARAM>(this));
  if (!dialog) {
    DWORD error = GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
  }
  // WM_INITDIALOG has recorded the dialog in m_hwnd. A page that cannot
  // fill its dialog does not show it.
  HRESULT hr = OnActivate();
  if (FAILED(hr)) {
    DestroyWindow(m_hwnd);
    m_hwnd = nullptr;
    return hr;
  }
  Move(rect);
  return Show(SW_SHOWNORMAL);
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::Deactivate() {
  if (!m_hwnd) return E_UNEXPECTED;
  OnDeactivate();
  DestroyWindow(m_hwnd);
  m_hwnd = nullptr;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::GetPageInfo(PROPPAGEINFO* info) {
  if (!info) return E_POINTER;
  wchar_t title[256] = L"";
  int length = LoadStringW(ModuleInstance(), static_cast<UINT>(m_TitleId), title, 256);
  if (length < 0) length = 0;
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((length + 1) * sizeof(wchar_t)));
  if (!copy) return E_OUTOFMEMORY;
  CopyMemory(copy, title, (length + 1) * sizeof(wchar_t));
  info->cb = sizeof(PROPPAGEINFO);
  info->pszTitle = copy;
  info->size = MeasureDialog();
  info->pszDocString = nullptr;
  info->pszHelpFile = nullptr;
  info->dwHelpContext = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::SetObjects(ULONG count, IUnknown** objects) {
  if (count == 1) {
    if (!objects || !objects[0]) return E_POINTER;
    HRESULT hr = OnConnect(objects[0]);
    if (SUCCEEDED(hr)) m_bObjectSet = TRUE;
    return hr;
  }
  if (count == 0) {
    m_bObjectSet = FALSE;
    return OnDisconnect();
  }
  return E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::Show(UINT command) {
  if (!m_hwnd) return E_UNEXPECTED;
  ShowWindow(m_hwnd, static_cast<int>(command));
  InvalidateRect(m_hwnd, nullptr, TRUE);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::Move(LPCRECT rect) {
  if (!rect) return E_POINTER;
  if (!m_hwnd) return E_UNEXPECTED;
  MoveWindow(m_hwnd, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
             TRUE);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::IsPageDirty() { return m_bDirty ? S_OK : S_FALSE; }

HRESULT STDMETHODCALLTYPE CBasePropertyPage::Apply() {
  if (!m_bObjectSet || !m_pPageSite) return E_UNEXPECTED;
  if (!m_bDirty) return S_OK;
  HRESULT hr = OnApplyChanges();
  if (SUCCEEDED(hr)) m_bDirty = FALSE;
  return hr;
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::Help(LPCOLESTR /*helpDir*/) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CBasePropertyPage::TranslateAccelerator(MSG* /*msg*/) {
  return E_NOTIMPL;
}
