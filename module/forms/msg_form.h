// The read form the Inbox gets from CFormProvider: one message at a time in a read window
// inside the frame the Inbox made, with the Inbox as host for next, previous, delete, reply,
// forward and close.
//
// Threads: the Inbox's user-interface thread; the reference count is interlocked.
#pragma once

#include <windows.h>
#include <inboxform.h>

class ReadWindow;

class CMsgForm final : public IInboxMessageForm {
 public:
  // AddRefs `initial`, the message the form is made for; the host is borrowed (it outlives the
  // form).
  CMsgForm(IInboxFormHost* pHost, IMessage* initial);

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP SetMessage(WORD wFlags, IMessage* pMsg) override;
  STDMETHODIMP Close(DWORD dwReason) override;
  STDMETHODIMP PreTranslateMessage(MSG* pMsg, BOOL* pfHandled) override;
  STDMETHODIMP OnMessageModified(ULONG, ULONG, LPENTRYID) override { return S_OK; }
  STDMETHODIMP DoAction(UINT uAction, WPARAM wParam, LPARAM lParam) override;
  STDMETHODIMP GetActionMask(DWORD dwMask, DWORD* pdwResult) override;
  STDMETHODIMP CreateFormWindow(IInboxFormProvider* pProvider, HWND hwndFrame, HWND* phwnd,
                                INBOXFORMCREATE* pCreate) override;
  STDMETHODIMP CloseFrame() override { return S_OK; }
  STDMETHODIMP OnActivate(BOOL) override { return S_OK; }
  // Passes an action to the host on the form's behalf.
  virtual HRESULT RequestHostAction(IInboxMessageForm* pForm, IMessage* pMsg, UINT uAction, LPARAM lParam);
  virtual HRESULT SetCloseCookie(DWORD dwCookie);

  // The read window, or null before CreateFormWindow (tests).
  ReadWindow* Window() const { return m_pWindow; }

 private:
  ~CMsgForm();
  // The sender's number from its first '+' or digit on, into `number`; FALSE when it has none.
  BOOL SenderNumber(LPWSTR* number);

  LONG m_cRef = 1;
  IMessage* m_pMessage = nullptr;   // the message shown; owned
  ReadWindow* m_pWindow = nullptr;  // owned
  IInboxFormHost* m_pHost;          // not counted
  IMessage* m_pInitial;             // owned
  DWORD m_dwCloseCookie = 0;
  HWND m_hwndFrame = nullptr;
};
