// The handheld's message store: logon, the compose form, and the Inbox's rule clients.
#pragma once

#include "mapidefs.h"
#include "mapiutil.h"

// Logs on to the message store. The handheld has one profile: name and password are
// ignored.
HRESULT MAPILogonEx(ULONG_PTR ulUIParam, LPWSTR lpszProfileName, LPWSTR lpszPassword,
                    FLAGS flFlags, LPMAPISESSION* lppSession);
HRESULT MAPIInitialize(LPVOID lpMapiInit);
void MAPIUninitialize();

// The compose request: eleven 32-bit words on the handheld, so cbSize is 44 there.
typedef struct tagMAILCOMPOSEFIELDS {
  UINT cbSize;
  DWORD dwFlags;
  LPCWSTR pszTo;
  LPCWSTR pszCc;
  LPCWSTR pszBcc;
  LPCWSTR pszSubject;
  LPCWSTR pszBody;
  LPCWSTR* ppszAttachments;
  UINT cAttachments;
  LPCWSTR pszAccount;
  LPCWSTR pszMsgClass;
} MAILCOMPOSEFIELDS, *LPMAILCOMPOSEFIELDS;
#define MAILCOMPOSEFIELDS_SIZE 44

// dwFlags: how pszAccount names the account.
#define MCF_ACCOUNT_IS_NAME 0x00000002
#define MCF_ACCOUNT_IS_TRANSPORT 0x00000004
#define MCF_RUN_IN_BACKGROUND 0x00000008

// Opens the compose form filled from `pmcf`.
HRESULT MailComposeMessage(MAILCOMPOSEFIELDS* pmcf);

// What a rule client did with an incoming message (IMailRuleClient::ProcessMessage).
typedef enum _MRCHANDLED {
  MRC_NOT_HANDLED = 0,           // the Inbox goes on as if the rule client were not there
  MRC_HANDLED_CONTINUE = 1,      // handled; other rule clients still see the message
  MRC_HANDLED_DONTCONTINUE = 2,  // handled; no other rule client sees it
} MRCHANDLED;

// What a rule client asks of the message store in Initialize.
typedef enum _MRCACCESS {
  MRC_ACCESS_NONE = 0,
  MRC_ACCESS_READ = 1,
  MRC_ACCESS_WRITE = 2,  // the rule client changes messages
} MRCACCESS;

DEFINE_GUID(IID_IMailRuleClient, 0x96D2552D, 0xB83B, 0x4B48, 0x8E, 0x89, 0xDC, 0xC2, 0x65, 0x12,
            0xDB, 0xA4);

// An Inbox rule client: an in-process COM object that the Inbox creates for each class listed
// under HKLM "Software\Microsoft\Inbox\Svc\SMS\Rules", initialises once, and hands every
// incoming SMS, on the Inbox's own thread.
struct IMailRuleClient : public IUnknown {
  STDMETHOD(Initialize)(IMsgStore* pMsgStore, MRCACCESS* pmaDesired) PURE;
  STDMETHOD(ProcessMessage)(IMsgStore* pMsgStore, ULONG cbMsg, LPENTRYID lpMsg,
                            ULONG cbDestFolder, LPENTRYID lpDestFolder, ULONG* pulEventType,
                            MRCHANDLED* pHandled) PURE;

 protected:
  ~IMailRuleClient() = default;
};
typedef IMailRuleClient* LPMAILRULECLIENT;
