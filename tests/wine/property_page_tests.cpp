// The settings interface and the property page that drives it, in a real
// window against a filter streaming in a graph: every value the settings
// take or refuse, what the page shows of them and writes back, and the
// statistics after every frame. The page as the user sees it is saved to
// property_page.png in the working folder.
#include "test_filters.h"

#include <commctrl.h>
#include <ocidl.h>
#include <olectl.h>

#include <cmath>
#include <string>

#include "check.h"
#include "decompressor_page_resources.h"

namespace {

// Dispatches everything queued for this thread; the WM_USER messages posted
// to `window` among them.
int Notifications(HWND window) {
  MSG message;
  int count = 0;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    count += message.message == WM_USER && message.hwnd == window;
    DispatchMessageW(&message);
  }
  return count;
}

// The frame's side of the page: counts references and status changes.
struct TestPageSite : IPropertyPageSite {
  LONG refs = 1, dirty = 0;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyPageSite) ? this : nullptr;
    return *out ? AddRef(), S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD flags) override {
    return dirty += flags == PROPPAGESTATUS_DIRTY, S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetLocaleID(LCID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return E_NOTIMPL; }
};

// A top-level window in the colour of dialogs, the page at `rect` in it.
HWND CreateFrame(const RECT& rect) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hbrBackground = (HBRUSH)(INT_PTR)(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = L"zdc_test_frame";
  RegisterClassW(&windowClass);
  return CreateWindowExW(0, L"zdc_test_frame", L"Zelvo Frame Decompressor Properties",
                         WS_POPUP | WS_VISIBLE, 40, 40, rect.right + rect.left,
                         rect.bottom + rect.top, nullptr, nullptr, windowClass.hInstance, nullptr);
}

}  // namespace

// What the page shows of the filter and writes back to it, in a real
// window against a filter streaming in a graph: the quality as trunc(q*100),
// the switches, the average sample size after every frame.
void TestPropertyPage() {
  TestGraph g;
  g.source->bufferSize = 2000;  // the frames come after the connection
  g.ConnectInput(InputType(MEDIASUBTYPE_QZV2, false, 64, 48));
  g.ConnectOutput();
  IDecompressorSettings* settings = SettingsOf(g.filter);
  double quality = -1;
  BOOL denoise = 7, mask = 7;
  settings->SetDenoise(5);  // shown checked, written back as TRUE
  TestPageSite site;
  IPropertyPage* page = nullptr;
  CreateObject(CLSID_DecompressorPropertyPage, nullptr, IID_IPropertyPage, (void**)&page);
  page->SetPageSite(&site);
  PROPPAGEINFO info = {};
  HRESULT hr = page->GetPageInfo(&info);
  ok(hr == S_OK && info.size.cx > 0 && info.size.cy > 0, "Got hr %#lx, size %ldx%ld.\n", hr,
     info.size.cx, info.size.cy);
  CoTaskMemFree(info.pszTitle);
  const RECT rect = {8, 8, 8 + info.size.cx, 8 + info.size.cy};
  HWND frame = CreateFrame(rect), dialog = nullptr;
  hr = page->Activate(frame, &rect, FALSE);
  ok(hr == E_UNEXPECTED && !GetWindow(frame, GW_CHILD), "Without a filter: got hr %#lx.\n", hr);
  auto text = [&](int id) {
    wchar_t value[32] = L"";
    GetDlgItemTextW(dialog, id, value, 32);
    return std::wstring(value);
  };
  auto slider = [&] { return SendDlgItemMessageW(dialog, IDC_QUALITY_SLIDER, TBM_GETPOS, 0, 0); };
  const ULONG filterRefs = RefCount(g.filter);
  IUnknown* object = g.filter;
  // A quality is kept in hundredths and read back times 0.01 (0.29 reads
  // 0.28); a refused one leaves the one before. The page shows trunc(q*100).
  // (quality_tables pins these values for every value a host may pass.)
  const struct { double set; HRESULT hr; double reads; LRESULT shown; } qualities[] = {
      {1.0, S_OK, 1.0, 100}, {0.29, S_OK, 0.28, 28}, {-0.01, E_INVALIDARG, 0.28, 28},
      {0.295, S_OK, 0.29, 28},
  };
  for (const auto& q : qualities) {  // kept active after the last
    if (dialog) page->Deactivate(), page->SetObjects(0, nullptr);
    const HRESULT set = settings->SetQuality(q.set);
    settings->GetQuality(&quality);
    page->SetObjects(1, &object);
    hr = page->Activate(frame, &rect, FALSE);
    dialog = GetWindow(frame, GW_CHILD);
    ok(set == q.hr && std::fabs(quality - q.reads) < 1e-12 && hr == S_OK &&
           slider() == q.shown && text(IDC_QUALITY_VALUE) == std::to_wstring(q.shown),
       "%g: got hr %#lx, reads %.17g; hr %#lx, trackbar %ld, text %ls.\n", q.set, set, quality,
       hr, (long)slider(), text(IDC_QUALITY_VALUE).c_str());
  }

  // Apply on a clean page writes nothing; after a click it writes the
  // quality shown and both switches. The active page holds the filter.
  page->Apply();
  settings->GetQuality(&quality);
  ok(std::fabs(quality - 0.29) < 1e-12 && page->IsPageDirty() == S_FALSE &&
         RefCount(g.filter) == filterRefs + 1,
     "Clean Apply: got quality %.17g, %lu references to the filter.\n", quality,
     RefCount(g.filter));
  SendDlgItemMessageW(dialog, IDC_DISPLAY_MASK, BM_CLICK, 0, 0);
  settings->GetDisplayMask(&mask);
  ok(page->IsPageDirty() == S_OK && site.dirty == 1 && !mask, "Click: got mask %d, %ld changes.\n",
     mask, site.dirty);
  hr = page->Apply();
  settings->GetQuality(&quality);
  settings->GetDisplayMask(&mask);
  settings->GetDenoise(&denoise);
  ok(hr == S_OK && std::fabs(quality - 0.28) < 1e-12 && mask == TRUE && denoise == TRUE &&
         page->IsPageDirty() == S_FALSE,
     "Apply: got hr %#lx, quality %.17g, switches %d %d.\n", hr, quality, mask, denoise);

  // After every frame the page shows the quality and the average of the
  // bytes each frame used, or of its length when it could not be decoded
  // (rounded half up); the reset button restarts the average but keeps the
  // last one shown. A frame header's quality of 29 hundredths is kept as
  // 0.29, which shows as 28.
  SourceFrame damaged = EmptyFrame(1001);
  damaged.data[11] = 0x7f;  // a luma plane far past the frame's end
  g.source->frames = {damaged, EmptyFrame(1000, 29), EmptyFrame(1001, 29)};
  g.Run();
  int count = Notifications(dialog);
  ok(count == 3 && slider() == 28 && text(IDC_AVERAGE_SIZE) == L"1001" &&
         IsDlgButtonChecked(dialog, IDC_DISPLAY_MASK) == BST_CHECKED &&
         page->IsPageDirty() == S_FALSE,
     "Got %d notifications, quality %ld, average %ls.\n", count, (long)slider(),
     text(IDC_AVERAGE_SIZE).c_str());
  SendDlgItemMessageW(dialog, IDC_RESET_STATISTICS, BM_CLICK, 0, 0);
  std::wstring shown = text(IDC_AVERAGE_SIZE);
  g.source->frames = {EmptyFrame(1234, 50), EmptyFrame(1235, 50)};
  g.Run();
  count = Notifications(dialog);
  ok(shown == L"1001" && count == 2 && text(IDC_AVERAGE_SIZE) == L"1235" && slider() == 50,
     "Got average %ls after the reset, %d notifications, average %ls, quality %ld.\n",
     shown.c_str(), count, text(IDC_AVERAGE_SIZE).c_str(), (long)slider());
  int width = 0, height = 0;
  SaveClient(frame, "property_page.png", &width, &height);  // for the README

  // A change cancelled by deactivating without Apply is not written; a
  // deactivated page gets no more notifications and lets the filter go.
  SendDlgItemMessageW(dialog, IDC_DENOISE, BM_CLICK, 0, 0);
  hr = page->Deactivate();
  settings->GetDenoise(&denoise);
  g.source->frames = {EmptyFrame(1000)};
  g.Run();
  ok(hr == S_OK && !IsWindow(dialog) && denoise == TRUE && !Notifications(dialog),
     "Deactivate: got hr %#lx, denoise %d.\n", hr, denoise);
  HRESULT hrs[2] = {page->SetObjects(0, nullptr), page->SetObjects(0, nullptr)};
  ok(hrs[0] == S_OK && hrs[1] == E_UNEXPECTED && RefCount(g.filter) == filterRefs,
     "Got hr %#lx, %#lx, %lu references.\n", hrs[0], hrs[1], RefCount(g.filter));
  page->SetPageSite(nullptr);
  ULONG left = page->Release();
  ok(!left && site.refs == 1, "Got %lu references to the page, %ld to the site.\n", left,
     site.refs);
  DestroyWindow(frame);
  settings->Release();
}
