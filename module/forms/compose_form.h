// The compose form the module hands the Inbox when `EnhanceComposeForm` is on: a wrapper around
// the chained module's own compose form, which is built inside the module's compose window (with
// the smiley picker). Almost every call is passed on to that inner form.
//
// Threads: the Inbox's user-interface thread; the count is changed with interlocked operations.
#pragma once

#include <windows.h>
#include <cemapi.h>
#include <inboxform.h>

#include <atomic>

class ComposeWindow;

class CCompMsgForm final : public IInboxMessageForm {
 public:
  CCompMsgForm(IInboxFormHost* pHost, IMessage* pMsg);

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP SetMessage(WORD wFlags, IMessage* pMsg) override;
  STDMETHODIMP Close(DWORD dwReason) override;
  STDMETHODIMP PreTranslateMessage(MSG* pMsg, BOOL* pfHandled) override;
  STDMETHODIMP OnMessageModified(ULONG ulEventType, ULONG cbEntryID, LPENTRYID lpEntryID) override;
  STDMETHODIMP DoAction(UINT uAction, WPARAM wParam, LPARAM lParam) override;
  STDMETHODIMP GetActionMask(DWORD dwMask, DWORD* pdwResult) override;
  STDMETHODIMP CreateFormWindow(IInboxFormProvider* pProvider, HWND hwndFrame, HWND* phwnd,
                                INBOXFORMCREATE* pCreate) override;
  STDMETHODIMP CloseFrame() override;
  STDMETHODIMP OnActivate(BOOL) override { return S_OK; }

  // The chained module's form, built inside the compose window; the wrapper takes the reference.
  void SetInnerForm(IInboxMessageForm* pInner, HWND hwndInner);
  IInboxMessageForm* InnerForm() const { return m_pInner; }
  HWND InnerWindow() const { return m_hwndInner; }
  ComposeWindow* Window() const { return m_pWindow; }

 private:
  ~CCompMsgForm();

  ComposeWindow* m_pWindow = nullptr;
  IInboxMessageForm* m_pInner = nullptr;
  HWND m_hwndInner = nullptr;
  std::atomic<LONG> m_cRef{1};
  IInboxFormHost* m_pHost;  // not counted: the host outlives its forms
  IMessage* m_pMsg;
  DWORD m_dwCloseValue = 0;
  HWND m_hwndFrame = nullptr;
};

// The compose request with `EnhanceComposeForm` on: makes the wrapper and its compose window in
// `hwndFrame` (its handle goes to *phwnd), then has `pChained` build its compose form inside
// that window, and hands the Inbox the wrapper through *ppForm. Returns the result of making the
// compose window; without a chained provider nothing is made and E_FAIL is returned.
HRESULT CreateEnhancedComposeForm(IInboxFormProvider* pProvider, IInboxFormProvider* pChained,
                                  IInboxFormHost* pHost, IMessage* pMsg, ULONG ulComposeType,
                                  IMessage* pOriginal, DWORD dwFlags, HWND hwndFrame, HWND* phwnd,
                                  IInboxMessageForm** ppForm);
