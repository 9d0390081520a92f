#include "bubble/bubble_actions.h"

#include <cstdlib>
#include <memory>

#include "core/debug_log.h"
#include "core/settings.h"
#include "install/message_class.h"
#include "platform/message_store.h"
#include "platform/phone.h"
#include "rule/contact_lookup.h"

namespace {

#define CALL_NUMBER_CCH 512
#define COMPOSE_FLAGS_SMS 2
#define SMS_ACCOUNT TEXT("SMS")

HRESULT SetReadFlagOnly(LPMESSAGE message) {
  SPropValue flags = {};
  flags.ulPropTag = PR_MESSAGE_FLAGS;
  flags.Value.l = MSGFLAG_READ;
  return message->SetProps(1, &flags, nullptr);
}

// An SMS compose form to `to` with `body`, on the SMS account.
void ComposeSms(LPCWSTR to, LPCWSTR body) {
  MAILCOMPOSEFIELDS fields = {};
  fields.cbSize = MAILCOMPOSEFIELDS_SIZE;
  fields.dwFlags = COMPOSE_FLAGS_SMS;
  fields.pszTo = to;
  fields.pszBody = body;
  fields.pszAccount = SMS_ACCOUNT;
  MailComposeMessage(&fields);
}

// The number to dial for a sender address: the part between the first "<" and the first ">",
// when the address has both in that order ("Ada" <+4930123>); otherwise the whole address.
// A ">" before the "<" is no bracketed number, so the address is dialled as it stands.
void NumberToDial(LPCWSTR sender, LPWSTR number) {
  LPCWSTR open = wcschr(sender, TEXT('<'));
  LPCWSTR close = wcschr(sender, TEXT('>'));
  if (open && close && close > open)
    StringCchCopyNW(number, CALL_NUMBER_CCH, open + 1, close - open - 1);
  else
    StringCchCopyW(number, CALL_NUMBER_CCH, sender);
}

}  // namespace

void ReplyOrForward(UINT command, const SmsNotification& record, LPMAPISESSION session, LPMESSAGE message) {
  (void)session;
  WriteLog(TEXT("reply_forward!\r\n"));
  try {
    // The compose form's sent message and this one are then read with the module's own form.
    ConvertAllMessages(CONVERT_TO_OWN_CLASS);
    if (!message || FAILED(SetReadFlagOnly(message))) WriteLog(TEXT("Couldn't get the sender's address!\r\n"));
  } catch (...) {
    // The person asked for a compose form: it opens whatever happened before.
  }

  if (command == IDM_FORWARD) {
    LPSPropValue text = nullptr;
    if (message) GetOneProp(message, PR_SUBJECT_W, &text);
    const BOOL haveText = text && !IsErrorProp(text) && text->Value.lpszW;
    ComposeSms(nullptr, haveText ? text->Value.lpszW : TEXT(""));
    MAPIFreeBuffer(text);
  } else {
    ComposeSms(record.pszSender, nullptr);
  }
}

void CallSender(const SmsNotification& record, LPMAPISESSION session, LPMESSAGE message) {
  (void)session;
  WriteLog(TEXT("call sender!\r\n"));
  std::unique_ptr<WCHAR[]> number(new WCHAR[CALL_NUMBER_CCH]);
  number[0] = 0;
  if (!message || FAILED(SetReadFlagOnly(message))) WriteLog(TEXT("Couldn't set read!\r\n"));
  NumberToDial(record.pszSender ? record.pszSender : TEXT(""), number.get());
  RequestVoiceCall(number.get());
  Sleep(0);
}

void MarkRead(LPMAPISESSION session, LPMESSAGE message) {
  if (!session || !message) return;
  try {
    WriteLog(TEXT("save as read!\r\n"));
    if (FAILED(SetReadFlagOnly(message))) WriteLog(TEXT("Couldn't save as read messages!\r\n"));
  } catch (...) {
    // Ends this action only; the command still cleans up.
  }
}

void DeleteMessage(const SmsNotification& record, LPMAPISESSION session, LPMESSAGE message) {
  if (!session || !message) return;
  LPSPropValue entryId = nullptr;
  LPMAPIFOLDER folder = nullptr;
  LPMAPIFOLDER deletedItems = nullptr;
  try {
    WriteLog(TEXT("delete!\r\n"));
    HRESULT hr = GetOneProp(message, PR_ENTRYID, &entryId);
    if (FAILED(hr) || IsErrorProp(entryId)) {
      WriteLog(TEXT("Unable to get the message body!\r\n"));
    } else {
      ENTRYLIST list = {1, &entryId->Value.bin};
      hr = session->OpenEntry(record.cbFolderEntryId, reinterpret_cast<LPENTRYID>(record.lpFolderEntryId), nullptr,
                              0, nullptr, reinterpret_cast<LPUNKNOWN*>(&folder));
      if (SUCCEEDED(hr) && !folder) hr = E_FAIL;
      if (SUCCEEDED(hr)) {
        if (g_Settings.PermanentlyDeleteReports) {
          hr = folder->DeleteMessages(&list, 0, nullptr, 0);
        } else {
          hr = FindDeletedItems(session, folder, &deletedItems);
          if (SUCCEEDED(hr) && !deletedItems) hr = E_FAIL;
          if (SUCCEEDED(hr)) hr = folder->CopyMessages(&list, nullptr, deletedItems, 0, nullptr, MESSAGE_MOVE);
        }
      }
      if (FAILED(hr)) WriteLog(TEXT("Couldn't delete messages!\r\n"));
    }
  } catch (...) {
    // Ends this action only; the command still cleans up.
  }
  MAPIFreeBuffer(entryId);
  if (folder) folder->Release();
  if (deletedItems) deletedItems->Release();
}

void CallNumber(LPCWSTR number) { RequestVoiceCall(number); }

void SaveNumber(LPWSTR* pendingLink) {
  SaveNumberToContacts(*pendingLink);
  free(*pendingLink);
  *pendingLink = nullptr;
}

void SendSmsToNumber(LPCWSTR number) { ComposeSms(number, nullptr); }

HRESULT FindDeletedItems(LPMAPISESSION session, LPMAPIFOLDER folder, LPMAPIFOLDER* deletedItems) {
  *deletedItems = nullptr;
  if (!session || !folder) return E_FAIL;
  LPSPropValue value = nullptr;
  LPMDB store = nullptr;
  HRESULT hr = GetOneProp(folder, PR_FOLDER_STORE_ENTRYID, &value);
  if (SUCCEEDED(hr) && (!value || value->ulPropTag != PR_FOLDER_STORE_ENTRYID)) hr = E_FAIL;
  if (SUCCEEDED(hr)) {
    hr = session->OpenEntry(value->Value.bin.cb, reinterpret_cast<LPENTRYID>(value->Value.bin.lpb), nullptr, 0,
                            nullptr, reinterpret_cast<LPUNKNOWN*>(&store));
    if (SUCCEEDED(hr) && !store) hr = E_FAIL;
  }
  if (SUCCEEDED(hr)) {
    MAPIFreeBuffer(value);
    value = nullptr;
    hr = GetOneProp(store, PR_IPM_WASTEBASKET_ENTRYID, &value);
    if (SUCCEEDED(hr) && (!value || value->ulPropTag != PR_IPM_WASTEBASKET_ENTRYID)) hr = E_FAIL;
  }
  if (SUCCEEDED(hr))
    hr = session->OpenEntry(value->Value.bin.cb, reinterpret_cast<LPENTRYID>(value->Value.bin.lpb), nullptr, 0,
                            nullptr, reinterpret_cast<LPUNKNOWN*>(deletedItems));
  MAPIFreeBuffer(value);
  if (store) store->Release();
  return hr;
}
