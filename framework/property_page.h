// CBasePropertyPage: IPropertyPage for a page whose face is a dialog template
// in the module's resources. A property frame hands the page its site and the
// objects to show, activates it inside one of its own windows, and asks it to
// apply its changes; the derived page fills the dialog, handles its messages
// and writes the changes to the objects.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include "unknown.h"

class CBasePropertyPage : public CUnknown, public IPropertyPage {
 public:
  // `dialogId` names the dialog template and `titleId` the string with the
  // page's title, both in the module's resources.
  CBasePropertyPage(const wchar_t* name, IUnknown* outer, int dialogId, int titleId);
  ~CBasePropertyPage() override;

  DECLARE_IUNKNOWN
  // IPropertyPage; else CUnknown's answer.
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** out) override;

  // What the derived page does, called by the IPropertyPage methods below.
  // OnConnect: SetObjects with one object. OnDisconnect: SetObjects with none.
  virtual HRESULT OnConnect(IUnknown* object);
  virtual HRESULT OnDisconnect();
  // OnActivate: the dialog exists, before it is placed and shown.
  virtual HRESULT OnActivate();
  // OnDeactivate: the dialog still exists and is destroyed afterwards.
  virtual HRESULT OnDeactivate();
  // OnApplyChanges: Apply on a dirty page; success makes the page clean.
  virtual HRESULT OnApplyChanges();
  // Every message of the dialog, from the dialog procedure; the result is the
  // dialog procedure's.
  virtual INT_PTR OnReceiveMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // IPropertyPage
  HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override;
  HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT rect, BOOL modal) override;
  HRESULT STDMETHODCALLTYPE Deactivate() override;
  HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
  HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
  HRESULT STDMETHODCALLTYPE Show(UINT command) override;
  HRESULT STDMETHODCALLTYPE Move(LPCRECT rect) override;
  HRESULT STDMETHODCALLTYPE IsPageDirty() override;
  HRESULT STDMETHODCALLTYPE Apply() override;
  HRESULT STDMETHODCALLTYPE Help(LPCOLESTR helpDir) override;
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* msg) override;

 protected:
  HWND m_hwnd;                    // the dialog while the page is active, else null
  IPropertyPageSite* m_pPageSite; // the frame's site (a reference held), or null
  BOOL m_bDirty;                  // changes wait for Apply
  BOOL m_bObjectSet;              // SetObjects has connected an object

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // The dialog's size in pixels: the template created once, hidden, and
  // measured, so that the dialog units are those of its own font.
  SIZE MeasureDialog() const;

  int m_DialogId;
  int m_TitleId;
};
