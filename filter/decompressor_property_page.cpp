#include "decompressor_property_page.h"

#include <commctrl.h>

#include <new>

#include "codec_context.h"
#include "decompressor_page_resources.h"
#include "ieee_double.h"

CUnknown* WINAPI DecompressorPropertyPage::CreateInstance(IUnknown* outer, HRESULT* hr) {
  auto* page = new (std::nothrow) DecompressorPropertyPage(outer);
  if (!page && hr) *hr = E_OUTOFMEMORY;
  return page;
}

DecompressorPropertyPage::DecompressorPropertyPage(IUnknown* outer)
    : CBasePropertyPage(nullptr, outer, IDD_DECOMPRESSOR_PAGE, IDS_DECOMPRESSOR_PAGE_TITLE),
      m_pSettings(nullptr),
      m_quality(0.0),
      m_displayMask(FALSE),
      m_denoise(FALSE),
      m_initialized(FALSE) {
  // The dialog's trackbar class comes from the common controls.
  InitCommonControls();
}

// The settings reference goes in OnDisconnect.
DecompressorPropertyPage::~DecompressorPropertyPage() = default;

// trunc(quality x 100.0): 0.29 shows as 28, since 0.29 x 100.0 falls just
// below 29 in double arithmetic, and Apply then writes 0.28.
UINT DecompressorPropertyPage::QualityPercent() const {
  return zdc::QualityToHundredths(m_quality);
}

void DecompressorPropertyPage::ShowQuality() {
  SendDlgItemMessageW(m_hwnd, IDC_QUALITY_SLIDER, TBM_SETPOS, TRUE,
                      static_cast<LPARAM>(QualityPercent()));
  SetDlgItemInt(m_hwnd, IDC_QUALITY_VALUE, QualityPercent(), FALSE);
}

void DecompressorPropertyPage::RefreshStatistics() {
  DecompressorStatistics record = {};
  m_pSettings->GetStatistics(&record);
  SetDlgItemInt(m_hwnd, IDC_AVERAGE_SIZE, record.averageSampleSize, FALSE);
}

void DecompressorPropertyPage::SetDirty() {
  m_bDirty = TRUE;
  if (m_pPageSite) m_pPageSite->OnStatusChange(PROPPAGESTATUS_DIRTY);
}

HRESULT DecompressorPropertyPage::OnConnect(IUnknown* object) {
  // A frame that connects again without disconnecting first must not keep
  // the earlier filter alive.
  if (m_pSettings) {
    m_pSettings->Release();
    m_pSettings = nullptr;
  }
  if (FAILED(object->QueryInterface(IID_IDecompressorSettings,
                                    reinterpret_cast<void**>(&m_pSettings)))) {
    m_pSettings = nullptr;
    return E_NOINTERFACE;
  }
  m_pSettings->GetQuality(&m_quality);
  m_pSettings->GetDisplayMask(&m_displayMask);
  m_pSettings->GetDenoise(&m_denoise);
  // Nothing happens here when the frame connects before it activates the page.
  SetDlgItemInt(m_hwnd, IDC_AVERAGE_SIZE, 0, FALSE);
  return S_OK;
}

// The notify window was cleared by OnDeactivate, which comes first.
HRESULT DecompressorPropertyPage::OnDisconnect() {
  if (!m_pSettings) return E_UNEXPECTED;
  m_pSettings->Release();
  m_pSettings = nullptr;
  return S_OK;
}

// A frame always connects the page before it activates it; without a filter
// there is nothing to show, and the page refuses to open.
HRESULT DecompressorPropertyPage::OnActivate() {
  if (!m_pSettings) return E_UNEXPECTED;
  // From now on the filter posts WM_USER to the dialog after every frame.
  m_pSettings->SetNotifyWindow(m_hwnd);
  SendDlgItemMessageW(m_hwnd, IDC_QUALITY_SLIDER, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
  ShowQuality();
  CheckDlgButton(m_hwnd, IDC_DISPLAY_MASK, m_displayMask ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(m_hwnd, IDC_DENOISE, m_denoise ? BST_CHECKED : BST_UNCHECKED);
  // The first frame decoded from now on fills in the average.
  SetDlgItemInt(m_hwnd, IDC_AVERAGE_SIZE, 0, FALSE);
  m_initialized = TRUE;
  return S_OK;
}

HRESULT DecompressorPropertyPage::OnDeactivate() {
  if (m_pSettings) m_pSettings->ClearNotifyWindow();
  return S_OK;
}

// Writes the quality and both switches at once, whichever of them changed.
HRESULT DecompressorPropertyPage::OnApplyChanges() {
  LRESULT position = SendDlgItemMessageW(m_hwnd, IDC_QUALITY_SLIDER, TBM_GETPOS, 0, 0);
  m_displayMask = IsDlgButtonChecked(m_hwnd, IDC_DISPLAY_MASK) == BST_CHECKED;
  m_denoise = IsDlgButtonChecked(m_hwnd, IDC_DENOISE) == BST_CHECKED;
  m_quality = zdc::DoubleMul(static_cast<uint32_t>(position), 0.01);
  m_pSettings->SetQuality(m_quality);
  m_pSettings->SetDisplayMask(m_displayMask);
  m_pSettings->SetDenoise(m_denoise);
  // The frame asks IsPageDirty again and disables its Apply button.
  m_bDirty = FALSE;
  if (m_pPageSite) m_pPageSite->OnStatusChange(PROPPAGESTATUS_DIRTY);
  return S_OK;
}

INT_PTR DecompressorPropertyPage::OnReceiveMessage(HWND window, UINT message, WPARAM wParam,
                                                   LPARAM lParam) {
  if (!m_initialized)
    return CBasePropertyPage::OnReceiveMessage(window, message, wParam, lParam);
  switch (message) {
    case WM_USER:
      // Posted by the filter after each frame: new quality and average. The
      // check boxes keep what the user may have changed.
      m_pSettings->GetQuality(&m_quality);
      ShowQuality();
      RefreshStatistics();
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_RESET_STATISTICS:
          m_pSettings->ResetStatistics();
          RefreshStatistics();
          return TRUE;
        case IDC_DISPLAY_MASK:
        case IDC_DENOISE:
          SetDirty();
          return TRUE;
        default:
          break;
      }
      break;
    case WM_HSCROLL:
      m_bDirty = TRUE;
      if (reinterpret_cast<HWND>(lParam) == GetDlgItem(m_hwnd, IDC_QUALITY_SLIDER)) {
        LRESULT position = SendDlgItemMessageW(m_hwnd, IDC_QUALITY_SLIDER, TBM_GETPOS, 0, 0);
        SetDlgItemInt(m_hwnd, IDC_QUALITY_VALUE, static_cast<UINT>(position), FALSE);
      }
      if (m_pPageSite) m_pPageSite->OnStatusChange(PROPPAGESTATUS_DIRTY);
      return TRUE;
    default:
      break;
  }
  return CBasePropertyPage::OnReceiveMessage(window, message, wParam, lParam);
}
