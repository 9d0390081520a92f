#include "forms/compose_form.h"

#include <new>

#include "forms/compose_window.h"
#include "rule/module_entry.h"

CCompMsgForm::CCompMsgForm(IInboxFormHost* pHost, IMessage* pMsg) : m_pHost(pHost), m_pMsg(pMsg) {
  if (m_pMsg) m_pMsg->AddRef();
}

CCompMsgForm::~CCompMsgForm() {
  if (m_pMsg) m_pMsg->Release();
  delete m_pWindow;
  if (m_pInner) m_pInner->Release();
}

STDMETHODIMP CCompMsgForm::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IInboxMessageForm)) {
    *ppv = static_cast<IInboxMessageForm*>(this);
    AddRef();
    return S_OK;
  }
  if (m_pInner) return m_pInner->QueryInterface(riid, ppv);
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CCompMsgForm::AddRef() { return static_cast<ULONG>(++m_cRef); }

STDMETHODIMP_(ULONG) CCompMsgForm::Release() {
  const LONG count = --m_cRef;
  if (count == 0) delete this;
  return static_cast<ULONG>(count);
}

STDMETHODIMP CCompMsgForm::SetMessage(WORD wFlags, IMessage* pMsg) {
  return m_pInner ? m_pInner->SetMessage(wFlags, pMsg) : S_OK;
}

STDMETHODIMP CCompMsgForm::Close(DWORD dwReason) {
  // The inner form may close the frame itself and with it drop the last reference to us.
  AddRef();
  if (m_pHost) m_pHost->OnFormClosing(this, m_pMsg, m_dwCloseValue);
  if (m_hwndFrame) SendMessageW(m_hwndFrame, WM_CLOSE, 0, 0);
  const HRESULT hr = m_pInner ? m_pInner->Close(dwReason) : S_OK;
  Release();
  return hr;
}

STDMETHODIMP CCompMsgForm::PreTranslateMessage(MSG* pMsg, BOOL* pfHandled) {
  if (m_pWindow) m_pWindow->PreTranslate(pMsg);
  if (m_pInner) return m_pInner->PreTranslateMessage(pMsg, pfHandled);
  if (pfHandled) *pfHandled = FALSE;
  return S_OK;
}

STDMETHODIMP CCompMsgForm::OnMessageModified(ULONG ulEventType, ULONG cbEntryID, LPENTRYID lpEntryID) {
  NKDbgPrintfW(TEXT("CCompMsgForm::OnMessageModified\r\n"));
  return m_pInner ? m_pInner->OnMessageModified(ulEventType, cbEntryID, lpEntryID) : S_OK;
}

STDMETHODIMP CCompMsgForm::DoAction(UINT uAction, WPARAM wParam, LPARAM lParam) {
  if (!m_pInner) return S_OK;
  AddRef();
  HRESULT hr = m_pInner->DoAction(uAction, wParam, lParam);
  if (uAction == IFA_SEND) {
    // The Inbox disables the frame while a message is being sent; sending leaves it usable.
    if (m_hwndFrame) EnableWindow(m_hwndFrame, TRUE);
    if (m_pWindow && m_pWindow->Window()) EnableWindow(m_pWindow->Window(), TRUE);
    hr = S_OK;
  }
  Release();
  return hr;
}

STDMETHODIMP CCompMsgForm::GetActionMask(DWORD dwMask, DWORD* pdwResult) {
  if (m_pInner) return m_pInner->GetActionMask(dwMask, pdwResult);
  if (!pdwResult) return E_POINTER;
  *pdwResult = dwMask & IFAM_CLOSE;
  return S_OK;
}

STDMETHODIMP CCompMsgForm::CreateFormWindow(IInboxFormProvider* pProvider, HWND hwndFrame, HWND* phwnd,
                                            INBOXFORMCREATE* pCreate) {
  EnsureInitialized();
  m_dwCloseValue = 0;
  m_hwndFrame = hwndFrame;
  if (!m_pWindow) {
    m_pWindow = new (std::nothrow) ComposeWindow(pProvider, this, m_pMsg);
    if (!m_pWindow) return E_OUTOFMEMORY;
  }
  if (!m_pWindow->Create(hwndFrame, phwnd)) return E_FAIL;
  return m_pWindow->Initialize(pCreate);
}

STDMETHODIMP CCompMsgForm::CloseFrame() {
  if (m_pHost) m_pHost->OnFormClosing(this, m_pMsg, m_dwCloseValue);
  if (m_hwndFrame) SendMessageW(m_hwndFrame, WM_CLOSE, 0, 0);
  return S_OK;
}

void CCompMsgForm::SetInnerForm(IInboxMessageForm* pInner, HWND hwndInner) {
  if (m_pInner && m_pInner != pInner) m_pInner->Release();
  m_pInner = pInner;
  m_hwndInner = hwndInner;
  if (m_pWindow) m_pWindow->RaisePicker();
}

HRESULT CreateEnhancedComposeForm(IInboxFormProvider* pProvider, IInboxFormProvider* pChained,
                                  IInboxFormHost* pHost, IMessage* pMsg, ULONG ulComposeType,
                                  IMessage* pOriginal, DWORD dwFlags, HWND hwndFrame, HWND* phwnd,
                                  IInboxMessageForm** ppForm) {
  // Without a chained module there is no compose form to put inside the window.
  if (!pChained) return E_FAIL;
  if (!ppForm) return E_INVALIDARG;
  auto* form = new (std::nothrow) CCompMsgForm(pHost, pMsg);
  if (!form) return E_OUTOFMEMORY;
  INBOXFORMCREATE create{};
  HWND hwndCompose = nullptr;
  const HRESULT hr = form->CreateFormWindow(pProvider, hwndFrame, &hwndCompose, &create);
  if (FAILED(hr)) {
    form->Release();
    return hr;
  }
  if (phwnd) *phwnd = hwndCompose;
  HWND hwndInner = nullptr;
  *ppForm = nullptr;
  pChained->CreateComposeForm(pHost, pMsg, ulComposeType, pOriginal, dwFlags, hwndCompose, &hwndInner, ppForm);
  form->SetInnerForm(*ppForm, hwndInner);
  *ppForm = form;
  return hr;
}
