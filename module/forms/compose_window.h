// The compose window: the window the module puts around the chained module's compose form, with
// a smiley button in its bottom-left corner. The button opens a captioned, scrollable panel
// holding a toolbar of one button per smiley picture; a tap on a smiley puts its code at the
// caret of the control that has the focus (the message text). The panel stays open until its
// close box is tapped or the screen is reset.
//
// Threads: the Inbox's user-interface thread only.
#pragma once

#include <windows.h>
#include <cemapi.h>
#include <inboxform.h>

#include "forms/form_window.h"

class CCompMsgForm;

#define COMPOSE_WINDOW_CLASS TEXT("SMSCOMNPOSEWINDOWCLASS")
#define COMPOSE_WINDOW_TITLE TEXT("Halvane Compose Window")
#define SMILEY_PANEL_CLASS TEXT("ToolbarWindow")
#define SMILEY_PANEL_TITLE TEXT("Smiley")

// Control identifiers.
#define IDC_SMILEY_PANEL 50
#define IDC_SMILEY_TOOLBAR 100
#define IDC_SMILEY_BUTTON 1200
#define IDC_FIRST_SMILEY 1400

// Heap copies of the picture files already given a button while the toolbar is filled.
struct SEENFILE {
  LPWSTR file;
  SEENFILE* next;
};
BOOL SeenFileContains(const SEENFILE* list, LPCWSTR file);
// Appends a copy of `file`; FALSE when memory runs out.
BOOL SeenFileAppend(SEENFILE** list, LPCWSTR file);
void SeenFileFreeAll(SEENFILE** list);

class ComposeWindow : public CFormWindow {
 public:
  ComposeWindow(IInboxFormProvider* pProvider, CCompMsgForm* pForm, IMessage* pMsg);
  ~ComposeWindow() override;
  ComposeWindow(const ComposeWindow&) = delete;
  ComposeWindow& operator=(const ComposeWindow&) = delete;

  HRESULT Initialize(INBOXFORMCREATE* pCreate) override;
  BOOL Create(HWND hwndFrame, HWND* phwnd) override;
  BOOL PreTranslate(MSG* pMsg) override;
  void Show(int nCmdShow) override;
  HRESULT SetMessage(WORD wFlags, IMessage* pMsg) override;
  LRESULT WindowProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  virtual LRESULT PanelProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
  virtual BOOL RegisterAndCreate(LPCWSTR pszClass, LPCWSTR pszTitle, DWORD dwStyle, const RECT* prc,
                                 HWND hwndParent, HMENU hMenu);

  // The chained form's window is made after the picker's controls and would lie over them:
  // brings the button and the panel back above it and lays the window out.
  void RaisePicker();

  HWND Window() const { return m_hwnd; }
  HWND Panel() const { return m_hwndPanel; }
  HWND Toolbar() const { return m_hwndToolbar; }
  HWND SmileyButton() const { return m_hwndButton; }
  BOOL PanelOpen() const { return m_bPanelOpen; }
  int PanelScrollPos() const { return m_nScrollPos; }

 private:
  void CreatePickerControls();
  void Layout();
  void OpenPanel();
  void FillToolbar();
  void InsertSmiley(int id);
  void ScrollPanel(WPARAM wParam);

  HWND m_hwnd = nullptr;
  IMessage* m_pMsg;
  CCompMsgForm* m_pForm;  // not counted: the form owns this object
  HWND m_hwndFrame = nullptr;
  HWND m_hwndToolbar = nullptr;
  HWND m_hwndPanel = nullptr;
  HWND m_hwndButton = nullptr;
  BYTE m_bPanelOpen = 0;
  int m_nScrollPos = 0;
  IInboxFormProvider* m_pProvider;
  BYTE m_bToolbarFilled = 0;
  HBITMAP m_hButtonBitmap = nullptr;  // resource 121; the button shows it, this object owns it
};
