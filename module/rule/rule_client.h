// CMailRuleClient: the COM object the Inbox creates to be handed every incoming SMS. It grants
// itself write access in Initialize, runs ProcessMessage for each message, and keeps the device
// awake while it is busy. Its last Release ends the bubble thread's windows and notifications.
//
// Threads: the Inbox calls every operation on its own thread; the count is interlocked, so a
// reference may be dropped on another thread. The current rule client pointer is read by the
// module's unload on the unloading thread.
#pragma once

#include <windows.h>
#include <cemapi.h>

#include <atomic>

class CMailRuleClient;

// The one live rule client, or null: set when an object is made, cleared by its last Release.
extern std::atomic<CMailRuleClient*> g_pRuleClient;

class CMailRuleClient final : public IMailRuleClient {
 public:
  // Count 1; becomes the current rule client.
  CMailRuleClient();

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  // Always S_OK with *pmaDesired = MRC_ACCESS_WRITE; the store is not kept.
  STDMETHODIMP Initialize(IMsgStore* pMsgStore, MRCACCESS* pmaDesired) override;
  STDMETHODIMP ProcessMessage(IMsgStore* pMsgStore, ULONG cbMsg, LPENTRYID lpMsg,
                              ULONG cbDestFolder, LPENTRYID lpDestFolder, ULONG* pulEventType,
                              MRCHANDLED* pHandled) override;

 private:
  // Only the last Release ends the object.
  ~CMailRuleClient();

  std::atomic<LONG> m_cRef{1};
};
