// The handheld's message store: logon, and the compose form.
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
