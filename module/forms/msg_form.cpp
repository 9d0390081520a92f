#include "forms/msg_form.h"

#include <mapitags.h>
#include <mapiutil.h>

#include <cstdlib>
#include <new>

#include "core/debug_log.h"
#include "forms/read_window.h"
#include "platform/phone.h"
#include "rule/contact_lookup.h"
#include "rule/module_entry.h"

CMsgForm::CMsgForm(IInboxFormHost* pHost, IMessage* initial) : m_pHost(pHost), m_pInitial(initial) {
  if (m_pInitial) m_pInitial->AddRef();
}

CMsgForm::~CMsgForm() {
  WriteLog(TEXT("CMsgForm::~CMsgForm\r\n"));
  if (m_pInitial) m_pInitial->Release();
  if (m_pMessage) m_pMessage->Release();
  delete m_pWindow;
}

STDMETHODIMP CMsgForm::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IInboxMessageForm)) {
    *ppv = static_cast<IInboxMessageForm*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CMsgForm::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_cRef)); }

STDMETHODIMP_(ULONG) CMsgForm::Release() {
  const LONG left = InterlockedDecrement(&m_cRef);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

STDMETHODIMP CMsgForm::SetMessage(WORD wFlags, IMessage* pMsg) {
  if (pMsg) pMsg->AddRef();
  if (m_pMessage) m_pMessage->Release();
  m_pMessage = pMsg;
  if (m_pWindow) m_pWindow->SetMessage(wFlags, pMsg);
  return S_OK;
}

STDMETHODIMP CMsgForm::Close(DWORD) {
  if (m_pHost) m_pHost->OnFormClosing(this, m_pInitial, m_dwCloseCookie);
  if (m_hwndFrame) SendMessageW(m_hwndFrame, WM_CLOSE, 0, 0);
  return S_OK;
}

BOOL CMsgForm::SenderNumber(LPWSTR* number) {
  *number = nullptr;
  if (!m_pMessage) return FALSE;
  SizedSPropTagArray(2, tags) = {2, {PR_SUBJECT_W, PR_SENDER_EMAIL_ADDRESS_W}};
  ULONG count = 0;
  LPSPropValue values = nullptr;
  if (FAILED(m_pMessage->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), MAPI_UNICODE, &count, &values)) ||
      !values)
    return FALSE;
  if (count >= 2 && values[1].ulPropTag == PR_SENDER_EMAIL_ADDRESS_W && values[1].Value.lpszW) {
    if (LPCWSTR start = FindNumberStart(values[1].Value.lpszW)) *number = _wcsdup(start);
  }
  MAPIFreeBuffer(values);
  return *number != nullptr;
}

STDMETHODIMP CMsgForm::PreTranslateMessage(MSG* pMsg, BOOL* pfHandled) {
  if (m_pWindow && pMsg && m_pWindow->PreTranslate(pMsg)) {
    if (pfHandled) *pfHandled = TRUE;
    return S_OK;
  }
  if (pfHandled) *pfHandled = FALSE;
  if (!pMsg || pMsg->message != WM_KEYDOWN) return S_OK;
  switch (pMsg->wParam) {
    case VK_LEFT:
      if (m_pHost) m_pHost->DoHostAction(this, m_pInitial, IFHA_PREVIOUS, 0);
      break;
    case VK_RIGHT:
      if (m_pHost) m_pHost->DoHostAction(this, m_pInitial, IFHA_NEXT, 0);
      break;
    case VK_F3: {  // the phone's Talk key
      LPWSTR number = nullptr;
      if (SenderNumber(&number)) RequestVoiceCall(number);
      free(number);
      break;
    }
    default:
      break;
  }
  return S_OK;
}

STDMETHODIMP CMsgForm::DoAction(UINT uAction, WPARAM, LPARAM) {
  switch (uAction) {
    case IFA_CLOSE:
      Close(0);
      break;
    case IFA_DELETE:
      if (m_pHost) m_pHost->DoHostAction(this, m_pMessage, IFHA_DELETE, 0);
      break;
    case IFA_REPLY:
      if (m_pHost) m_pHost->DoHostAction(this, m_pMessage, IFHA_REPLY, 0);
      break;
    case IFA_FORWARD:
      if (m_pHost) m_pHost->DoHostAction(this, m_pMessage, IFHA_FORWARD, 0);
      break;
    case IFA_SAVETOCONTACTS: {
      LPWSTR number = nullptr;
      if (SenderNumber(&number)) SaveNumberToContacts(number);
      free(number);
      break;
    }
    default:
      break;
  }
  return S_OK;
}

STDMETHODIMP CMsgForm::GetActionMask(DWORD dwMask, DWORD* pdwResult) {
  if (!pdwResult) return E_POINTER;
  *pdwResult = dwMask & (IFAM_CLOSE | IFAM_DELETE | IFAM_REPLY | IFAM_FORWARD);
  return S_OK;
}

STDMETHODIMP CMsgForm::CreateFormWindow(IInboxFormProvider* pProvider, HWND hwndFrame, HWND* phwnd,
                                        INBOXFORMCREATE* pCreate) {
  EnsureInitialized();
  m_dwCloseCookie = 0;
  m_hwndFrame = hwndFrame;
  delete m_pWindow;
  m_pWindow = new (std::nothrow) ReadWindow(pProvider, this, m_pInitial, m_pMessage);
  if (!m_pWindow) return E_OUTOFMEMORY;
  HWND window = nullptr;
  if (!m_pWindow->Create(hwndFrame, &window)) return E_FAIL;
  if (phwnd) *phwnd = window;
  return m_pWindow->Initialize(pCreate);
}

HRESULT CMsgForm::RequestHostAction(IInboxMessageForm* pForm, IMessage* pMsg, UINT uAction, LPARAM lParam) {
  if (!m_pHost) return E_FAIL;
  return m_pHost->DoHostAction(pForm, pMsg, uAction, lParam);
}

HRESULT CMsgForm::SetCloseCookie(DWORD dwCookie) {
  m_dwCloseCookie = dwCookie;
  return S_OK;
}
