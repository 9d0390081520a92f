#include "rule/rule_client.h"

#include <pm.h>

#include "bubble/bubble_thread.h"
#include "bubble/popup_window.h"
#include "core/debug_log.h"
#include "rule/keep_awake.h"
#include "rule/module_entry.h"
#include "rule/process_message.h"

std::atomic<CMailRuleClient*> g_pRuleClient{nullptr};

CMailRuleClient::CMailRuleClient() { g_pRuleClient = this; }

CMailRuleClient::~CMailRuleClient() {
  WriteLog(TEXT("Finalizing SMSRuleClient!\r\n"));
  ShutdownBubbleThread();
  mySHOnceDeInit();
}

STDMETHODIMP CMailRuleClient::QueryInterface(REFIID riid, void** ppv) {
  WriteLog(TEXT("CMailRuleClient::QueryInterface()\r\n"));
  if (!ppv) return E_INVALIDARG;
  *ppv = nullptr;
  if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IMailRuleClient))
    return E_NOINTERFACE;
  *ppv = static_cast<IMailRuleClient*>(this);
  static_cast<IMailRuleClient*>(this)->AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CMailRuleClient::AddRef() {
  WriteLog(TEXT("CMailRuleClient::AddRef()\r\n"));
  return ++m_cRef;
}

STDMETHODIMP_(ULONG) CMailRuleClient::Release() {
  WriteLog(TEXT("CMailRuleClient::Release()\r\n"));
  LONG left = --m_cRef;
  if (left == 0) {
    CMailRuleClient* self = this;
    delete this;
    // Only this object's end clears the pointer; a newer object stays current.
    g_pRuleClient.compare_exchange_strong(self, nullptr);
  }
  return left;
}

STDMETHODIMP CMailRuleClient::Initialize(IMsgStore*, MRCACCESS* pmaDesired) {
  WriteLog(TEXT("RuleInit started\r\n"));
  StartKeepAwake();
  PowerPolicyNotify(PPN_UNATTENDEDMODE, TRUE);
  try {
    if (pmaDesired) *pmaDesired = MRC_ACCESS_WRITE;
    EnsureInitialized();
    WriteLog(TEXT("successfull CMailRuleClient::Initialize!\r\n"));
  } catch (...) {
    StopKeepAwake();
    PowerPolicyNotify(PPN_UNATTENDEDMODE, FALSE);
    throw;
  }
  StopKeepAwake();
  PowerPolicyNotify(PPN_UNATTENDEDMODE, FALSE);
  return S_OK;
}

STDMETHODIMP CMailRuleClient::ProcessMessage(IMsgStore* pMsgStore, ULONG cbMsg, LPENTRYID lpMsg,
                                             ULONG cbDestFolder, LPENTRYID lpDestFolder,
                                             ULONG* pulEventType, MRCHANDLED* pHandled) {
  return ::ProcessMessage(pMsgStore, cbMsg, lpMsg, cbDestFolder, lpDestFolder, pulEventType,
                          pHandled);
}
