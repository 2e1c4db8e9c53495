// The property page in a real window: the test plays the property frame (a
// window of its own and a page site that records status changes), connects
// the page to a filter streaming in a graph, and reads the dialog's controls
// back. The page as the user sees it is saved to property_page.png in the
// working folder.
#include <windows.h>
#include <commctrl.h>
#include <ocidl.h>
#include <olectl.h>

#include <cmath>
#include <cwchar>
#include <string>
#include <vector>

#include "check.h"
#include "png_writer.h"
#include "test_frames.h"
#include "test_graph.h"
#include "test_support.h"
#include "zdc_guids.h"

namespace {

constexpr int kMargin = 8;  // around the page in the frame window
constexpr int kSlider = 1020, kAverage = 1021, kQualityEdit = 1022, kMask = 1023,
              kReset = 1024, kDenoise = 1005;

// The frame's side of the page: counts its references and records every
// status change the page reports.
struct TestPageSite : IPropertyPageSite {
  LONG refs = 1;
  std::vector<DWORD> statusChanges;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyPageSite)) {
      *out = static_cast<IPropertyPageSite*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD flags) override {
    statusChanges.push_back(flags);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetLocaleID(LCID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return E_NOTIMPL; }
};

IPropertyPage* NewPage() {
  IClassFactory* factory = nullptr;
  if (FAILED(GetDecompressorClassObject(CLSID_DecompressorPropertyPage, IID_IClassFactory,
                                        reinterpret_cast<void**>(&factory))))
    return nullptr;
  IPropertyPage* page = nullptr;
  HRESULT hr = factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page));
  ok(hr == S_OK, "page: hr %#lx\n", hr);
  factory->Release();
  return page;
}

// A plain top-level window in the colour of dialogs, with room for the page.
HWND CreateFrame(SIZE page) {
  static ATOM frameClass = 0;
  if (!frameClass) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = L"zdc_test_property_frame";
    frameClass = RegisterClassW(&windowClass);
  }
  return CreateWindowExW(0, L"zdc_test_property_frame", L"Zelvo Frame Decompressor Properties",
                         WS_POPUP | WS_VISIBLE, 40, 40, page.cx + 2 * kMargin,
                         page.cy + 2 * kMargin, nullptr, nullptr, GetModuleHandleW(nullptr),
                         nullptr);
}

// Dispatches everything queued for this thread; returns how many WM_USER
// messages were addressed to `window`.
int PumpMessages(HWND window) {
  MSG message;
  int notifications = 0;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_USER && message.hwnd == window) ++notifications;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return notifications;
}

std::wstring ItemText(HWND dialog, int id) {
  wchar_t text[128] = L"";
  GetDlgItemTextW(dialog, id, text, 128);
  return text;
}

long long SliderPosition(HWND dialog) {
  return SendDlgItemMessageW(dialog, kSlider, TBM_GETPOS, 0, 0);
}

SourceFrame FrameOf(uint32_t bytes, uint16_t hundredths) {
  SourceFrame frame;
  frame.data = EmptyKeyFrame(bytes);
  frame.data[4] = static_cast<BYTE>(hundredths);
  frame.data[5] = static_cast<BYTE>(hundredths >> 8);
  return frame;
}

double Quality(IDecompressorSettings* settings) {
  double quality = -1;
  settings->GetQuality(&quality);
  return quality;
}

BOOL DisplayMask(IDecompressorSettings* settings) {
  BOOL on = -7;
  settings->GetDisplayMask(&on);
  return on;
}

BOOL Denoise(IDecompressorSettings* settings) {
  BOOL on = -7;
  settings->GetDenoise(&on);
  return on;
}

// The window's client area as a PNG; false when nothing was captured.
bool SaveScreenshot(HWND window, const char* path) {
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  RECT client;
  GetClientRect(window, &client);
  const int width = client.right, height = client.bottom;
  HDC source = GetDC(window);
  HDC memory = CreateCompatibleDC(source);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool saved = false;
  if (bitmap) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BOOL copied = BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    GdiFlush();
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    const auto* bgra = static_cast<const uint8_t*>(bits);
    bool uniform = true;
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
      rgb[3 * i] = bgra[4 * i + 2];
      rgb[3 * i + 1] = bgra[4 * i + 1];
      rgb[3 * i + 2] = bgra[4 * i];
      uniform = uniform && (bgra[4 * i] | bgra[4 * i + 1] << 8 | bgra[4 * i + 2] << 16) ==
                               (bgra[0] | bgra[1] << 8 | bgra[2] << 16);
    }
    try {
      if (copied && !uniform) {
        zdc::WritePng(path, width, height, zdc::PngColor::kRgb, rgb.data(),
                      static_cast<size_t>(width) * 3);
        saved = true;
      }
    } catch (...) {
      saved = false;
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(window, source);
  return saved;
}

// Calls on a page that is neither connected nor active, with and without a
// site.
void TestUnconnectedPage() {
  BeginGroup("page without a filter");
  IPropertyPage* page = NewPage();
  if (!page) return;
  PROPPAGEINFO info = {};
  HRESULT hr = page->GetPageInfo(&info);
  ok(hr == S_OK && info.cb == sizeof(info), "GetPageInfo: hr %#lx\n", hr);
  ok(info.pszTitle && std::wcscmp(info.pszTitle, L"Zelvo Frame Decompressor Properties") == 0,
     "title %ls\n", info.pszTitle);
  ok(info.size.cx > 0 && info.size.cy > 0, "size %ldx%ld\n", info.size.cx, info.size.cy);
  ok(!info.pszDocString && !info.pszHelpFile && info.dwHelpContext == 0, "help fields\n");
  CoTaskMemFree(info.pszTitle);

  TestPageSite site;
  IUnknown* notAFilter = &site;
  IUnknown* two[2] = {notAFilter, notAFilter};
  RECT rect = {0, 0, 100, 100};
  MSG message = {};
  struct {
    const char* name;
    HRESULT got;
    HRESULT expected;
  } calls[] = {
      {"GetPageInfo(null)", page->GetPageInfo(nullptr), E_POINTER},
      {"IsPageDirty", page->IsPageDirty(), S_FALSE},
      {"Apply", page->Apply(), E_UNEXPECTED},
      {"SetObjects(0)", page->SetObjects(0, nullptr), E_UNEXPECTED},
      {"SetObjects(2)", page->SetObjects(2, two), E_UNEXPECTED},
      {"SetObjects(1) without the settings", page->SetObjects(1, &notAFilter), E_NOINTERFACE},
      {"Deactivate", page->Deactivate(), E_UNEXPECTED},
      {"Show", page->Show(SW_SHOW), E_UNEXPECTED},
      {"Move", page->Move(&rect), E_UNEXPECTED},
      {"Move(null)", page->Move(nullptr), E_POINTER},
      {"Activate(null rectangle)", page->Activate(GetDesktopWindow(), nullptr, FALSE), E_POINTER},
      {"Help", page->Help(L"C:\\"), E_NOTIMPL},
      {"TranslateAccelerator", page->TranslateAccelerator(&message), E_NOTIMPL},
      {"SetPageSite(null) without a site", page->SetPageSite(nullptr), E_UNEXPECTED},
      {"SetPageSite", page->SetPageSite(&site), S_OK},
      {"SetPageSite again", page->SetPageSite(&site), E_UNEXPECTED},
      {"Apply with a site only", page->Apply(), E_UNEXPECTED},
  };
  for (const auto& c : calls)
    ok(c.got == c.expected, "%s: hr %#lx, expected %#lx\n", c.name, c.got, c.expected);
  ok(site.refs == 2 && site.statusChanges.empty(), "site: %ld references, %zu changes\n",
     site.refs, site.statusChanges.size());
  ok(page->SetPageSite(nullptr) == S_OK && site.refs == 1, "site released: %ld\n", site.refs);
  ok(page->SetPageSite(&site) == S_OK, "site set again\n");
  ULONG left = page->Release();
  ok(left == 0, "page left with %lu references\n", left);
  ok(site.refs == 1, "the page kept the site: %ld references\n", site.refs);
  ok(ModuleCanUnloadNow() == S_OK, "objects left behind\n");
}

// The dialog as the template lays it out, in tab order. Styles are compared
// on the bits listed in kStyleBits.
struct ControlSpec {
  int id;
  const wchar_t* className;
  const wchar_t* text;  // null: not compared (the values)
  RECT units;           // x, y, width, height in dialog units
  DWORD style;
};
constexpr DWORD kStyleBits =
    WS_CHILD | WS_VISIBLE | WS_DISABLED | WS_TABSTOP | WS_GROUP | WS_BORDER | 0xFFFF;
const ControlSpec kControls[] = {
    {-1, L"Button", L"Decompressor Settings", {7, 7, 243, 57},
     WS_CHILD | WS_VISIBLE | BS_GROUPBOX},
    {-1, L"Static", L"Current Quality", {15, 22, 50, 8},
     WS_CHILD | WS_VISIBLE | SS_LEFT | WS_GROUP},
    {kSlider, L"msctls_trackbar32", L"", {72, 19, 123, 15},
     WS_CHILD | WS_VISIBLE | TBS_BOTH | TBS_NOTICKS | WS_TABSTOP | WS_DISABLED},
    {kQualityEdit, L"Edit", nullptr, {197, 19, 47, 14},
     WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_DISABLED},
    {kMask, L"Button", L"Display mask (for debugging)", {14, 38, 152, 10},
     WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | WS_TABSTOP},
    {kDenoise, L"Button", L"Apply denoise filter", {14, 50, 152, 10},
     WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | WS_TABSTOP},
    {-1, L"Button", L"Decompressor statistics", {7, 66, 243, 61},
     WS_CHILD | WS_VISIBLE | BS_GROUPBOX},
    {-1, L"Static", L"Average Sample Size", {14, 94, 68, 8},
     WS_CHILD | WS_VISIBLE | SS_LEFT | WS_GROUP},
    {kAverage, L"Edit", nullptr, {123, 90, 47, 14},
     WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_DISABLED},
    {kReset, L"Button", L"   Reset \n Statistics", {183, 75, 50, 44},
     WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | BS_MULTILINE | WS_TABSTOP},
};

void CheckLayout(HWND dialog, SIZE pageSize) {
  wchar_t name[64] = L"";
  GetClassNameW(dialog, name, 64);
  ok(std::wcscmp(name, L"#32770") == 0, "the page is a %ls window\n", name);
  LONG style = GetWindowLongW(dialog, GWL_STYLE);
  ok((style & (WS_CHILD | WS_VISIBLE | WS_CAPTION | WS_POPUP)) == (WS_CHILD | WS_VISIBLE),
     "dialog style %#lx\n", style);
  RECT size = {0, 0, 257, 133};
  MapDialogRect(dialog, &size);
  ok(size.right == pageSize.cx && size.bottom == pageSize.cy,
     "GetPageInfo's size %ldx%ld, the dialog's %ldx%ld\n", pageSize.cx, pageSize.cy, size.right,
     size.bottom);

  HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
  LOGFONTW logFont = {};
  ok(font && GetObjectW(font, sizeof(logFont), &logFont) == sizeof(logFont), "no dialog font\n");
  HDC screen = GetDC(nullptr);
  const LONG height = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
  ReleaseDC(nullptr, screen);
  ok(std::wcscmp(logFont.lfFaceName, L"MS Sans Serif") == 0 && logFont.lfHeight == height,
     "font %ls, height %ld\n", logFont.lfFaceName, logFont.lfHeight);

  HWND control = GetWindow(dialog, GW_CHILD);
  for (const ControlSpec& shape : kControls) {
    ok(control != nullptr, "control %d (%ls) missing\n", shape.id, shape.text);
    if (!control) return;
    const int id = GetDlgCtrlID(control);
    GetClassNameW(control, name, 64);
    ok(id == shape.id && lstrcmpiW(name, shape.className) == 0, "control %d is %d, a %ls\n",
       shape.id, id, name);
    wchar_t text[64] = L"";
    GetWindowTextW(control, text, 64);
    ok(!shape.text || std::wcscmp(text, shape.text) == 0, "control %d: text \"%ls\"\n", shape.id,
       text);
    DWORD got = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
    DWORD want = shape.style;
    // An edit control trades its WS_BORDER for the sunken WS_EX_CLIENTEDGE.
    if (lstrcmpiW(name, L"Edit") == 0 && (want & WS_BORDER) && !(got & WS_BORDER) &&
        (GetWindowLongW(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE))
      want &= ~WS_BORDER;
    ok((got & kStyleBits) == want, "control %d: style %#lx, expected %#lx\n", shape.id,
       got & kStyleBits, want);
    // The dialog manager maps the position and the size each on its own.
    RECT mapped = shape.units;
    MapDialogRect(dialog, &mapped);
    RECT expected = {mapped.left, mapped.top, mapped.left + mapped.right,
                     mapped.top + mapped.bottom};
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    ok(EqualRect(&rect, &expected),
       "control %d at (%ld,%ld)-(%ld,%ld), expected (%ld,%ld)-(%ld,%ld)\n", shape.id, rect.left,
       rect.top, rect.right, rect.bottom, expected.left, expected.top, expected.right,
       expected.bottom);
    ok(IsWindowEnabled(control) == !(shape.style & WS_DISABLED), "control %d enabled\n", shape.id);
    // Every control with a text has the dialog's font (the trackbar keeps none).
    ok(!shape.text || !*shape.text ||
           SendMessageW(control, WM_GETFONT, 0, 0) == reinterpret_cast<LRESULT>(font),
       "control %d has another font\n", shape.id);
    control = GetWindow(control, GW_HWNDNEXT);
  }
  ok(control == nullptr, "more controls than the template has\n");
  ok(SendDlgItemMessageW(dialog, kSlider, TBM_GETRANGEMIN, 0, 0) == 0 &&
         SendDlgItemMessageW(dialog, kSlider, TBM_GETRANGEMAX, 0, 0) == 100,
     "trackbar range\n");
}

// What the page shows of the filter's state when it is activated.
void TestQualityShown() {
  BeginGroup("page shows the quality");
  struct {
    double set;   // written through the settings interface
    long long shown;  // trackbar position and edit field
    const wchar_t* text;
  } cases[] = {
      {0.505, 50, L"50"},  // 50 hundredths
      {0.295, 28, L"28"},  // 29 hundredths read back as 0.29; 0.29 x 100.0 is below 29
      {0.585, 57, L"57"},  // 58 hundredths likewise
      {1.0, 100, L"100"},
      {0.0, 0, L"0"},
      {0.75, 75, L"75"},
  };
  IBaseFilter* filter = NewDecompressor();
  IDecompressorSettings* settings = nullptr;
  filter->QueryInterface(IID_IDecompressorSettings, reinterpret_cast<void**>(&settings));
  SIZE size = {300, 200};
  HWND frame = CreateFrame(size);
  RECT rect = {kMargin, kMargin, kMargin + size.cx, kMargin + size.cy};
  IUnknown* object = filter;
  IPropertyPage* page = NewPage();
  ok(page->Activate(frame, &rect, FALSE) == E_UNEXPECTED, "Activate without a filter\n");
  ok(GetWindow(frame, GW_CHILD) == nullptr, "a dialog without a filter\n");
  page->Release();
  for (const auto& c : cases) {
    settings->SetQuality(c.set);
    page = NewPage();
    ok(page->SetObjects(1, &object) == S_OK, "%g: SetObjects\n", c.set);
    ok(page->Activate(frame, &rect, FALSE) == S_OK, "%g: Activate\n", c.set);
    HWND dialog = GetWindow(frame, GW_CHILD);
    ok(SliderPosition(dialog) == c.shown && ItemText(dialog, kQualityEdit) == c.text,
       "%g: trackbar at %lld, edit \"%ls\"\n", c.set, SliderPosition(dialog),
       ItemText(dialog, kQualityEdit).c_str());
    ok(page->Deactivate() == S_OK && page->SetObjects(0, nullptr) == S_OK, "%g: disconnect\n",
       c.set);
    ULONG left = page->Release();
    ok(left == 0, "%g: page left with %lu references\n", c.set, left);
  }
  DestroyWindow(frame);
  settings->Release();
  ReleaseLastReference(filter, "filter");
}

// The whole life of the page in a frame, against a filter in a graph.
void TestPageInWindow() {
  BeginGroup("page in a window");
  TestGraph g;
  if (!g.Create()) return g.Release();
  g.source->bufferSize = 2000;
  g.ConnectSmallQzv2();
  IDecompressorSettings* settings = nullptr;
  g.filter->QueryInterface(IID_IDecompressorSettings, reinterpret_cast<void**>(&settings));
  settings->SetQuality(0.295);  // 29 hundredths
  settings->SetDenoise(5);
  settings->SetDisplayMask(FALSE);

  TestPageSite site;
  IPropertyPage* page = NewPage();
  ok(page->SetPageSite(&site) == S_OK, "SetPageSite\n");
  PROPPAGEINFO info = {};
  page->GetPageInfo(&info);
  CoTaskMemFree(info.pszTitle);

  const ULONG filterRefs = RefCount(g.filter);
  IUnknown* object = g.filter;
  HRESULT hr = page->SetObjects(1, &object);
  ok(hr == S_OK, "SetObjects: hr %#lx\n", hr);
  ok(RefCount(g.filter) == filterRefs + 1, "the page holds the filter: %lu\n", RefCount(g.filter));

  HWND frame = CreateFrame(info.size);
  RECT rect = {kMargin, kMargin, kMargin + info.size.cx, kMargin + info.size.cy};
  hr = page->Activate(frame, &rect, FALSE);
  ok(hr == S_OK, "Activate: hr %#lx\n", hr);
  HWND dialog = GetWindow(frame, GW_CHILD);
  ok(dialog && GetParent(dialog) == frame && IsWindowVisible(dialog), "no page in the frame\n");
  if (!dialog) {
    page->Release();
    DestroyWindow(frame);
    settings->Release();
    return g.Release();
  }
  RECT placed;
  GetWindowRect(dialog, &placed);
  MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&placed), 2);
  ok(EqualRect(&placed, &rect), "page at (%ld,%ld)-(%ld,%ld)\n", placed.left, placed.top,
     placed.right, placed.bottom);
  ok(page->Activate(frame, &rect, FALSE) == E_UNEXPECTED, "second Activate\n");
  CheckLayout(dialog, info.size);

  // What activation shows: 29 hundredths as 28, the switches, no average.
  ok(SliderPosition(dialog) == 28 && ItemText(dialog, kQualityEdit) == L"28",
     "quality shown as %lld, \"%ls\"\n", SliderPosition(dialog),
     ItemText(dialog, kQualityEdit).c_str());
  ok(IsDlgButtonChecked(dialog, kMask) == BST_UNCHECKED &&
         IsDlgButtonChecked(dialog, kDenoise) == BST_CHECKED,
     "check boxes %u, %u\n", IsDlgButtonChecked(dialog, kMask),
     IsDlgButtonChecked(dialog, kDenoise));
  ok(ItemText(dialog, kAverage) == L"0", "average \"%ls\"\n", ItemText(dialog, kAverage).c_str());
  ok(page->IsPageDirty() == S_FALSE && site.statusChanges.empty(), "dirty after activation\n");
  ok(PumpMessages(dialog) == 0, "notifications while stopped\n");

  // Apply on a clean page writes nothing: 29 hundredths stay.
  ok(page->Apply() == S_OK, "Apply on a clean page\n");
  ok(std::fabs(Quality(settings) - 0.29) < 1e-12, "clean Apply wrote quality %.17g\n",
     Quality(settings));

  // A click on a check box makes the page dirty and nothing else.
  SendDlgItemMessageW(dialog, kMask, BM_CLICK, 0, 0);
  ok(IsDlgButtonChecked(dialog, kMask) == BST_CHECKED, "the click did not check the box\n");
  ok(page->IsPageDirty() == S_OK, "clean after a click\n");
  ok(site.statusChanges.size() == 1 && site.statusChanges[0] == PROPPAGESTATUS_DIRTY,
     "%zu status changes after a click\n", site.statusChanges.size());
  ok(DisplayMask(settings) == FALSE, "the click reached the filter\n");

  // Apply writes the quality shown and both switches.
  hr = page->Apply();
  ok(hr == S_OK, "Apply: hr %#lx\n", hr);
  ok(std::fabs(Quality(settings) - 0.28) < 1e-12, "quality after Apply %.17g\n",
     Quality(settings));
  ok(DisplayMask(settings) == TRUE && Denoise(settings) == TRUE, "switches %d, %d after Apply\n",
     DisplayMask(settings), Denoise(settings));
  ok(page->IsPageDirty() == S_FALSE, "dirty after Apply\n");
  ok(site.statusChanges.size() == 2 && site.statusChanges[1] == PROPPAGESTATUS_DIRTY,
     "%zu status changes after Apply\n", site.statusChanges.size());

  // A trackbar move (which only the program can make: the trackbar is
  // disabled) shows the position and makes the page dirty.
  HWND slider = GetDlgItem(dialog, kSlider);
  SendMessageW(slider, TBM_SETPOS, TRUE, 64);
  SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 64),
               reinterpret_cast<LPARAM>(slider));
  ok(ItemText(dialog, kQualityEdit) == L"64", "WM_HSCROLL shows \"%ls\"\n",
     ItemText(dialog, kQualityEdit).c_str());
  ok(page->IsPageDirty() == S_OK && site.statusChanges.size() == 3, "dirty after WM_HSCROLL\n");
  ok(page->Apply() == S_OK && std::fabs(Quality(settings) - 0.64) < 1e-12,
     "quality after Apply %.17g\n", Quality(settings));

  // After every frame the filter posts WM_USER: quality and average follow,
  // the check boxes and the dirty state stay.
  g.source->frames = {FrameOf(1000, 75), FrameOf(1001, 75), FrameOf(1001, 75)};
  g.RunToCompletion();
  ok(PumpMessages(dialog) == 3, "notifications for three frames\n");
  ok(SliderPosition(dialog) == 75 && ItemText(dialog, kQualityEdit) == L"75",
     "quality after frames %lld, \"%ls\"\n", SliderPosition(dialog),
     ItemText(dialog, kQualityEdit).c_str());
  ok(ItemText(dialog, kAverage) == L"1001", "average after frames \"%ls\"\n",
     ItemText(dialog, kAverage).c_str());
  ok(IsDlgButtonChecked(dialog, kMask) == BST_CHECKED &&
         IsDlgButtonChecked(dialog, kDenoise) == BST_CHECKED,
     "check boxes after frames\n");
  ok(page->IsPageDirty() == S_FALSE && site.statusChanges.size() == 4,
     "the refresh made the page dirty\n");

  // The reset button restarts the average but keeps showing the last one.
  SendDlgItemMessageW(dialog, kReset, BM_CLICK, 0, 0);
  ok(ItemText(dialog, kAverage) == L"1001", "average after the reset \"%ls\"\n",
     ItemText(dialog, kAverage).c_str());
  ok(page->IsPageDirty() == S_FALSE, "the reset made the page dirty\n");
  g.source->frames = {FrameOf(1234, 50)};
  g.RunToCompletion();
  ok(PumpMessages(dialog) == 1, "notification for one frame\n");
  ok(ItemText(dialog, kAverage) == L"1234" && SliderPosition(dialog) == 50,
     "after the reset and one frame: average \"%ls\", quality %lld\n",
     ItemText(dialog, kAverage).c_str(), SliderPosition(dialog));

  if (!SaveScreenshot(frame, "property_page.png"))
    skip("no picture of the page could be captured\n");

  // A change the frame cancels (by deactivating without Apply) stays unwritten.
  SendDlgItemMessageW(dialog, kDenoise, BM_CLICK, 0, 0);
  ok(page->IsPageDirty() == S_OK, "clean after a click\n");
  ok(page->Deactivate() == S_OK, "Deactivate\n");
  ok(!IsWindow(dialog), "the dialog outlived Deactivate\n");
  ok(Denoise(settings) == TRUE, "a cancelled change reached the filter\n");
  ok(page->Deactivate() == E_UNEXPECTED, "second Deactivate\n");
  g.source->frames = {FrameOf(1000, 50)};
  g.RunToCompletion();
  ok(PumpMessages(dialog) == 0, "notifications after deactivation\n");

  ok(page->SetObjects(0, nullptr) == S_OK, "SetObjects(0)\n");
  ok(RefCount(g.filter) == filterRefs, "the page kept the filter: %lu\n", RefCount(g.filter));
  ok(page->SetObjects(0, nullptr) == E_UNEXPECTED, "second SetObjects(0)\n");
  ok(page->SetPageSite(nullptr) == S_OK, "SetPageSite(null)\n");
  ULONG left = page->Release();
  ok(left == 0, "page left with %lu references\n", left);
  ok(site.refs == 1, "site left with %ld references\n", site.refs);
  DestroyWindow(frame);
  settings->Release();
  g.Release();
  ok(ModuleCanUnloadNow() == S_OK, "objects left behind\n");
}

}  // namespace

void RunPropertyPageTests() {
  TestUnconnectedPage();
  // The page needs a desktop to show its window on.
  SIZE probeSize = {10, 10};
  HWND probe = CreateFrame(probeSize);
  if (!probe) {
    skip("no windows can be shown here (error %lu)\n", GetLastError());
    return;
  }
  DestroyWindow(probe);
  TestQualityShown();
  TestPageInWindow();
}
