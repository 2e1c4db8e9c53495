// DecompressorPropertyPage: the "Zelvo Frame Decompressor Properties" page.
// It shows the decoder's current quality and the average compressed sample
// size (refreshed when the filter posts WM_USER after a frame), lets the user
// switch the mask display and the denoise filter, and resets the statistics.
#pragma once

#include <windows.h>

#include "property_page.h"
#include "zdc_guids.h"

class DecompressorPropertyPage : public CBasePropertyPage {
 public:
  // The class factory's creation function: the new page, or null with
  // E_OUTOFMEMORY in `hr`.
  static CUnknown* WINAPI CreateInstance(IUnknown* outer, HRESULT* hr);

  HRESULT OnConnect(IUnknown* object) override;
  HRESULT OnDisconnect() override;
  HRESULT OnActivate() override;
  HRESULT OnDeactivate() override;
  HRESULT OnApplyChanges() override;
  INT_PTR OnReceiveMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
  ~DecompressorPropertyPage() override;

 private:
  explicit DecompressorPropertyPage(IUnknown* outer);

  // The quality as the page shows it, in whole hundredths.
  UINT QualityPercent() const;
  // Trackbar and edit field from m_quality.
  void ShowQuality();
  void RefreshStatistics();
  // Marks the page dirty and tells the frame, which enables its Apply button.
  void SetDirty();

  IDecompressorSettings* m_pSettings;  // held from OnConnect to OnDisconnect
  double m_quality;                    // as last read from or written to the filter
  BOOL m_displayMask;                  // check box "Display mask (for debugging)"
  BOOL m_denoise;                      // check box "Apply denoise filter"
  BOOL m_initialized;                  // the dialog has been filled once
};
