#include "configure_dialog.h"

#include <cstring>
#include <vector>

#include "class_factory.h"

namespace {

constexpr WORD kDisplayMaskId = 101;
constexpr WORD kDenoiseId = 102;

// A dialog template in memory (no resource script for a dialog this small):
// the template header, then each control DWORD-aligned.
class DialogTemplate {
 public:
  DialogTemplate(const wchar_t* title, short cx, short cy, WORD controls) {
    DLGTEMPLATE header = {};
    header.style = DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    header.cdit = controls;
    header.cx = cx;
    header.cy = cy;
    Append(&header, sizeof header);
    Words({0, 0});  // no menu, the default class
    String(title);
    Words({8});
    String(L"MS Sans Serif");
  }

  void Control(WORD id, WORD atom, DWORD style, const wchar_t* text, short x, short y, short cx,
               short cy) {
    while (data_.size() % 2) data_.push_back(0);  // DWORD-aligned, counted in WORDs
    DLGITEMTEMPLATE item = {};
    item.style = style | WS_CHILD | WS_VISIBLE;
    item.x = x;
    item.y = y;
    item.cx = cx;
    item.cy = cy;
    item.id = id;
    Append(&item, sizeof item);
    Words({0xFFFF, atom});
    String(text);
    Words({0});  // no creation data
  }

  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(data_.data()); }

 private:
  void Append(const void* bytes, size_t size) {
    const WORD* words = static_cast<const WORD*>(bytes);
    data_.insert(data_.end(), words, words + size / sizeof(WORD));
  }
  void Words(std::initializer_list<WORD> words) { data_.insert(data_.end(), words); }
  void String(const wchar_t* text) { Append(text, (wcslen(text) + 1) * sizeof(wchar_t)); }

  std::vector<WORD> data_;
};

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<VfwDecompressor::State*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      state = reinterpret_cast<VfwDecompressor::State*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      CheckDlgButton(dialog, kDisplayMaskId, state->displayMask ? BST_CHECKED : BST_UNCHECKED);
      CheckDlgButton(dialog, kDenoiseId, state->denoise ? BST_CHECKED : BST_UNCHECKED);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        state->displayMask = IsDlgButtonChecked(dialog, kDisplayMaskId) == BST_CHECKED;
        state->denoise = IsDlgButtonChecked(dialog, kDenoiseId) == BST_CHECKED;
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

bool ShowConfigureDialog(HWND parent, VfwDecompressor::State* state) {
  constexpr WORD kButton = 0x0080;
  DialogTemplate dialog(L"Zelvo Frame Decompressor", 170, 62, 4);
  dialog.Control(kDisplayMaskId, kButton, BS_AUTOCHECKBOX | WS_TABSTOP,
                 L"Display mask (for debugging)", 7, 7, 156, 10);
  dialog.Control(kDenoiseId, kButton, BS_AUTOCHECKBOX | WS_TABSTOP, L"Apply denoise filter", 7,
                 21, 156, 10);
  dialog.Control(IDOK, kButton, BS_DEFPUSHBUTTON | WS_TABSTOP, L"OK", 59, 41, 50, 14);
  dialog.Control(IDCANCEL, kButton, BS_PUSHBUTTON | WS_TABSTOP, L"Cancel", 113, 41, 50, 14);
  VfwDecompressor::State edited = *state;
  if (DialogBoxIndirectParamW(ModuleInstance(), dialog.Get(), parent, DialogProc,
                              reinterpret_cast<LPARAM>(&edited)) != IDOK)
    return false;
  *state = edited;
  return true;
}
